#pragma once

#include <cstdint>

namespace tessellor {

// 10000000.0 marks "no value" in every float field of a voxel.
constexpr float NoValue = 10000000.0f;

// One voxel: the signed distance at its lattice point and the feature data of the unit cell
// that starts there (feature point = cell centre - FeatureOffset).
struct VoxelData {
  float Distance = NoValue;
  std::uint8_t FeatureType = 0;  // 0 none, 1 feature edge, 2 feature corner
  float FeatureOffset[3] = {NoValue, NoValue, NoValue};
};

}  // namespace tessellor
