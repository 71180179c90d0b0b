#pragma once

// Small meshes and topology checks shared by the post-processing and pipeline tests.

#include "mesh/PolygonStorage.h"

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace postfixtures {

// Fills mesh with the given corners and polygons and brings every index up to date, the way a
// stage that builds a mesh does.
inline void buildMesh(PolygonStorage& mesh, const std::vector<V3>& positions,
                      const std::vector<VertexIDList>& polygons) {
  mesh.clear();
  for (const V3& p : positions) {
    Vertex v;
    v.pos = p;
    mesh.addVertex(v);
  }
  for (const VertexIDList& polygon : polygons) mesh.Polygons.push_back(polygon);
  mesh.buildIndex();
  mesh.computeMidpoints();
  mesh.computeVertexNormals();
}

struct NamedMesh {
  std::string Name;
  std::vector<V3> Positions;
  std::vector<VertexIDList> Polygons;
  int EulerCharacteristic;
};

inline NamedMesh cube() {
  return {"cube",
          {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
          {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}},
          2};
}

inline NamedMesh octahedron() {
  return {"octahedron",
          {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}},
          {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}},
          2};
}

// A UV sphere: poles and rings of quads, triangles at the poles (vertices of valence 5 to 8).
inline NamedMesh uvSphere(int rings, int segments) {
  NamedMesh m{"uv sphere", {}, {}, 2};
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

// A triangulated torus (genus 1) with the diagonals alternating, so vertices have valence 4 to 8.
inline NamedMesh torus(int major, int minor) {
  NamedMesh m{"torus", {}, {}, 0};
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
      if ((i + j) % 2 == 0) {
        m.Polygons.push_back({a, b, c});
        m.Polygons.push_back({a, c, d});
      } else {
        m.Polygons.push_back({a, b, d});
        m.Polygons.push_back({b, c, d});
      }
    }
  return m;
}

inline std::vector<NamedMesh> closedMeshes() {
  return {cube(), octahedron(), uvSphere(7, 9), torus(12, 7), torus(9, 5)};
}

// Every directed edge of the non-empty polygons occurs once and its reverse once: no boundary,
// no edge with more than two polygons, neighbours running shared edges in opposite directions.
// Fills problem with the first offending edge.
inline bool closedAndOriented(const PolygonStorage& mesh, std::string* problem = nullptr) {
  std::map<std::pair<int, int>, int> directed;
  for (const VertexIDList& polygon : mesh.Polygons) {
    const int n = static_cast<int>(polygon.size());
    for (int k = 0; k < n; ++k) ++directed[{polygon[k], polygon[(k + 1) % n]}];
  }
  for (const auto& entry : directed) {
    const int a = entry.first.first, b = entry.first.second;
    const auto reverse = directed.find({b, a});
    const int back = reverse == directed.end() ? 0 : reverse->second;
    if (a == b || entry.second != 1 || back != 1) {
      if (problem)
        *problem = "edge " + std::to_string(a) + "->" + std::to_string(b) + " used " + std::to_string(entry.second) +
                   " times, reverse " + std::to_string(back) + " times";
      return false;
    }
  }
  return true;
}

// V - E + F over the vertices that some polygon uses and the polygons that are not empty.
inline int eulerCharacteristic(const PolygonStorage& mesh) {
  std::set<int> used;
  std::set<std::pair<int, int>> edges;
  int faces = 0;
  for (const VertexIDList& polygon : mesh.Polygons) {
    if (polygon.empty()) continue;
    ++faces;
    const int n = static_cast<int>(polygon.size());
    for (int k = 0; k < n; ++k) {
      const int a = polygon[k], b = polygon[(k + 1) % n];
      used.insert(a);
      edges.insert({a < b ? a : b, a < b ? b : a});
    }
  }
  return static_cast<int>(used.size()) - static_cast<int>(edges.size()) + faces;
}

// True when EdgeIndex equals the index a fresh build would give.
inline bool edgeIndexCurrent(PolygonStorage& mesh) {
  const EdgeIndexMap stored = mesh.EdgeIndex;
  mesh.buildEdgeIndex();
  bool same = stored.size() == mesh.EdgeIndex.size();
  auto b = mesh.EdgeIndex.cbegin();
  for (auto a = stored.cbegin(); same && a != stored.cend(); ++a, ++b)
    same = a->first.Lower == b->first.Lower && a->first.Upper == b->first.Upper && a->second.First == b->second.First &&
           a->second.Second == b->second.Second;
  mesh.EdgeIndex = stored;
  return same;
}

}  // namespace postfixtures
