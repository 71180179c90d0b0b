#include "volume/VolumeStorageDF.h"

#include "base/Assert.h"

#include <algorithm>
#include <limits>

namespace tessellor {

void VolumeStorageDF::resize(int nx, int ny, int nz) {
  TS_ASSERT(checkedVoxelCount(nx, ny, nz) >= 0);
  GenericVolumeStorage::resize(nx, ny, nz);
  Voxels.resize(static_cast<std::size_t>(XYSize) * static_cast<std::size_t>(ZSize));
}

void VolumeStorageDF::setVoxel(int x, int y, int z, const VoxelData& record) {
  // The condition texts are what a failed check reports: keep them as written.
  // clang-format off
  TS_ASSERT(x<XSize);
  TS_ASSERT(y<YSize);
  TS_ASSERT(z<ZSize);
  TS_ASSERT(x>=0);
  TS_ASSERT(y>=0);
  TS_ASSERT(z>=0);
  // clang-format on
  Voxels[index(x, y, z)] = record;
}

void VolumeStorageDF::getVoxel(int x, int y, int z, VoxelData& record) const {
  // The condition texts are what a failed check reports: keep them as written.
  // clang-format off
  TS_ASSERT(x<XSize);
  TS_ASSERT(y<YSize);
  TS_ASSERT(z<ZSize);
  TS_ASSERT(x>=0);
  TS_ASSERT(y>=0);
  TS_ASSERT(z>=0);
  // clang-format on
  record = Voxels[index(x, y, z)];
}

void VolumeStorageDF::clear() { std::fill(Voxels.begin(), Voxels.end(), VoxelData{}); }

void VolumeStorageDF::getDistanceLayer(int z, float* distances, int* rowBegin, int* rowEnd) const {
  const VoxelData* voxel = Voxels.data() + index(0, 0, z);
  float* out = distances;
  for (int y = 0; y < YSize; ++y) {
    int begin = XSize, end = 0;
    for (int x = 0; x < XSize; ++x) {
      const float d = voxel[x].Distance;
      out[x] = d;
      if (d != NoValue) {
        if (begin > x) begin = x;
        end = x + 1;
      }
    }
    rowBegin[y] = begin < end ? begin : 0;
    rowEnd[y] = begin < end ? end : 0;
    voxel += XSize;
    out += XSize;
  }
}

long long VolumeStorageDF::checkedVoxelCount(long long nx, long long ny, long long nz) {
  if (nx < 0 || ny < 0 || nz < 0) return -1;
  const long long limit = std::numeric_limits<int>::max();
  // XYSize is an int as well, also when ZSize is 0.
  if (ny != 0 && nx > limit / ny) return -1;
  if (nx == 0 || ny == 0 || nz == 0) return 0;
  const long long xy = nx * ny;
  if (xy > limit / nz) return -1;
  return xy * nz;
}

}  // namespace tessellor
