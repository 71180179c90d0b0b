#include "volume/VolumeStorageSparse.h"

#include "base/Assert.h"
#include "volume/VolumeStorageDF.h"

#include <algorithm>
#include <cstring>

namespace tessellor {

namespace {

// Bitwise comparison with the cleared value: writing a record that reads back as cleared anyway
// allocates nothing, and -0.0 or a NaN payload is kept like any other value.
bool isNoValue(float v) { return std::memcmp(&v, &NoValue, sizeof v) == 0; }

int blocksFor(int n) { return (n + VolumeStorageSparse::BlockSize - 1) >> VolumeStorageSparse::BlockBits; }

}  // namespace

void VolumeStorageSparse::resize(int nx, int ny, int nz) {
  TS_ASSERT(VolumeStorageDF::checkedVoxelCount(nx, ny, nz) >= 0);
  const bool same = nx == XSize && ny == YSize && nz == ZSize;
  GenericVolumeStorage::resize(nx, ny, nz);
  if (same) return;
  BlocksX = blocksFor(nx);
  BlocksY = blocksFor(ny);
  BlocksZ = blocksFor(nz);
  const std::size_t blocks =
      static_cast<std::size_t>(BlocksX) * static_cast<std::size_t>(BlocksY) * static_cast<std::size_t>(BlocksZ);
  Distance.clear();
  Features.clear();
  Distance.resize(blocks);
  Features.resize(blocks);
}

void VolumeStorageSparse::clear() {
  for (std::unique_ptr<float[]>& block : Distance) block.reset();
  for (std::unique_ptr<FeatureBlock>& block : Features) block.reset();
}

void VolumeStorageSparse::checkIndices(int x, int y, int z) const {
  // The condition texts are what a failed check reports: keep them as written.
  // clang-format off
  TS_ASSERT(x<XSize);
  TS_ASSERT(y<YSize);
  TS_ASSERT(z<ZSize);
  TS_ASSERT(x>=0);
  TS_ASSERT(y>=0);
  TS_ASSERT(z>=0);
  // clang-format on
}

float* VolumeStorageSparse::touchDistanceBlock(int bx, int by, int bz) {
  std::unique_ptr<float[]>& block = Distance[blockIndex(bx, by, bz)];
  if (!block) {
    block.reset(new float[BlockVoxels]);
    std::fill(block.get(), block.get() + BlockVoxels, NoValue);
  }
  return block.get();
}

VolumeStorageSparse::FeatureBlock& VolumeStorageSparse::touchFeatureBlock(std::size_t block) {
  std::unique_ptr<FeatureBlock>& features = Features[block];
  if (!features) {
    features.reset(new FeatureBlock);
    std::fill(features->Type, features->Type + BlockVoxels, std::uint8_t{0});
    std::fill(&features->Offset[0][0], &features->Offset[0][0] + 3 * BlockVoxels, NoValue);
  }
  return *features;
}

void VolumeStorageSparse::setVoxel(int x, int y, int z, const VoxelData& record) {
  checkIndices(x, y, z);
  const std::size_t block = blockIndex(x >> BlockBits, y >> BlockBits, z >> BlockBits);
  const int at = local(x, y, z);
  if (Distance[block] || !isNoValue(record.Distance))
    touchDistanceBlock(x >> BlockBits, y >> BlockBits, z >> BlockBits)[at] = record.Distance;
  const bool cleared = record.FeatureType == 0 && isNoValue(record.FeatureOffset[0]) &&
                       isNoValue(record.FeatureOffset[1]) && isNoValue(record.FeatureOffset[2]);
  if (Features[block] || !cleared) {
    FeatureBlock& features = touchFeatureBlock(block);
    features.Type[at] = record.FeatureType;
    for (int i = 0; i < 3; ++i) features.Offset[at][i] = record.FeatureOffset[i];
  }
}

void VolumeStorageSparse::getVoxel(int x, int y, int z, VoxelData& record) const {
  checkIndices(x, y, z);
  const std::size_t block = blockIndex(x >> BlockBits, y >> BlockBits, z >> BlockBits);
  const int at = local(x, y, z);
  const float* distance = Distance[block].get();
  record.Distance = distance ? distance[at] : NoValue;
  const FeatureBlock* feature = Features[block].get();
  if (!feature) {
    record.FeatureType = 0;
    record.FeatureOffset[0] = record.FeatureOffset[1] = record.FeatureOffset[2] = NoValue;
    return;
  }
  record.FeatureType = feature->Type[at];
  for (int i = 0; i < 3; ++i) record.FeatureOffset[i] = feature->Offset[at][i];
}

void VolumeStorageSparse::getDistanceLayer(int z, float* distances, int* rowBegin, int* rowEnd) const {
  const int bz = z >> BlockBits;
  const int lz = z & (BlockSize - 1);
  for (int by = 0; by < BlocksY; ++by) {
    // The x range of the allocated blocks in this block row bounds the values of its rows.
    int begin = XSize, end = 0;
    for (int bx = 0; bx < BlocksX; ++bx) {
      if (!Distance[blockIndex(bx, by, bz)]) continue;
      begin = std::min(begin, bx * BlockSize);
      end = std::min(XSize, (bx + 1) * BlockSize);
    }
    if (begin >= end) begin = end = 0;
    const int rows = std::min(BlockSize, YSize - by * BlockSize);
    for (int ly = 0; ly < rows; ++ly) {
      const int y = by * BlockSize + ly;
      float* row = distances + static_cast<std::size_t>(y) * static_cast<std::size_t>(XSize);
      rowBegin[y] = begin;
      rowEnd[y] = end;
      std::fill(row, row + begin, NoValue);
      std::fill(row + end, row + XSize, NoValue);
      for (int bx = begin >> BlockBits; bx * BlockSize < end; ++bx) {
        const float* block = distanceBlock(bx, by, bz);
        const int x0 = bx * BlockSize, n = std::min(BlockSize, XSize - x0);
        if (block)
          std::memcpy(row + x0, block + BlockSize * ly + BlockSize * BlockSize * lz, sizeof(float) * n);
        else
          std::fill(row + x0, row + x0 + n, NoValue);
      }
    }
  }
}

void VolumeStorageSparse::copyTo(VolumeStorageDF& dense) const {
  dense.Voxels.clear();
  dense.resize(XSize, YSize, ZSize);
  dense.clear();
  dense.setScale(Scale);
  dense.setOffset(Offset[0], Offset[1], Offset[2]);
  for (int bz = 0; bz < BlocksZ; ++bz)
    for (int by = 0; by < BlocksY; ++by)
      for (int bx = 0; bx < BlocksX; ++bx) {
        const std::size_t block = blockIndex(bx, by, bz);
        const float* distance = Distance[block].get();
        const FeatureBlock* feature = Features[block].get();
        if (!distance && !feature) continue;
        const int x0 = bx * BlockSize, y0 = by * BlockSize, z0 = bz * BlockSize;
        const int x1 = std::min(XSize, x0 + BlockSize), y1 = std::min(YSize, y0 + BlockSize),
                  z1 = std::min(ZSize, z0 + BlockSize);
        for (int z = z0; z < z1; ++z)
          for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
              VoxelData& voxel = dense.Voxels[dense.index(x, y, z)];
              const int at = local(x, y, z);
              if (distance) voxel.Distance = distance[at];
              if (feature) {
                voxel.FeatureType = feature->Type[at];
                for (int i = 0; i < 3; ++i) voxel.FeatureOffset[i] = feature->Offset[at][i];
              }
            }
      }
}

std::size_t VolumeStorageSparse::distanceBlockCount() const {
  return static_cast<std::size_t>(
      std::count_if(Distance.begin(), Distance.end(), [](const std::unique_ptr<float[]>& b) { return b != nullptr; }));
}

std::size_t VolumeStorageSparse::featureBlockCount() const {
  return static_cast<std::size_t>(std::count_if(Features.begin(), Features.end(),
                                                [](const std::unique_ptr<FeatureBlock>& b) { return b != nullptr; }));
}

std::size_t VolumeStorageSparse::memoryBytes() const {
  return distanceBlockCount() * sizeof(float) * BlockVoxels + featureBlockCount() * sizeof(FeatureBlock) +
         (Distance.capacity() + Features.capacity()) * sizeof(Distance[0]);
}

}  // namespace tessellor
