#pragma once

// Small meshes and topology checks shared by the post-processing and pipeline tests.

#include "mesh/PolygonStorage.h"
#include "support/TestMeshes.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace tessellor;

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

using NamedMesh = testmeshes::MeshData;

// Cube [-1, 1]^3, vertex id = x + 2y + 4z (bit set = +1).
inline NamedMesh cube() { return testmeshes::cube(-1.0f, 1.0f); }
inline NamedMesh octahedron() { return testmeshes::octahedron(); }
// A UV sphere: poles and rings of quads, triangles at the poles (vertices of valence 5 to 8).
inline NamedMesh uvSphere(int rings, int segments) { return testmeshes::uvSphere(rings, segments); }
// A triangulated torus (genus 1) with the diagonals alternating, so vertices have valence 4 to 8.
inline NamedMesh torus(int major, int minor) { return testmeshes::torus(major, minor, true); }

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
