#pragma once

// Small meshes for the voxelizer and feature tests, built the way the importer builds them:
// vertices and polygons, then buildIndex, computeMidpoints, computeVertexNormals.

#include <string>
#include <vector>

#include "mesh/PolygonStorage.h"
#include "support/RecordingOutput.h"
#include "base/StatusOutput.h"
#include "support/TestMeshes.h"
#include "volume/PolygonStorageVoxelizerDual.h"
#include "volume/SharpFeatures.h"
#include "volume/VolumeStorageDF.h"

using namespace tessellor;

namespace fixtures {

inline void finish(PolygonStorage& mesh) {
  mesh.buildIndex();
  mesh.computeMidpoints();
  mesh.computeVertexNormals();
  mesh.computeBoundingBox();
}

inline int vertex(PolygonStorage& mesh, float x, float y, float z) {
  Vertex v;
  v.pos = V3{x, y, z};
  return mesh.addVertex(v);
}

// Regular octahedron with corners at centre +- r on each axis, outward oriented.
inline void octahedron(PolygonStorage& mesh, float cx, float cy, float cz, float r) {
  testmeshes::build(mesh, testmeshes::octahedron({cx, cy, cz}, r));
}

// Icosahedron subdivided `levels` times and projected onto a sphere: closed, convex, outward.
inline void icosphere(PolygonStorage& mesh, float cx, float cy, float cz, float r, int levels) {
  testmeshes::build(mesh, testmeshes::icosphere({cx, cy, cz}, r, levels));
}

// A mesh, an n x n x n volume and the voxelizer wired to them, in the default or the exact mode.
struct VoxelizerRig {
  PolygonStorage Mesh;
  VolumeStorageDF Volume;
  SharpFeatures Features;
  PolygonStorageVoxelizerDual Voxelizer;
  RecordingOutput Output;

  explicit VoxelizerRig(int n = 10, bool exact = false) : VoxelizerRig(n, n, n, exact) {}
  VoxelizerRig(int nx, int ny, int nz, bool exact) {
    Volume.resize(nx, ny, nz);
    Volume.clear();
    Features.setMesh(&Mesh);
    Voxelizer.setStatusOutput(&Output);
    Voxelizer.setVolume(&Volume);
    Voxelizer.setMesh(&Mesh);
    Voxelizer.setSharpFeatures(&Features);
    Voxelizer.setMode(exact ? VoxelizationMode::Exact : VoxelizationMode::Classic);
  }

  void triangle(V3 a, V3 b, V3 c) { testmeshes::build(Mesh, {"triangle", {a, b, c}, {{0, 1, 2}}, 1}); }
  const VoxelData& voxel(int x, int y, int z) const { return Volume.Voxels[Volume.index(x, y, z)]; }
  float distance(int x, int y, int z) const { return voxel(x, y, z).Distance; }
};

// Records every call, repeated progress values included.
class CallLog final : public StatusOutput {
 public:
  void writeLine(const char* text) override { Lines.emplace_back(text); }
  void setProgress(int percent) override { Progress.push_back(percent); }
  void beginTask(const char* name) override { Lines.push_back(std::string("begin ") + name); }
  void endTask() override { Lines.emplace_back("end"); }
  std::vector<std::string> Lines;
  std::vector<int> Progress;
};

}  // namespace fixtures
