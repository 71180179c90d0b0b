#pragma once

#include "extract/MarchingCubes33.h"
#include "mesh/PolygonStorage.h"
#include "volume/PolygonStorageVoxelizerDual.h"
#include "volume/SharpFeatures.h"
#include "volume/VolumeStorageDF.h"
#include "volume/VolumeStorageDF_IO.h"
#include "volume/VolumeStorageSparse.h"

namespace tessellor {

class StatusOutput;

// The remeshing pipeline: owns the three meshes, the distance-field volume, its file object, the
// voxelizer and the sharp features, and is itself the Marching Cubes 33 extractor.
//   "Input Mesh -> Volume":  size the volume, fit the mesh, voxelize, optionally mark features.
//   "Volume -> Output Mesh": extract, transfer feature points, then the post-processing passes.
class QuadDominantTessellor : public MarchingCubes33 {
 public:
  QuadDominantTessellor();
  QuadDominantTessellor(const QuadDominantTessellor&) = delete;
  QuadDominantTessellor& operator=(const QuadDominantTessellor&) = delete;

  PolygonStorage& getInputMesh() { return InputMesh; }
  PolygonStorage& getOutputMesh() { return OutputMesh; }
  // The Marching Cubes mesh of the last "Volume -> Output Mesh", after the feature transfer.
  PolygonStorage& getMCMesh() { return MCMesh; }
  int getMaxVoxels() const { return MaxVoxels; }
  void setMaxVoxels(int maxVoxels) { MaxVoxels = maxVoxels; }
  float getThresholdPsi() const { return Voxelizer.getThresholdPsi(); }
  void setThresholdPsi(float psi) { Voxelizer.setThresholdPsi(psi); }
  void setDetectSharpFeatures(bool detect) { DetectSharpFeatures = detect; }
  // How the voxelizer measures distances and decides their signs (classic, exact, robust); takes
  // effect at the next volumeFromInputMesh.
  VoxelizationMode getVoxelizationMode() const { return Mode; }
  void setVoxelizationMode(VoxelizationMode mode) { Mode = mode; }
  VolumeStorageDF_IO& getVolumeIO() { return VolumeIO; }
  // Whether the passes work on SparseVolume (blocks of the band only) instead of the dense
  // Volume; off by default. Both give the same results byte for byte. Switching drops neither.
  bool getSparseVolume() const { return UseSparseVolume; }
  void setSparseVolume(bool sparse);
  // Whether remesh drops what the later steps no longer read, to lower the peak memory: the
  // input mesh's lists once the volume is made, the Marching Cubes mesh's once the dual surface
  // is built (meshes), the volume once the feature points are transferred (volume). With meshes
  // the vertex normals of those two meshes, which nothing reads, are not computed either (the
  // output's come from smoothing). Off by default; the output is the same either way.
  void setReleaseIntermediates(bool meshes, bool volume) {
    ReleaseMeshes = meshes;
    ReleaseVolume = volume;
  }
  // Whether the output is wanted as its vertex and polygon lists alone (see smooth): its indices,
  // midpoints and vertex normals are then not made. Off by default.
  void setOutputListsOnly(bool listsOnly) { OutputListsOnly = listsOnly; }
  // The volume the passes read and write: SparseVolume or Volume.
  GenericVolumeStorage& activeVolume() {
    return UseSparseVolume ? static_cast<GenericVolumeStorage&>(SparseVolume) : Volume;
  }
  void setStatusOutput(StatusOutput* output);
  // Passed on to the voxelizer, the extractor and the meshes. A stopped step throws Cancelled and
  // leaves the meshes and the volume partly done: a caller that must keep them runs the step on
  // a scratch controller and swaps the results in on success (as the public functions do).
  void setInterrupter(NullInterrupter* interrupter);

  // Throws ProcessingError, with mesh and volume unchanged, when the input mesh cannot be sized
  // (no vertices, a flat or non-finite extent, an axis below 5 voxels), the volume cannot be
  // allocated, or, in the classic and exact modes, the mesh has polygons but no triangle. Also
  // throws when those modes had to skip every polygon (triangles without area); the volume is
  // then the empty one they made.
  void volumeFromInputMesh();
  // Logs "Output mesh not closed: N open edges" when the output has open edges.
  void outputMeshFromVolume();
  void remesh();

  // The volume sizes for an extent box and a voxel budget: f = (budget / volume)^(1/3), each
  // size the extent times f, truncated. Throws ProcessingError when they are not usable.
  static void volumeSize(float ex, float ey, float ez, int maxVoxels, int& nx, int& ny, int& nz);

  PolygonStorage InputMesh;
  PolygonStorage OutputMesh;
  PolygonStorage MCMesh;
  VolumeStorageDF Volume;
  VolumeStorageSparse SparseVolume;
  VolumeStorageDF_IO VolumeIO;
  PolygonStorageVoxelizerDual Voxelizer;
  SharpFeatures Features;
  int MaxVoxels = 100000;
  bool DetectSharpFeatures = false;
  bool UseSparseVolume = false;
  bool ReleaseMeshes = false;
  bool ReleaseVolume = false;
  bool OutputListsOnly = false;
  VoxelizationMode Mode = VoxelizationMode::Classic;
  StatusOutput* Output = nullptr;          // not owned
  NullInterrupter* Interrupter = nullptr;  // not owned
};

}  // namespace tessellor
