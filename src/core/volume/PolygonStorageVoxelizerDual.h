#pragma once

#include "base/NullInterrupter.h"
#include "base/NullOutput.h"

#include "algebra/vec3.h"
#include "mesh/PolygonStorage.h"
#include "volume/RobustVoxelizer.h"
#include "volume/VoxelizationMode.h"

namespace tessellor {

class GenericVolumeStorage;
class SharpFeatures;

// Fills a volume with the narrow-band signed distance field of a triangle mesh that has been
// fitted into the voxel frame, and marks the cells of its sharp features.
class PolygonStorageVoxelizerDual {
 public:
  PolygonStorageVoxelizerDual() = default;
  PolygonStorageVoxelizerDual(const PolygonStorageVoxelizerDual&) = delete;
  PolygonStorageVoxelizerDual& operator=(const PolygonStorageVoxelizerDual&) = delete;

  // nullptr: report nothing.
  void setStatusOutput(StatusOutput* output) { Output = output ? output : &NullOutput::instance(); }
  void setVolume(GenericVolumeStorage* volume) { Volume = volume; }
  void setMesh(PolygonStorage* mesh) { Mesh = mesh; }
  void setSharpFeatures(SharpFeatures* features) { Features = features; }
  // Polled once per progress step; a stop throws Cancelled and leaves the volume partly filled.
  void setInterrupter(NullInterrupter* interrupter) { Interrupter = interrupter; }
  float getThresholdPsi() const { return ThresholdPsi; }
  void setThresholdPsi(float psi) { ThresholdPsi = psi; }
  VoxelizationMode getMode() const { return Mode; }
  void setMode(VoxelizationMode mode) { Mode = mode; }

  // Clears the volume and stores, per lattice point within 1.9 voxels of a triangle, the signed
  // distance to the nearest one (positive on the side the normals point to; in the robust mode,
  // positive outside the repaired surface).
  void voxelize();
  // Chains the sharp edges of the mesh and marks corner and edge cells with their feature points.
  // In the robust mode the edges are those of the repaired, triangulated surface.
  void detectSharpFeatures();

  void markFeatureCorner(int v);
  void rasterizeFeatureSegment(int u, int v);
  // Samples the segment t*D, t in [0, 1], for the point nearest to c within 0.7 on every axis:
  // a coarse pass and one fine pass around the best coarse sample. o = c - sample.
  static void closestSegmentSample(const vec3& D, const vec3& c, bool& found, vec3& o, float& sq);

  // Where (s, t) in the parameters of the reference triangle (0,0), (1,0), (0,1) has its closest
  // point (sp, tp): 1 face, 2 edge a-b, 3 edge a-c, 4 edge b-c, 5 corner a, 6 corner b,
  // 7 corner c; 0 only for non-finite input.
  static int classifyRegion(float s, float t, float& sp, float& tp);

  StatusOutput* Output = &NullOutput::instance();  // not owned
  GenericVolumeStorage* Volume = nullptr;          // not owned
  PolygonStorage* Mesh = nullptr;                  // not owned
  SharpFeatures* Features = nullptr;               // not owned
  NullInterrupter* Interrupter = nullptr;          // not owned
  float ThresholdPsi = 0.3f;
  // Polygons the last voxelize left out: in the classic and exact modes those that are not
  // triangles and triangles whose frame cannot be inverted; in the robust mode those without area.
  int SkippedPolygons = 0;
  // Classic: the chosen point of a region is found in the triangle's affine parameters, which
  // overshoots the distance beside the edges and corners of non-right triangles. Exact: the exact
  // closest point of the triangle, with the same boxes, band, signs and tie rule. Robust: see
  // RobustVoxelizer.
  VoxelizationMode Mode = VoxelizationMode::Classic;
  RobustVoxelizer Robust;
  PolygonStorage RepairedMesh;  // the robust mode's surface, for the sharp-feature stage

 private:
  // The distances of one triangle at the lattice points with x in [x0, x1). False, and nothing
  // written, when the polygon is left out (not a triangle, bad ids, a frame that cannot be inverted).
  bool voxelizeTriangle(int polygon, int x0, int x1);
  void exactDistancePass(const vec3& pa, const vec3& pb, const vec3& pc, const vec3 normals[8], const int lo[3],
                         const int hi[3]);
};

}  // namespace tessellor
