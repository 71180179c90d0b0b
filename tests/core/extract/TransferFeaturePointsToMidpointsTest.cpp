#include "extract/TransferFeaturePointsToMidpoints.h"

#include "mesh/PolygonStorage.h"
#include "volume/VolumeStorageDF.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void setFeature(VolumeStorageDF& volume, int x, int y, int z, float ox, float oy, float oz, std::uint8_t type) {
  VoxelData& v = volume.Voxels[volume.index(x, y, z)];
  v.FeatureOffset[0] = ox;
  v.FeatureOffset[1] = oy;
  v.FeatureOffset[2] = oz;
  v.FeatureType = type;
}

void addMidpoint(PolygonStorage& mesh, float x, float y, float z) {
  Vertex m;
  m.pos = V3{x, y, z};
  m.n = V3{0.0f, 0.0f, 1.0f};
  mesh.Midpoints.push_back(m);
}

class TransferFeaturePoints : public ::testing::Test {
 protected:
  void SetUp() override {
    volume.resize(8, 8, 8);
    volume.clear();
  }
  VolumeStorageDF volume;
  PolygonStorage mesh;
};

TEST_F(TransferFeaturePoints, WithoutFeatureDataNothingMoves) {
  addMidpoint(mesh, 3.3f, 4.1f, 2.7f);
  addMidpoint(mesh, 6.0f, 1.0f, 1.5f);
  transferFeaturePointsToMidpoints(mesh, volume);
  EXPECT_EQ(mesh.Midpoints[0].pos.x, 3.3f);
  EXPECT_EQ(mesh.Midpoints[1].pos.z, 1.5f);
  EXPECT_EQ(mesh.Midpoints[0].attr, 0);
}

TEST_F(TransferFeaturePoints, MovesOntoTheNearestFeaturePointAndTakesItsType) {
  // R = (3.5, 3.5, 3.5) examines voxels 3..4 on each axis. Voxel (3,3,3) has its point at
  // (3.5, 3.5, 3.5) - (0.2, 0, 0) = (3.3, 3.5, 3.5), 0.2 away; voxel (4,4,4) at (4.5,4.5,4.5) -
  // (0.7, 0.7, 0.7), about 0.35 away.
  setFeature(volume, 3, 3, 3, 0.2f, 0.0f, 0.0f, 1);
  setFeature(volume, 4, 4, 4, 0.7f, 0.7f, 0.7f, 2);
  addMidpoint(mesh, 3.5f, 3.5f, 3.5f);
  transferFeaturePointsToMidpoints(mesh, volume);
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].pos.x, 3.3f);
  EXPECT_EQ(mesh.Midpoints[0].pos.y, 3.5f);
  EXPECT_EQ(mesh.Midpoints[0].attr, 1);
  EXPECT_EQ(mesh.Midpoints[0].n.z, 1.0f) << "the normal is kept";
}

TEST_F(TransferFeaturePoints, CandidateCellsFollowTheFloorOfRMinusHalf) {
  // At x = 3.49 the candidates are 2..3 along x: a point in cell 4 is out of reach, one in cell 2
  // is taken.
  setFeature(volume, 4, 3, 3, 0.5f, 0.0f, 0.0f, 2);  // point (4.0, 3.5, 3.5), 0.51 away
  addMidpoint(mesh, 3.49f, 3.5f, 3.5f);
  transferFeaturePointsToMidpoints(mesh, volume);
  EXPECT_EQ(mesh.Midpoints[0].attr, 0) << "voxel 4 is not a candidate at x = 3.49";
  setFeature(volume, 2, 3, 3, -0.5f, 0.0f, 0.0f, 1);  // point (3.0, 3.5, 3.5), 0.49 away
  transferFeaturePointsToMidpoints(mesh, volume);
  EXPECT_EQ(mesh.Midpoints[0].attr, 1);
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].pos.x, 3.0f);
}

TEST_F(TransferFeaturePoints, HalfACellDiagonalOrMoreIsOutOfReach) {
  const float reach = static_cast<float>(0.5 * std::sqrt(3.0));
  // Feature point exactly at the far corner of the midpoint's cell: distance = half a diagonal.
  setFeature(volume, 3, 3, 3, 0.5f, 0.5f, 0.5f, 2);  // point (3, 3, 3)
  addMidpoint(mesh, 3.5f, 3.5f, 3.5f);
  transferFeaturePointsToMidpoints(mesh, volume);
  ASSERT_EQ(std::sqrt(0.75f), reach);
  EXPECT_EQ(mesh.Midpoints[0].attr, 0);
  EXPECT_EQ(mesh.Midpoints[0].pos.x, 3.5f);
}

TEST_F(TransferFeaturePoints, TiesGoToTheFirstVoxelWithKFastest) {
  // Two points 0.3 from R = (3.5, 3.5, 3.5): (3,3,4) along z and (3,4,3) along y, both first
  // visited before (4,3,3). (3,3,4) comes first (k varies fastest).
  setFeature(volume, 4, 3, 3, 0.7f, 0.0f, 0.0f, 1);  // (3.8, 3.5, 3.5): 0.3
  setFeature(volume, 3, 4, 3, 0.0f, 0.7f, 0.0f, 1);  // (3.5, 3.8, 3.5): 0.3
  setFeature(volume, 3, 3, 4, 0.0f, 0.0f, 0.7f, 2);  // (3.5, 3.5, 3.8): 0.3
  addMidpoint(mesh, 3.5f, 3.5f, 3.5f);
  transferFeaturePointsToMidpoints(mesh, volume);
  EXPECT_EQ(mesh.Midpoints[0].attr, 2);
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].pos.z, 3.8f);
  EXPECT_EQ(mesh.Midpoints[0].pos.x, 3.5f);
}

TEST_F(TransferFeaturePoints, TypeZeroIsCopiedWhenTheOffsetIsSet) {
  setFeature(volume, 3, 3, 3, 0.1f, 0.1f, 0.1f, 0);
  addMidpoint(mesh, 3.5f, 3.5f, 3.5f);
  mesh.Midpoints[0].attr = 7;
  transferFeaturePointsToMidpoints(mesh, volume);
  EXPECT_EQ(mesh.Midpoints[0].attr, 0);
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].pos.x, 3.4f);
}

TEST_F(TransferFeaturePoints, OffsetAboveOneMeansNoPoint) {
  setFeature(volume, 3, 3, 3, 1.01f, 0.0f, 0.0f, 1);
  setFeature(volume, 4, 3, 3, 1.0f, 0.0f, 0.0f, 2);  // exactly 1.0 is a point: (3.5, 3.5, 3.5)
  addMidpoint(mesh, 3.6f, 3.5f, 3.5f);
  transferFeaturePointsToMidpoints(mesh, volume);
  EXPECT_EQ(mesh.Midpoints[0].attr, 2);
  EXPECT_EQ(mesh.Midpoints[0].pos.x, 3.5f);
}

TEST_F(TransferFeaturePoints, MidpointsAtTheBorderReadOnlyVoxelsInside) {
  // Every voxel carries a feature point at its centre: near the border only the inside candidates
  // count, and a midpoint outside the grid is left alone. An out-of-range read would stop the
  // program through the volume's bounds assertion.
  for (int z = 0; z < 8; ++z)
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) setFeature(volume, x, y, z, 0.0f, 0.0f, 0.0f, 1);
  addMidpoint(mesh, 0.2f, 0.3f, 0.1f);    // only voxel (0,0,0) of its candidates exists
  addMidpoint(mesh, 7.9f, 7.6f, 7.7f);    // only voxel (7,7,7)
  addMidpoint(mesh, -5.0f, 3.5f, 3.5f);   // far outside
  addMidpoint(mesh, 3.5f, 100.0f, 3.5f);  // far outside
  addMidpoint(mesh, NAN, 3.5f, 3.5f);     // no position at all
  transferFeaturePointsToMidpoints(mesh, volume);
  EXPECT_EQ(mesh.Midpoints[0].attr, 1);
  EXPECT_EQ(mesh.Midpoints[0].pos.x, 0.5f);
  EXPECT_EQ(mesh.Midpoints[1].attr, 1);
  EXPECT_EQ(mesh.Midpoints[1].pos.x, 7.5f);
  EXPECT_EQ(mesh.Midpoints[2].attr, 0);
  EXPECT_EQ(mesh.Midpoints[2].pos.x, -5.0f);
  EXPECT_EQ(mesh.Midpoints[3].attr, 0);
  EXPECT_EQ(mesh.Midpoints[4].attr, 0);
}

TEST_F(TransferFeaturePoints, SeveralMidpointsMayShareOnePoint) {
  setFeature(volume, 3, 3, 3, 0.0f, 0.0f, 0.0f, 2);
  addMidpoint(mesh, 3.4f, 3.5f, 3.5f);
  addMidpoint(mesh, 3.6f, 3.5f, 3.5f);
  transferFeaturePointsToMidpoints(mesh, volume);
  for (const Vertex& m : mesh.Midpoints) {
    EXPECT_EQ(m.pos.x, 3.5f);
    EXPECT_EQ(m.attr, 2);
  }
}

}  // namespace
