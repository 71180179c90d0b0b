#pragma once

#include "volume/GenericVolumeStorage.h"

#include <cstddef>
#include <vector>

namespace tessellor {

// The distance-field volume: a flat array of voxel records, x fastest, z slowest.
class VolumeStorageDF : public GenericVolumeStorage {
 public:
  // Sizes must be non-negative with a product that fits in memory; callers check input first
  // (see checkedVoxelCount). Records are not initialised: call clear or write every voxel.
  void resize(int nx, int ny, int nz) override;
  void setVoxel(int x, int y, int z, const VoxelData& record) override;
  void getVoxel(int x, int y, int z, VoxelData& record) const override;
  void clear() override;
  int parallelWriteAlignment() const override { return 1; }
  void getDistanceLayer(int z, float* distances, int* rowBegin, int* rowEnd) const override;

  // Number of voxels for the given sizes, or -1 when a size is negative or the product
  // (or XSize * YSize alone, even with ZSize 0) does not fit in an int index.
  static long long checkedVoxelCount(long long nx, long long ny, long long nz);

  // Direct access for hot loops that keep their indices in range themselves.
  std::size_t index(int x, int y, int z) const {
    return static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * static_cast<std::size_t>(XSize) +
           static_cast<std::size_t>(z) * static_cast<std::size_t>(XYSize);
  }

  std::vector<VoxelData> Voxels;
};

}  // namespace tessellor
