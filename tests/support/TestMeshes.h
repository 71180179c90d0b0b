#pragma once

// Generated meshes shared by every test folder: corner positions and polygons, all closed and
// oriented outwards, and the topology check the extraction and remeshing tests assert.

#include "mesh/PolygonStorage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
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
  for (int i = 0; i < major; ++i) {
    const float u = 2.0f * pi * static_cast<float>(i) / static_cast<float>(major);
    for (int j = 0; j < minor; ++j) {
      const float v = 2.0f * pi * static_cast<float>(j) / static_cast<float>(minor);
      const float r = 2.0f + 0.7f * std::cos(v);
      m.Positions.push_back({r * std::cos(u), r * std::sin(u), 0.7f * std::sin(v)});
    }
  }
  auto id = [major, minor](int i, int j) { return ((i + major) % major) * minor + ((j + minor) % minor); };
  for (int i = 0; i < major; ++i)
    for (int j = 0; j < minor; ++j) {
      const int a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
      if (!triangles) {
        m.Polygons.push_back({a, b, c, d});
      } else if ((i + j) % 2 == 0) {
        m.Polygons.push_back({a, b, c});
        m.Polygons.push_back({a, c, d});
      } else {
        m.Polygons.push_back({a, b, d});
        m.Polygons.push_back({b, c, d});
      }
    }
  return m;
}

// Icosahedron subdivided `levels` times and projected onto the sphere of radius r around c.
inline MeshData icosphere(V3 c, float r, int levels) {
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
      next.push_back({t[0], ab, ca});
      next.push_back({t[1], bc, ab});
      next.push_back({t[2], ca, bc});
      next.push_back({ab, bc, ca});
    }
    f.swap(next);
  }
  MeshData m{"icosphere", {}, {}, 2};
  for (const auto& q : p) {
    const double l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    m.Positions.push_back({static_cast<float>(c.x + r * q[0] / l), static_cast<float>(c.y + r * q[1] / l),
                           static_cast<float>(c.z + r * q[2] / l)});
  }
  for (const auto& t : f) m.Polygons.push_back({t[0], t[1], t[2]});
  return m;
}

// Replaces the mesh's contents and brings every index up to date, as the importer does.
inline void build(PolygonStorage& mesh, const MeshData& data) {
  mesh.clear();
  for (const V3& p : data.Positions) {
    Vertex v;
    v.pos = p;
    mesh.addVertex(v);
  }
  mesh.Polygons = data.Polygons;
  mesh.buildIndex();
  if (mesh.computeMidpoints() > 0) mesh.buildEdgeIndex();
  mesh.computeVertexNormals();
  mesh.computeBoundingBox();
}

// Empty when every polygon has three or more distinct ids in range and every directed edge is
// used once, its reverse once (closed, consistently oriented); else the first fault.
inline std::string closedOrientedFault(const PolygonStorage& mesh) {
  std::map<std::pair<int, int>, int> directed;
  const int vertices = static_cast<int>(mesh.Vertices.size());
  for (std::size_t p = 0; p < mesh.Polygons.size(); ++p) {
    const VertexIDList& polygon = mesh.Polygons[p];
    const std::string name = "polygon " + std::to_string(p);
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

}  // namespace testmeshes
