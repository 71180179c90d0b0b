#pragma once

#include "volume/GenericVolumeStorage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tessellor {

// A distance-field volume that keeps only what has been written: the grid is cut into blocks of
// 8 x 8 x 8 voxels, and a block's distances (one float array) and its feature data (a separate,
// rarer block) are allocated on the first write of a value other than the cleared one. Every other
// voxel reads as cleared (Distance and FeatureOffset NoValue, FeatureType 0), so the volume reads
// back exactly as a VolumeStorageDF that received the same writes, and the volume file written
// from it is the same byte for byte. Memory follows the narrow band, not the grid.
//
// Block (bx, by, bz) covers voxels [8 bx, 8 bx + 8) x [8 by, 8 by + 8) x [8 bz, 8 bz + 8); within
// it voxel (lx, ly, lz) is element lx + 8 ly + 64 lz (x fastest). Blocks at the upper borders are
// partly outside the grid; those elements are never read through the interface.
//
// Reading is safe from several threads at once, and so is writing as long as no two threads write
// into the same block (for example when each works on its own range of x aligned to BlockSize).
class VolumeStorageSparse : public GenericVolumeStorage {
 public:
  static constexpr int BlockBits = 3;
  static constexpr int BlockSize = 1 << BlockBits;
  static constexpr int BlockVoxels = BlockSize * BlockSize * BlockSize;

  // Sizes must be non-negative with a product that fits in an int index (checked as for
  // VolumeStorageDF). The same sizes again keep every record; other sizes drop every block.
  void resize(int nx, int ny, int nz) override;
  void setVoxel(int x, int y, int z, const VoxelData& record) override;
  void getVoxel(int x, int y, int z, VoxelData& record) const override;
  // Drops every block: all voxels read as cleared and no block memory stays allocated.
  void clear() override;
  // Blocks are separate allocations: threads writing different blocks never meet.
  int parallelWriteAlignment() const override { return BlockSize; }
  bool mayHoldFeaturePoints() const override { return featureBlockCount() > 0; }
  void getDistanceLayer(int z, float* distances, int* rowBegin, int* rowEnd) const override;

  // --- block access for hot loops
  int blocksX() const { return BlocksX; }
  int blocksY() const { return BlocksY; }
  int blocksZ() const { return BlocksZ; }
  // The distances of a block, or nullptr when none of its voxels has been given one.
  const float* distanceBlock(int bx, int by, int bz) const { return Distance[blockIndex(bx, by, bz)].get(); }
  // The distances of a block, allocated (every element NoValue) on first use. The pointer stays
  // valid until resize to other sizes, clear or destruction.
  float* touchDistanceBlock(int bx, int by, int bz);

  std::size_t distanceBlockCount() const;
  std::size_t featureBlockCount() const;
  // The same volume as a dense one: sizes, scale, offset and every record.
  void copyTo(class VolumeStorageDF& dense) const;
  // Bytes held by the blocks and the block tables.
  std::size_t memoryBytes() const;

 private:
  struct FeatureBlock {
    std::uint8_t Type[BlockVoxels];
    float Offset[BlockVoxels][3];
  };

  std::size_t blockIndex(int bx, int by, int bz) const {
    return static_cast<std::size_t>(bx) +
           static_cast<std::size_t>(BlocksX) *
               (static_cast<std::size_t>(by) + static_cast<std::size_t>(BlocksY) * static_cast<std::size_t>(bz));
  }
  static int local(int x, int y, int z) {
    return (x & (BlockSize - 1)) + BlockSize * (y & (BlockSize - 1)) + BlockSize * BlockSize * (z & (BlockSize - 1));
  }
  void checkIndices(int x, int y, int z) const;
  FeatureBlock& touchFeatureBlock(std::size_t block);

  int BlocksX = 0;
  int BlocksY = 0;
  int BlocksZ = 0;
  // Per block: its distances and its feature data, null until first written.
  std::vector<std::unique_ptr<float[]>> Distance;
  std::vector<std::unique_ptr<FeatureBlock>> Features;
};

}  // namespace tessellor
