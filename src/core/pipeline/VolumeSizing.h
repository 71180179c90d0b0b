#pragma once

namespace tessellor {

class PolygonStorage;

// Sizes in model units: the voxel budget that gives the volume a wanted voxel edge, the voxel
// edge that a budget gives, and whether a volume fits in memory. The input is the mesh as the
// pipeline starts from it: fitted into the working box, with its bounding box current and Scale
// mapping stored lengths to file units.
//
// Calibration, measured over the shared meshes at budgets from 10^4 to 10^6 voxels (the output
// cleaned as the command line writes it): the median edge of the output is EdgePerVoxel voxel
// edges long, and a surface of area A gives FacesPerArea * A / h^2 polygons for voxels of edge h.
class VolumeSizing {
 public:
  static constexpr double EdgePerVoxel = 0.86;
  static constexpr double FacesPerArea = 1.0;

  // The voxel edge, in file units, of the volume that budget gives the mesh; 0 when the budget
  // cannot size it.
  static double voxelSize(const PolygonStorage& fitted, int budget);
  // The budget whose voxel edge comes closest to voxelSize. Throws ProcessingError when even the
  // largest budget gives longer voxels, naming the volume it would need.
  static int budgetForVoxelSize(const PolygonStorage& fitted, double voxelSize);
  // The area of the mesh's polygons (fans of triangles) in file units.
  static double surfaceArea(const PolygonStorage& mesh);
  // Throws ProcessingError "Cannot allocate a volume of X x Y x Z voxels (N MiB needed, M MiB
  // available); ADVICE" when the volume that budget gives would not fit in the memory this
  // process can have.
  static void checkMemory(const PolygonStorage& fitted, int budget, const char* advice);
  // Bytes this process can still allocate: the available memory, or less under an address-space
  // limit.
  static double availableBytes();
};

}  // namespace tessellor
