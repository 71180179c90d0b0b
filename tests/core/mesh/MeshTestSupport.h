#pragma once

#include "mesh/PolygonStorage.h"
#include "support/TestFiles.h"
#include "support/TestMeshes.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace tessellor;

namespace meshtest {

using testfiles::fileExists;
using testfiles::FileSizeLimit;
using testfiles::readFile;
using testfiles::ScratchDir;
using testfiles::writeFile;

inline std::string sharedDir() { return TESSELLOR_SHARED_DIR; }
inline std::string dataDir() { return std::string(TESSELLOR_SOURCE_DIR) + "/tests/data"; }

inline Vertex makeVertex(float x, float y, float z) {
  Vertex v;
  v.pos = V3{x, y, z};
  return v;
}

// Builds every index the way a stage does after filling a mesh's containers.
inline void finish(PolygonStorage& mesh) {
  mesh.buildIndex();
  if (mesh.computeMidpoints() > 0) mesh.buildEdgeIndex();
  mesh.computeVertexNormals();
  mesh.computeBoundingBox();
}

// Unit cube [0,1]^3, vertex id = x + 2y + 4z, six quads oriented outwards.
inline void makeCube(PolygonStorage& mesh) { testmeshes::build(mesh, testmeshes::cube()); }

// Unit sphere around the origin: triangle fans at the poles, quads between the rings.
inline void makeSphere(PolygonStorage& mesh, int rings = 8, int segments = 12) {
  testmeshes::build(mesh, testmeshes::uvSphere(rings, segments));
}

// Torus around the z axis, quads only, oriented outwards.
inline void makeTorus(PolygonStorage& mesh, int nu = 16, int nv = 8) {
  testmeshes::build(mesh, testmeshes::torus(nu, nv, false));
}

inline bool sameBits(const V3& a, const V3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
inline bool sameBits(const Vertex& a, const Vertex& b) {
  return sameBits(a.pos, b.pos) && sameBits(a.n, b.n) && a.attr == b.attr;
}

// Everything a reader may change, for "the mesh is exactly as it was" checks.
struct MeshSnapshot {
  explicit MeshSnapshot(const PolygonStorage& mesh)
      : Polygons(mesh.Polygons),
        Vertices(mesh.Vertices),
        VIndex(mesh.VIndex),
        Midpoints(mesh.Midpoints),
        Scale(mesh.Scale),
        Offset(mesh.Offset),
        BBoxMin(mesh.BBoxMin),
        BBoxMax(mesh.BBoxMax) {
    for (const auto& entry : mesh.EdgeIndex)
      Edges.push_back({entry.first.Lower, entry.first.Upper, entry.second.First, entry.second.Second});
  }
  // Empty when equal, else what differs.
  std::string differences(const PolygonStorage& mesh) const {
    const MeshSnapshot now(mesh);
    std::string d;
    if (now.Polygons != Polygons) d += "Polygons ";
    if (now.VIndex != VIndex) d += "VIndex ";
    if (now.Edges != Edges) d += "EdgeIndex ";
    auto sameList = [](const std::vector<Vertex>& a, const std::vector<Vertex>& b) {
      if (a.size() != b.size()) return false;
      for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameBits(a[i], b[i])) return false;
      return true;
    };
    if (!sameList(now.Vertices, Vertices)) d += "Vertices ";
    if (!sameList(now.Midpoints, Midpoints)) d += "Midpoints ";
    if (now.Scale != Scale || !sameBits(now.Offset, Offset)) d += "Scale/Offset ";
    if (!sameBits(now.BBoxMin, BBoxMin) || !sameBits(now.BBoxMax, BBoxMax)) d += "BoundingBox ";
    return d;
  }
  std::vector<VertexIDList> Polygons;
  std::vector<Vertex> Vertices;
  std::vector<VertexIDSet> VIndex;
  std::vector<Vertex> Midpoints;
  std::vector<std::vector<int>> Edges;
  float Scale;
  V3 Offset, BBoxMin, BBoxMax;
};

// The index invariants every finished mesh keeps; empty when they hold, else the first fault.
inline std::string indexFault(const PolygonStorage& mesh) {
  const int vertexCount = static_cast<int>(mesh.Vertices.size());
  const int polygonCount = static_cast<int>(mesh.Polygons.size());
  if (mesh.VIndex.size() != mesh.Vertices.size()) return "VIndex and Vertices differ in length";
  if (mesh.Midpoints.size() != mesh.Polygons.size()) return "Midpoints and Polygons differ in length";
  for (int p = 0; p < polygonCount; ++p) {
    const VertexIDList& poly = mesh.Polygons[p];
    if (!poly.empty() && poly.size() < 3) return "polygon " + std::to_string(p) + " has fewer than three ids";
    for (std::size_t i = 0; i < poly.size(); ++i) {
      const int v = poly[i];
      if (v < 0 || v >= vertexCount) return "polygon " + std::to_string(p) + " uses vertex " + std::to_string(v);
      if (!mesh.VIndex[v].count(p))
        return "polygon " + std::to_string(p) + " missing in VIndex of " + std::to_string(v);
      const int w = poly[(i + 1) % poly.size()];
      if (v != w && !mesh.findEdge(PolygonStorage::makeEdgeKey(v, w)))
        return "edge missing for polygon " + std::to_string(p);
    }
  }
  for (int v = 0; v < vertexCount; ++v)
    for (int p : mesh.VIndex[v]) {
      if (p < 0 || p >= polygonCount) return "VIndex lists polygon " + std::to_string(p);
      const VertexIDList& poly = mesh.Polygons[p];
      if (std::find(poly.begin(), poly.end(), v) == poly.end())
        return "VIndex of " + std::to_string(v) + " lists polygon " + std::to_string(p) + " that does not use it";
    }
  for (const auto& entry : mesh.EdgeIndex) {
    if (entry.first.Lower >= entry.first.Upper) return "edge key not ordered";
    for (int p : {entry.second.First, entry.second.Second}) {
      if (p == -1 && p == entry.second.Second) continue;
      if (p < 0 || p >= polygonCount || mesh.Polygons[p].empty()) return "edge lists a missing polygon";
    }
  }
  return std::string();
}

// A generated or copied mesh and its name, for tests that hold over every mesh.
struct NamedMesh {
  std::string Name;
  std::function<void(PolygonStorage&)> Fill;
  bool Closed = false;
};

}  // namespace meshtest
