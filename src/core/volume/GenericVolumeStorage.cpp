#include "volume/GenericVolumeStorage.h"

#include <algorithm>
#include <cstddef>

#include "base/Parallel.h"

namespace tessellor {

void GenericVolumeStorage::resize(int nx, int ny, int nz) {
  XSize = nx;
  YSize = ny;
  ZSize = nz;
  XYSize = nx * ny;
}

void GenericVolumeStorage::forEachWriteRange(const std::function<void(int, int)>& work,
                                             const std::function<void(int)>& done) const {
  const int alignment = parallelWriteAlignment();
  const int unit = alignment > 0 ? alignment : std::max(XSize, 1);
  const int units = (XSize + unit - 1) / unit;
  forEachRange(
      units, 1, [&](int begin, int end) { work(begin * unit, std::min(XSize, end * unit)); },
      [&](int, int end) { done(std::min(XSize, end * unit)); });
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
