#pragma once

// The asset suite of the tests: generated meshes (closed and oriented outwards unless the name
// says otherwise), the build that brings a mesh's indices up to date as a stage does, and the
// checks every stage is held to: closed and consistently oriented, Euler characteristic, index
// invariants, and "the mesh is exactly as it was".

#include "mesh/PolygonStorage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace tessellor;

namespace testmeshes {

struct MeshData {
  std::string Name;
  std::vector<V3> Positions;
  std::vector<VertexIDList> Polygons;
  int EulerCharacteristic;
};

// Polygons written as text, ids separated by blanks and polygons by commas: "0 1 2, 2 1 3".
inline std::vector<VertexIDList> polygons(const std::string& text) {
  std::vector<VertexIDList> result(1);
  std::istringstream in(text);
  for (std::string token; in >> token;) {
    const bool last = token.back() == ',';
    if (last) token.pop_back();
    if (!token.empty()) result.back().push_back(std::stoi(token));
    if (last) result.emplace_back();
  }
  return result;
}

// Positions written as text, three coordinates each: "0 0 0 1 0 0".
inline std::vector<V3> positions(const std::string& text) {
  std::vector<V3> result;
  std::istringstream in(text);
  for (V3 p; in >> p.x >> p.y >> p.z;) result.push_back(p);
  return result;
}

// Axis-aligned cube [lo, hi]^3, vertex id = x + 2y + 4z (bit set = hi), six quads.
inline MeshData cube(float lo = 0.0f, float hi = 1.0f) {
  MeshData m{"cube", {}, {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}}, 2};
  for (int i = 0; i < 8; ++i) m.Positions.push_back({(i & 1) ? hi : lo, (i & 2) ? hi : lo, (i & 4) ? hi : lo});
  return m;
}

// Regular octahedron with corners centre +- r on each axis: +x, -x, +y, -y, +z, -z.
inline MeshData octahedron(V3 c = {0, 0, 0}, float r = 1.0f) {
  return {"octahedron",
          {{c.x + r, c.y, c.z},
           {c.x - r, c.y, c.z},
           {c.x, c.y + r, c.z},
           {c.x, c.y - r, c.z},
           {c.x, c.y, c.z + r},
           {c.x, c.y, c.z - r}},
          {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}},
          2};
}

// Unit UV sphere: north pole, rings of quads, south pole; triangle fans at the poles.
inline MeshData uvSphere(int rings = 8, int segments = 12) {
  MeshData m{"uv sphere", {}, {}, 2};
  const float pi = 3.14159265f;
  m.Positions.push_back({0, 0, 1});
  for (int r = 1; r < rings; ++r) {
    const float theta = pi * static_cast<float>(r) / static_cast<float>(rings);
    for (int s = 0; s < segments; ++s) {
      const float phi = 2.0f * pi * static_cast<float>(s) / static_cast<float>(segments);
      m.Positions.push_back({std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)});
    }
  }
  m.Positions.push_back({0, 0, -1});
  const int south = static_cast<int>(m.Positions.size()) - 1;
  auto ring = [segments](int r, int s) { return 1 + (r - 1) * segments + (s % segments); };
  for (int s = 0; s < segments; ++s) m.Polygons.push_back({0, ring(1, s), ring(1, s + 1)});
  for (int r = 1; r + 1 < rings; ++r)
    for (int s = 0; s < segments; ++s)
      m.Polygons.push_back({ring(r, s), ring(r + 1, s), ring(r + 1, s + 1), ring(r, s + 1)});
  for (int s = 0; s < segments; ++s) m.Polygons.push_back({south, ring(rings - 1, s + 1), ring(rings - 1, s)});
  return m;
}

// Torus around the z axis (radii 2 and 0.7, genus 1): quads, or triangles with the diagonals
// alternating so that vertices have valence 4 to 8.
inline MeshData torus(int major = 16, int minor = 8, bool triangles = true) {
  MeshData m{"torus", {}, {}, 0};
  const float pi = 3.14159265f;
  for (int i = 0; i < major; ++i)
    for (int j = 0; j < minor; ++j) {
      const float u = 2.0f * pi * float(i) / float(major), v = 2.0f * pi * float(j) / float(minor);
      const float r = 2.0f + 0.7f * std::cos(v);
      m.Positions.push_back({r * std::cos(u), r * std::sin(u), 0.7f * std::sin(v)});
    }
  auto id = [major, minor](int i, int j) { return ((i + major) % major) * minor + ((j + minor) % minor); };
  for (int i = 0; i < major; ++i)
    for (int j = 0; j < minor; ++j) {
      const int a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
      if (!triangles) {
        m.Polygons.push_back({a, b, c, d});
      } else if ((i + j) % 2 == 0) {
        m.Polygons.insert(m.Polygons.end(), {{a, b, c}, {a, c, d}});
      } else {
        m.Polygons.insert(m.Polygons.end(), {{a, b, d}, {b, c, d}});
      }
    }
  return m;
}

// Icosahedron subdivided `levels` times and projected onto the sphere of radius r around c.
inline MeshData icosphere(V3 c = {0, 0, 0}, float r = 1.0f, int levels = 1) {
  const double g = (1.0 + std::sqrt(5.0)) / 2.0;
  std::vector<std::array<double, 3>> p = {{-1, g, 0},  {1, g, 0},  {-1, -g, 0}, {1, -g, 0}, {0, -1, g},  {0, 1, g},
                                          {0, -1, -g}, {0, 1, -g}, {g, 0, -1},  {g, 0, 1},  {-g, 0, -1}, {-g, 0, 1}};
  std::vector<std::array<int, 3>> f = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                       {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                       {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                       {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
  for (int level = 0; level < levels; ++level) {
    std::vector<std::array<int, 3>> next;
    std::map<std::pair<int, int>, int> mid;
    auto middle = [&](int a, int b) {
      const auto key = std::make_pair(std::min(a, b), std::max(a, b));
      const auto it = mid.find(key);
      if (it != mid.end()) return it->second;
      p.push_back({(p[a][0] + p[b][0]) / 2, (p[a][1] + p[b][1]) / 2, (p[a][2] + p[b][2]) / 2});
      return mid[key] = static_cast<int>(p.size()) - 1;
    };
    for (const auto& t : f) {
      const int ab = middle(t[0], t[1]), bc = middle(t[1], t[2]), ca = middle(t[2], t[0]);
      next.insert(next.end(), {{t[0], ab, ca}, {t[1], bc, ab}, {t[2], ca, bc}, {ab, bc, ca}});
    }
    f.swap(next);
  }
  MeshData m{"icosphere", {}, {}, 2};
  for (const auto& q : p) {
    const double l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    m.Positions.push_back({float(c.x + r * q[0] / l), float(c.y + r * q[1] / l), float(c.z + r * q[2] / l)});
  }
  for (const auto& t : f) m.Polygons.push_back({t[0], t[1], t[2]});
  return m;
}

// A capped prism over a thin triangle (apex angle about 22 degrees): beyond its sharp apex edge
// and corners a neighbouring face normal points the wrong way.
inline MeshData sharpPrism() {
  MeshData m{"sharp prism", {}, {{0, 2, 1}, {3, 4, 5}}, 2};
  for (float z : {2.4f, 9.6f})
    m.Positions.insert(m.Positions.end(), {{14.3f, 6.2f, z}, {3.3f, 8.3f, z}, {3.3f, 4.1f, z}});
  for (int a = 0; a < 3; ++a) {
    const int b = (a + 1) % 3;
    m.Polygons.insert(m.Polygons.end(), {{a, b, b + 3}, {a, b + 3, a + 3}});
  }
  return m;
}

// Every polygon fanned into triangles from its first corner.
inline MeshData triangulated(MeshData m) {
  std::vector<VertexIDList> triangles;
  for (const VertexIDList& p : m.Polygons)
    for (std::size_t k = 1; k + 1 < p.size(); ++k) triangles.push_back({p[0], p[k], p[k + 1]});
  m.Polygons = triangles;
  return m;
}

// Closed, consistently oriented meshes of known Euler characteristic: quads and triangles,
// valences 3 to 8, genus 0 and 1.
inline std::vector<MeshData> closedMeshes() {
  MeshData quads = torus(10, 6, false), small = torus(9, 5);
  quads.Name = "torus of quads";
  small.Name = "small torus";
  return {cube(-1.0f, 1.0f), octahedron(), torus(12, 7), quads, small, icosphere(), sharpPrism()};
}

// The closed meshes and some that are not: open, with a deleted polygon, with a pentagon.
inline std::vector<MeshData> allMeshes() {
  std::vector<MeshData> all = closedMeshes();
  MeshData open = cube();
  open.Name = "open cube";
  open.Polygons.pop_back();
  open.EulerCharacteristic = 1;
  // A vertex inserted into one side of edge 4-5 only: a pentagon beside a triangular hole.
  MeshData odd = cube();
  odd.Name = "open cube with a pentagon and a deleted polygon";
  odd.Positions.push_back({0.5f, -0.5f, 0.5f});
  odd.Polygons[2] = {0, 1, 5, 8, 4};
  odd.Polygons.push_back({});
  odd.EulerCharacteristic = 1;
  all.push_back(open);
  all.push_back(odd);
  return all;
}

// Replaces the mesh's contents and brings every index up to date, as the importer does.
inline void build(PolygonStorage& mesh, const MeshData& data) {
  mesh.clear();
  for (const V3& p : data.Positions) mesh.addVertex(Vertex{p, {}, 0});
  mesh.Polygons = data.Polygons;
  mesh.buildIndex();
  if (mesh.computeMidpoints() > 0) mesh.buildEdgeIndex();
  mesh.computeVertexNormals();
  mesh.computeBoundingBox();
}

// Empty when every non-empty polygon has three or more distinct ids in range and every directed
// edge is used once and its reverse once (closed, consistently oriented); else the first fault.
inline std::string closedOrientedFault(const PolygonStorage& mesh) {
  std::map<std::pair<int, int>, int> directed;
  const int vertices = static_cast<int>(mesh.Vertices.size());
  for (std::size_t p = 0; p < mesh.Polygons.size(); ++p) {
    const VertexIDList& polygon = mesh.Polygons[p];
    const std::string name = "polygon " + std::to_string(p);
    if (polygon.empty()) continue;
    if (polygon.size() < 3) return name + " has fewer than three vertices";
    if (std::set<int>(polygon.begin(), polygon.end()).size() != polygon.size()) return name + " repeats a vertex";
    for (std::size_t i = 0; i < polygon.size(); ++i) {
      const int a = polygon[i], b = polygon[(i + 1) % polygon.size()];
      if (a < 0 || a >= vertices) return name + " has a bad vertex id";
      if (++directed[{a, b}] > 1)
        return "edge " + std::to_string(a) + "->" + std::to_string(b) + " used twice in one direction";
    }
  }
  for (const auto& entry : directed)
    if (!directed.count({entry.first.second, entry.first.first}))
      return "edge " + std::to_string(entry.first.first) + "->" + std::to_string(entry.first.second) + " is open";
  return {};
}

// V - E + F over the vertices some polygon uses and the polygons that are not empty.
inline int eulerCharacteristic(const PolygonStorage& mesh) {
  std::set<int> used;
  std::set<std::pair<int, int>> edges;
  int faces = 0;
  for (const VertexIDList& polygon : mesh.Polygons) {
    faces += polygon.empty() ? 0 : 1;
    for (std::size_t k = 0; k < polygon.size(); ++k) {
      const int a = polygon[k], b = polygon[(k + 1) % polygon.size()];
      used.insert(a);
      edges.insert({std::min(a, b), std::max(a, b)});
    }
  }
  return static_cast<int>(used.size()) - static_cast<int>(edges.size()) + faces;
}

// The volume a closed mesh encloses, from its polygons fanned into triangles: positive when they
// face outwards.
inline double enclosedVolume(const PolygonStorage& mesh) {
  double sum = 0;
  for (const VertexIDList& p : mesh.Polygons)
    for (std::size_t k = 1; k + 1 < p.size(); ++k) {
      const V3 &a = mesh.Vertices[p[0]].pos, &b = mesh.Vertices[p[k]].pos, &c = mesh.Vertices[p[k + 1]].pos;
      sum += (double(a.x) * (double(b.y) * c.z - double(b.z) * c.y) -
              double(a.y) * (double(b.x) * c.z - double(b.z) * c.x) +
              double(a.z) * (double(b.x) * c.y - double(b.y) * c.x)) /
             6.0;
    }
  return sum;
}

// The index invariants of a finished mesh: the vertex index and the edge index are what a fresh
// build gives, midpoints match the polygons, which hold three or more ids in range or none.
inline std::string indexFault(const PolygonStorage& mesh) {
  const int vertexCount = static_cast<int>(mesh.Vertices.size());
  const int polygonCount = static_cast<int>(mesh.Polygons.size());
  if (mesh.VIndex.size() != mesh.Vertices.size()) return "VIndex and Vertices differ in length";
  if (mesh.Midpoints.size() != mesh.Polygons.size()) return "Midpoints and Polygons differ in length";
  std::vector<VertexIDSet> index(mesh.Vertices.size());
  for (int p = 0; p < polygonCount; ++p) {
    const VertexIDList& poly = mesh.Polygons[p];
    const std::string name = "polygon " + std::to_string(p);
    if (!poly.empty() && poly.size() < 3) return name + " has fewer than three ids";
    for (int v : poly) {
      if (v < 0 || v >= vertexCount) return name + " uses vertex " + std::to_string(v);
      index[v].insert(p);
    }
  }
  for (int v = 0; v < vertexCount; ++v)
    if (index[v] != mesh.VIndex[v]) return "VIndex of vertex " + std::to_string(v) + " is wrong";
  PolygonStorage fresh;
  fresh.Polygons = mesh.Polygons;
  fresh.buildEdgeIndex();
  if (fresh.EdgeIndex.size() != mesh.EdgeIndex.size()) return "the edge index is not current";
  for (auto a = fresh.EdgeIndex.cbegin(), b = mesh.EdgeIndex.cbegin(); a != fresh.EdgeIndex.cend(); ++a, ++b)
    if (a->first.Lower != b->first.Lower || a->first.Upper != b->first.Upper || a->second.First != b->second.First ||
        a->second.Second != b->second.Second)
      return "edge " + std::to_string(a->first.Lower) + "-" + std::to_string(a->first.Upper) + " is not current";
  return {};
}

// The statistics block of printStatistics for the counts of vertices of valence 0 .. 8 and >= 9
// and of polygons of 0 .. 8 and >= 9 corners.
inline std::vector<std::string> statisticsBlock(const std::array<int, 10>& valences, const std::array<int, 10>& sizes) {
  std::vector<std::string> lines{"------ Polygon Storage Statistics -------- begin", "Vertex grad statistics"};
  int vertices = 0, polygons = 0;
  for (int k = 0; k < 10; ++k) {
    lines.push_back(" " + std::to_string(valences[k]) + " grad " + (k < 9 ? "" : ">=") + std::to_string(k));
    vertices += valences[k];
  }
  lines.push_back("Total vertices: " + std::to_string(vertices));
  lines.push_back("Polygon edge statistics");
  for (int k = 0; k < 10; ++k) {
    lines.push_back(" " + std::to_string(sizes[k]) + " with " + (k < 9 ? "" : ">=") + std::to_string(k) + " edges");
    polygons += sizes[k];
  }
  lines.push_back("Total : " + std::to_string(polygons));
  lines.push_back("------ Polygon Storage Statistics -------- end");
  return lines;
}

// FNV-1a over bytes, chained through h: pins results that are compared byte for byte elsewhere.
inline std::uint64_t hashOf(const void* data, std::size_t size, std::uint64_t h = 14695981039346656037ull) {
  for (std::size_t i = 0; i < size; ++i) h = (h ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
  return h;
}

// The hash of a mesh's positions and polygons.
inline std::uint64_t hashOf(const PolygonStorage& mesh, std::uint64_t h = 14695981039346656037ull) {
  for (const Vertex& v : mesh.Vertices) h = hashOf(&v.pos, sizeof v.pos, h);
  for (const VertexIDList& p : mesh.Polygons) h = hashOf(p.data(), p.size() * sizeof(int), h ^ p.size());
  return h;
}

inline bool sameBits(const V3& a, const V3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Empty when b holds exactly what a holds (every container, bit for bit), else what differs.
inline std::string meshDifference(const PolygonStorage& a, const PolygonStorage& b) {
  auto sameRecords = [](const std::vector<Vertex>& u, const std::vector<Vertex>& w) {
    if (u.size() != w.size()) return false;
    for (std::size_t i = 0; i < u.size(); ++i)
      if (!sameBits(u[i].pos, w[i].pos) || !sameBits(u[i].n, w[i].n) || u[i].attr != w[i].attr) return false;
    return true;
  };
  auto edges = [](const PolygonStorage& m) {
    std::vector<std::array<int, 4>> list;
    for (const auto& e : m.EdgeIndex) list.push_back({e.first.Lower, e.first.Upper, e.second.First, e.second.Second});
    return list;
  };
  std::string d;
  if (a.Polygons != b.Polygons) d += "Polygons ";
  if (a.VIndex != b.VIndex) d += "VIndex ";
  if (edges(a) != edges(b)) d += "EdgeIndex ";
  if (!sameRecords(a.Vertices, b.Vertices)) d += "Vertices ";
  if (!sameRecords(a.Midpoints, b.Midpoints)) d += "Midpoints ";
  if (a.Scale != b.Scale || !sameBits(a.Offset, b.Offset)) d += "Scale/Offset ";
  if (!sameBits(a.BBoxMin, b.BBoxMin) || !sameBits(a.BBoxMax, b.BBoxMax)) d += "BoundingBox ";
  return d;
}

}  // namespace testmeshes
