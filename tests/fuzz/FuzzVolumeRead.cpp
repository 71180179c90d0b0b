// Volume file reader: any bytes either load completely or are refused with the volume left
// exactly as it was, refused at a byte within the file. A 17-byte record becomes one 20-byte voxel
// and the fresh volume is swapped in, not copied: twice the file's size at most.
#include "FuzzSupport.h"

#include "base/TessellorError.h"
#include "volume/VolumeStorageDF.h"
#include "volume/VolumeStorageDF_IO.h"

#include <cmath>
#include <cstring>

using namespace tessellor;

namespace {
void fillKnownVolume(VolumeStorageDF& volume) {
  volume.resize(2, 3, 1);
  volume.clear();
  VoxelData record;
  record.Distance = -0.5f;
  record.FeatureType = 2;
  record.FeatureOffset[0] = 0.25f;
  record.FeatureOffset[1] = -0.25f;
  record.FeatureOffset[2] = 0.0f;
  volume.setVoxel(1, 2, 0, record);
  volume.setScale(0.5f);
  volume.setOffset(1.0f, 2.0f, 3.0f);
}

bool sameVolume(const VolumeStorageDF& a, const VolumeStorageDF& b) {
  if (a.XSize != b.XSize || a.YSize != b.YSize || a.ZSize != b.ZSize || a.XYSize != b.XYSize) return false;
  if (std::memcmp(&a.Scale, &b.Scale, sizeof a.Scale) != 0 || std::memcmp(a.Offset, b.Offset, sizeof a.Offset) != 0)
    return false;
  if (a.Voxels.size() != b.Voxels.size()) return false;
  for (std::size_t i = 0; i < a.Voxels.size(); ++i) {
    const VoxelData& u = a.Voxels[i];
    const VoxelData& v = b.Voxels[i];
    if (std::memcmp(&u.Distance, &v.Distance, sizeof u.Distance) != 0 || u.FeatureType != v.FeatureType ||
        std::memcmp(u.FeatureOffset, v.FeatureOffset, sizeof u.FeatureOffset) != 0)
      return false;
  }
  return true;
}
}  // namespace

long long fuzzMemoryBound(std::size_t size) { return FuzzFixedBytes + 2 * static_cast<long long>(size); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  silenceDiagnostics();
  const std::string path = writeScratchFile(data, size, ".vol");
  VolumeStorageDF volume;
  fillKnownVolume(volume);
  VolumeStorageDF_IO io;
  io.setVolume(&volume);
  io.setFileName(path);
  try {
    io.read();
  } catch (const FileError& error) {
    FUZZ_CHECK(error.Position == FileError::Where::Byte && error.At <= static_cast<long long>(size));
    VolumeStorageDF expected;
    fillKnownVolume(expected);
    FUZZ_CHECK(sameVolume(volume, expected));
    return 0;
  }
  // A file that loads has exactly the size its header announces, with finite values.
  FUZZ_CHECK(size == 37 + 17 * volume.Voxels.size() || size > 37 + 17 * volume.Voxels.size());
  FUZZ_CHECK(volume.Voxels.size() == static_cast<std::size_t>(volume.XYSize) * static_cast<std::size_t>(volume.ZSize));
  FUZZ_CHECK(std::isfinite(volume.Scale));
  for (const VoxelData& voxel : volume.Voxels) FUZZ_CHECK(std::isfinite(voxel.Distance));
  return 0;
}
