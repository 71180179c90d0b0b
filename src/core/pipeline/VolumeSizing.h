#pragma once

namespace tessellor {

class PolygonStorage;

// Sizes in model units: the voxel budget that gives the volume a wanted voxel edge, the voxel
// edge that a budget gives, and whether a volume fits in memory. The input is the mesh as the
// pipeline starts from it: fitted into the working box, with its bounding box current and Scale
// mapping stored lengths to file units.
//
// Calibration, measured over the shared meshes at budgets of 10^4, 10^5 and 10^6 voxels, with and
// without sharp features (the output cleaned as the command line writes it): the median edge of
// the output is 0.77 to 1.0 voxel edges long (about 1.0 on flat faces, less on curved ones, more
// as the voxels get finer), and a surface of triangle area A gives 1.09 to 1.41 A / h^2 polygons
// for voxels of edge h. EdgePerVoxel and FacesPerArea are the middles of those ranges; a first run
// that misses its target by more than the tolerances below is run once more with the voxel edge
// corrected by what it measured.
class VolumeSizing {
 public:
  static constexpr double EdgePerVoxel = 0.89;
  static constexpr double FacesPerArea = 1.23;
  static constexpr double EdgeTolerance = 0.05;   // relative miss of the median edge that asks for a rerun
  static constexpr double FacesTolerance = 0.08;  // relative miss of the face count that asks for a rerun

  // The voxel edge, in file units, of the volume that budget gives the mesh; 0 when the budget
  // cannot size it.
  static double voxelSize(const PolygonStorage& fitted, int budget);
  // The budget whose voxel edge comes closest to voxelSize. Throws ProcessingError when even the
  // largest budget gives longer voxels, naming the volume it would need.
  static int budgetForVoxelSize(const PolygonStorage& fitted, double voxelSize);
  // The area of the mesh's triangles, the polygons the voxelizer takes, in file units.
  static double triangleArea(const PolygonStorage& mesh);
  // The median length of the edges of the mesh's polygons in file units; 0 without polygons.
  static double medianEdge(const PolygonStorage& mesh);
  // The number of polygons with three or more corners.
  static long long faceCount(const PolygonStorage& mesh);
  // Throws ProcessingError "Cannot allocate a volume of X x Y x Z voxels (N MiB needed, M MiB
  // available); ADVICE" when a run at that budget would not fit in the memory this process can
  // have: the voxels, and the meshes for a surface of the given triangle area (file units).
  static void checkMemory(const PolygonStorage& fitted, int budget, double area, const char* advice);
  // Bytes this process can still allocate: the available memory, or less under an address-space
  // limit.
  static double availableBytes();
};

}  // namespace tessellor
