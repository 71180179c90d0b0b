#include "volume/VolumeStorageDF.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

using namespace tessellor;

namespace {

std::uint32_t bits(float value) {
  std::uint32_t result;
  std::memcpy(&result, &value, sizeof result);
  return result;
}

float fromBits(std::uint32_t pattern) {
  float result;
  std::memcpy(&result, &pattern, sizeof result);
  return result;
}

void expectSameRecord(const VoxelData& a, const VoxelData& b, const char* what) {
  EXPECT_EQ(bits(a.Distance), bits(b.Distance)) << what;
  EXPECT_EQ(a.FeatureType, b.FeatureType) << what;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(bits(a.FeatureOffset[i]), bits(b.FeatureOffset[i])) << what << " offset " << i;
}

VoxelData record(float distance, std::uint8_t type, float ox, float oy, float oz) {
  VoxelData voxel;
  voxel.Distance = distance;
  voxel.FeatureType = type;
  voxel.FeatureOffset[0] = ox;
  voxel.FeatureOffset[1] = oy;
  voxel.FeatureOffset[2] = oz;
  return voxel;
}

}  // namespace

TEST(VolumeStorageDF, ClearMarksEveryVoxelAsHoldingNoValueAndKeepsPlacement) {
  VolumeStorageDF volume;
  GenericVolumeStorage& generic = volume;
  generic.resize(3, 2, 2);
  generic.setScale(0.5f);
  generic.setOffset(1.0f, 2.0f, 3.0f);
  for (int z = 0; z < 2; ++z)
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) generic.setVoxel(x, y, z, record(-1.5f, 2, 0.1f, 0.2f, 0.3f));
  generic.clear();

  for (int z = 0; z < 2; ++z)
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        VoxelData voxel = record(0, 7, 0, 0, 0);
        generic.getVoxel(x, y, z, voxel);
        EXPECT_EQ(voxel.Distance, 10000000.0f);
        EXPECT_EQ(voxel.FeatureType, 0);
        for (float component : voxel.FeatureOffset) EXPECT_EQ(component, 10000000.0f);
      }
  EXPECT_EQ(generic.getXSize(), 3);
  EXPECT_EQ(generic.getZSize(), 2);
  EXPECT_EQ(generic.getScale(), 0.5f);
  EXPECT_EQ(generic.getOffset()[2], 3.0f);
}

TEST(VolumeStorageDF, VoxelIndexRunsXFastestThenYThenZ) {
  VolumeStorageDF volume;
  GenericVolumeStorage& generic = volume;
  generic.resize(2, 3, 4);
  EXPECT_EQ(volume.Voxels.size(), 24u);
  EXPECT_EQ(volume.XYSize, 6);
  generic.clear();
  const VoxelData marked = record(42.0f, 1, -0.25f, 0.5f, 0.7f);
  generic.setVoxel(1, 2, 3, marked);
  // 1 + 2 * 2 + 3 * 6
  expectSameRecord(volume.Voxels[23], marked, "voxel (1, 2, 3)");
  generic.setVoxel(1, 0, 0, record(5.0f, 0, 0, 0, 0));
  generic.setVoxel(0, 1, 0, record(6.0f, 0, 0, 0, 0));
  generic.setVoxel(0, 0, 1, record(7.0f, 0, 0, 0, 0));
  EXPECT_EQ(volume.Voxels[1].Distance, 5.0f);
  EXPECT_EQ(volume.Voxels[2].Distance, 6.0f);
  EXPECT_EQ(volume.Voxels[6].Distance, 7.0f);
}

// The same sizes keep every record and the placement; a zero on any axis is an empty volume that
// clear ignores.
TEST(VolumeStorageDF, Resize) {
  VolumeStorageDF volume;
  GenericVolumeStorage& generic = volume;
  generic.resize(3, 3, 3);
  generic.setScale(2.0f);
  generic.setOffset(-1.0f, 0.0f, 4.0f);
  for (int i = 0; i < 27; ++i) volume.Voxels[static_cast<std::size_t>(i)] = record(static_cast<float>(i), 1, 0, 0, 0);
  generic.resize(3, 3, 3);
  for (int i = 0; i < 27; ++i) EXPECT_EQ(volume.Voxels[static_cast<std::size_t>(i)].Distance, static_cast<float>(i));
  EXPECT_EQ(generic.getScale(), 2.0f);
  EXPECT_EQ(generic.getOffset()[0], -1.0f);

  for (const auto& sizes : {std::array<int, 3>{0, 0, 0}, std::array<int, 3>{5, 0, 7}}) {
    generic.resize(4, 4, 4);
    generic.resize(sizes[0], sizes[1], sizes[2]);
    EXPECT_TRUE(volume.Voxels.empty()) << sizes[0] << " x " << sizes[1] << " x " << sizes[2];
    EXPECT_EQ(volume.XYSize, 0);
    generic.clear();
    EXPECT_TRUE(volume.Voxels.empty());
  }
}

TEST(VolumeStorageDF, SetThenGetReturnsEveryFieldBitForBit) {
  VolumeStorageDF volume;
  GenericVolumeStorage& generic = volume;
  generic.resize(2, 2, 2);
  generic.clear();
  // Values a conversion through double, a comparison or a copy by value could alter:
  // negative zero, a subnormal, a NaN with a payload, the extremes, feature type 255.
  const VoxelData awkward[] = {
      record(-0.0f, 255, fromBits(0x00000001u), -std::numeric_limits<float>::max(), 0.7f),
      record(fromBits(0x7fc12345u), 2, std::numeric_limits<float>::infinity(), -0.0f, fromBits(0x80000003u)),
      record(std::numeric_limits<float>::denorm_min(), 1, -0.5f, 0.5f, 1e-30f),
  };
  int i = 0;
  for (const VoxelData& original : awkward) {
    const int x = i & 1, y = (i >> 1) & 1, z = 1;
    generic.setVoxel(x, y, z, original);
    VoxelData back;
    generic.getVoxel(x, y, z, back);
    expectSameRecord(back, original, "set/get");
    ++i;
  }
}

TEST(VolumeStorageDF, CheckedVoxelCountRefusesNegativeAndOverflowingSizes) {
  EXPECT_EQ(VolumeStorageDF::checkedVoxelCount(2, 3, 4), 24);
  EXPECT_EQ(VolumeStorageDF::checkedVoxelCount(0, 5, 5), 0);
  EXPECT_EQ(VolumeStorageDF::checkedVoxelCount(-1, 0, 5), -1);
  EXPECT_EQ(VolumeStorageDF::checkedVoxelCount(65536, 65536, 1), -1);
  EXPECT_EQ(VolumeStorageDF::checkedVoxelCount(2147483647, 1, 1), 2147483647);
  EXPECT_EQ(VolumeStorageDF::checkedVoxelCount(1290, 1290, 1291), -1);
}

TEST(VolumeStorageDFDeath, OutOfRangeIndexStopsWithTheFailedCondition) {
  VolumeStorageDF volume;
  GenericVolumeStorage& generic = volume;
  generic.resize(2, 2, 2);
  VoxelData voxel;
  EXPECT_DEATH(generic.getVoxel(2, 0, 0, voxel), "x<XSize.*VolumeStorageDF");
  EXPECT_DEATH(generic.setVoxel(0, 0, -1, voxel), "z>=0.*VolumeStorageDF");
}
