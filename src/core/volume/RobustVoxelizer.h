#pragma once

#include "base/NullInterrupter.h"
#include "volume/AxisRayCrossing.h"
#include "volume/GridLineWinding.h"
#include "volume/PolygonTriangulation.h"
#include "volume/SurfaceOrientation.h"

namespace tessellor {

class GenericVolumeStorage;
class NullInterrupter;
class PolygonStorage;
class StatusOutput;

// The robust voxelization: a signed distance field whose sign does not depend on the orientation
// of the input faces. The mesh is repaired first (every polygon triangulated over welded corners,
// each connected piece oriented consistently, outward or, nested in another, inward); then every
// lattice point in the band gets its exact distance to the nearest triangle, as the exact mode
// measures it, and is made negative where the winding number of the repaired surface along the
// lattice lines says inside.
class RobustVoxelizer {
 public:
  // Triangulates and orients the surface of mesh; latticeBound is the largest grid size.
  void repair(const PolygonStorage& mesh, int latticeBound);
  // Repairs mesh and fills volume, which the caller has cleared. Progress goes to output from 10
  // upwards, one step per 1/90 of the triangles, as the other modes report per polygon.
  // interrupter (may be null) is polled at every progress step and throws Cancelled.
  void voxelize(const PolygonStorage& mesh, GenericVolumeStorage& volume, StatusOutput& output,
                NullInterrupter* interrupter = nullptr);
  // The repaired surface (triangles with area) as a mesh with every index built.
  void repairedMesh(PolygonStorage& out) const;

  PolygonTriangulation Triangulation;
  AxisRayCrossing Rays;
  SurfaceOrientation Orientation;
  GridLineWinding Winding;
};

}  // namespace tessellor
