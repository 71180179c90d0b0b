#pragma once

#include <functional>

#include "volume/VoxelData.h"

namespace tessellor {

// The abstract voxel grid: sizes, placement in world coordinates (world = p * Scale + Offset)
// and the record operations.
class GenericVolumeStorage {
 public:
  GenericVolumeStorage() = default;
  GenericVolumeStorage(const GenericVolumeStorage&) = default;
  GenericVolumeStorage& operator=(const GenericVolumeStorage&) = default;
  virtual ~GenericVolumeStorage() = default;

  virtual void resize(int nx, int ny, int nz);
  virtual void setVoxel(int x, int y, int z, const VoxelData& record);
  virtual void getVoxel(int x, int y, int z, VoxelData& record) const;
  virtual void clear();
  // 0 when setVoxel must be called from one thread at a time; n > 0 when several threads may
  // write at once, each into its own range of x whose ends are multiples of n.
  virtual int parallelWriteAlignment() const { return 0; }
  // False only when no voxel can carry a feature point (FeatureOffset and FeatureType cleared
  // everywhere), so that passes looking for feature points may skip the volume.
  virtual bool mayHoldFeaturePoints() const { return true; }
  // Cuts x into ranges [x0, x1) that threads may write at once (one range when they may not) and
  // calls work for each, in parallel; after each batch of ranges, done(x1) on the calling thread
  // with the end of the last range so far, in ascending order.
  void forEachWriteRange(const std::function<void(int, int)>& work, const std::function<void(int)>& done) const;

  // Layer z of the distances, for passes that sweep the grid a layer at a time: distances gets
  // XSize * YSize values (x fastest, then y), NoValue where a voxel has none; for every row y,
  // rowBegin[y] and rowEnd[y] bound the x of its values: outside [rowBegin[y], rowEnd[y]) the
  // row holds only NoValue (begin == end when it holds none). The bounds need not be tight. This
  // version reads every voxel through getVoxel; storages override it with direct access. The
  // parallel passes call it from several threads at once, so it and getVoxel must only read.
  virtual void getDistanceLayer(int z, float* distances, int* rowBegin, int* rowEnd) const;

  int getXSize() const { return XSize; }
  int getYSize() const { return YSize; }
  int getZSize() const { return ZSize; }
  float getScale() const { return Scale; }
  void setScale(float scale) { Scale = scale; }
  const float* getOffset() const { return Offset; }
  void setOffset(float x, float y, float z) {
    Offset[0] = x;
    Offset[1] = y;
    Offset[2] = z;
  }

  int XSize = 0;
  int YSize = 0;
  int ZSize = 0;
  int XYSize = 0;
  float Scale = 1.0f;
  float Offset[3] = {0.0f, 0.0f, 0.0f};
};

}  // namespace tessellor
