#include "extract/TransferFeaturePointsToMidpoints.h"

#include "mesh/PolygonStorage.h"
#include "volume/VolumeStorageDF.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace tessellor;

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

// One midpoint among the feature points of the voxels around it: the type it takes and where it
// ends. The normal is kept in every case.
TEST_F(TransferFeaturePoints, WorkedCases) {
  struct Feature {
    int X, Y, Z;
    float Ox, Oy, Oz;
    std::uint8_t Type;
  };
  struct Case {
    const char* Name;
    std::vector<Feature> Features;
    V3 Midpoint;
    int Attr;  // expected type; -1: unchanged (starts as 7)
    V3 End;
  };
  const Case cases[] = {
      {"no feature data", {}, {3.3f, 4.1f, 2.7f}, -1, {3.3f, 4.1f, 2.7f}},
      // R = (3.5, 3.5, 3.5) examines voxels 3..4 on each axis. (3,3,3) has its point at (3.3, 3.5,
      // 3.5), 0.2 away; (4,4,4) at (4.5, 4.5, 4.5) - 0.7 on each axis, about 0.35 away.
      {"nearest point and its type",
       {{3, 3, 3, 0.2f, 0, 0, 1}, {4, 4, 4, 0.7f, 0.7f, 0.7f, 2}},
       {3.5f, 3.5f, 3.5f},
       1,
       {3.3f, 3.5f, 3.5f}},
      // At x = 3.49 the candidates are 2..3 along x: the point (4.0, 3.5, 3.5) of cell 4, 0.51 away,
      // is out of reach; the point (3.0, 3.5, 3.5) of cell 2, 0.49 away, is taken.
      {"cell 4 is no candidate at x = 3.49", {{4, 3, 3, 0.5f, 0, 0, 2}}, {3.49f, 3.5f, 3.5f}, -1, {3.49f, 3.5f, 3.5f}},
      {"cell 2 is", {{4, 3, 3, 0.5f, 0, 0, 2}, {2, 3, 3, -0.5f, 0, 0, 1}}, {3.49f, 3.5f, 3.5f}, 1, {3.0f, 3.5f, 3.5f}},
      // The far corner of the midpoint's cell is half a diagonal away: out of reach.
      {"half a cell diagonal", {{3, 3, 3, 0.5f, 0.5f, 0.5f, 2}}, {3.5f, 3.5f, 3.5f}, -1, {3.5f, 3.5f, 3.5f}},
      // Three points 0.3 away: (3,3,4) comes first, k varying fastest.
      {"ties go to the first voxel",
       {{4, 3, 3, 0.7f, 0, 0, 1}, {3, 4, 3, 0, 0.7f, 0, 1}, {3, 3, 4, 0, 0, 0.7f, 2}},
       {3.5f, 3.5f, 3.5f},
       2,
       {3.5f, 3.5f, 3.8f}},
      {"type 0 is copied when the offset is set",
       {{3, 3, 3, 0.1f, 0.1f, 0.1f, 0}},
       {3.5f, 3.5f, 3.5f},
       0,
       {3.4f, 3.4f, 3.4f}},
      // An offset above 1 means no point; exactly 1.0 is a point, here (3.5, 3.5, 3.5).
      {"offset above one",
       {{3, 3, 3, 1.01f, 0, 0, 1}, {4, 3, 3, 1.0f, 0, 0, 2}},
       {3.6f, 3.5f, 3.5f},
       2,
       {3.5f, 3.5f, 3.5f}},
  };
  ASSERT_EQ(std::sqrt(0.75f), static_cast<float>(0.5 * std::sqrt(3.0)));
  for (const Case& c : cases) {
    SetUp();  // a fresh volume without feature points
    for (const Feature& f : c.Features) setFeature(volume, f.X, f.Y, f.Z, f.Ox, f.Oy, f.Oz, f.Type);
    mesh.Midpoints.clear();
    addMidpoint(mesh, c.Midpoint.x, c.Midpoint.y, c.Midpoint.z);
    mesh.Midpoints[0].attr = 7;
    transferFeaturePointsToMidpoints(mesh, volume);
    const Vertex& m = mesh.Midpoints[0];
    EXPECT_EQ(m.attr, c.Attr < 0 ? 7 : c.Attr) << c.Name;
    EXPECT_FLOAT_EQ(m.pos.x, c.End.x) << c.Name;
    EXPECT_FLOAT_EQ(m.pos.y, c.End.y) << c.Name;
    EXPECT_FLOAT_EQ(m.pos.z, c.End.z) << c.Name;
    EXPECT_EQ(m.n.z, 1.0f) << c.Name << ": the normal is kept";
  }
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
