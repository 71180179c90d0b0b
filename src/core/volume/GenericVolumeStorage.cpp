#include "volume/GenericVolumeStorage.h"

#include <cstddef>

namespace tessellor {

void GenericVolumeStorage::resize(int nx, int ny, int nz) {
  XSize = nx;
  YSize = ny;
  ZSize = nz;
  XYSize = nx * ny;
}

void GenericVolumeStorage::setVoxel(int, int, int, const VoxelData&) {}

void GenericVolumeStorage::getVoxel(int, int, int, VoxelData&) const {}

void GenericVolumeStorage::clear() {}

void GenericVolumeStorage::getDistanceLayer(int z, float* distances, int* rowBegin, int* rowEnd) const {
  VoxelData record;
  for (int y = 0; y < YSize; ++y) {
    float* row = distances + static_cast<std::size_t>(y) * static_cast<std::size_t>(XSize);
    int begin = XSize, end = 0;
    for (int x = 0; x < XSize; ++x) {
      record = VoxelData{};
      getVoxel(x, y, z, record);
      row[x] = record.Distance;
      if (record.Distance != NoValue) {
        if (begin > x) begin = x;
        end = x + 1;
      }
    }
    rowBegin[y] = begin < end ? begin : 0;
    rowEnd[y] = begin < end ? end : 0;
  }
}

}  // namespace tessellor
