#include "volume/GenericVolumeStorage.h"

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

}  // namespace tessellor
