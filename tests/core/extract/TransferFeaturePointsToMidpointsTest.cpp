#include "extract/TransferFeaturePointsToMidpoints.h"

#include "mesh/PolygonStorage.h"
#include "volume/VolumeStorageDF.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace tessellor;

namespace {

struct Feature {
  int X, Y, Z;
  float Ox, Oy, Oz;
  std::uint8_t Type;
};

// An 8^3 volume with the given feature cells and a mesh of the given midpoints (attr 7, normal +z).
void transfer(const std::vector<Feature>& features, const std::vector<V3>& midpoints, PolygonStorage& mesh) {
  VolumeStorageDF volume;
  volume.resize(8, 8, 8);
  volume.clear();
  for (const Feature& f : features)
    volume.Voxels[volume.index(f.X, f.Y, f.Z)] = VoxelData{0, f.Type, {f.Ox, f.Oy, f.Oz}};
  mesh.Midpoints.clear();
  for (const V3& m : midpoints) mesh.Midpoints.push_back(Vertex{m, {0, 0, 1}, 7});
  transferFeaturePointsToMidpoints(mesh, volume);
}

}  // namespace

// One midpoint among the feature points of the voxels around it: the type it takes (-1: it keeps
// its own) and where it ends. The normal is kept in every case.
TEST(TransferFeaturePoints, WorkedCases) {
  const struct {
    const char* Name;
    std::vector<Feature> Features;
    V3 Midpoint;
    int Attr;
    V3 End;
  } cases[] = {
      {"no feature data", {}, {3.3f, 4.1f, 2.7f}, -1, {3.3f, 4.1f, 2.7f}},
      // R = (3.5, 3.5, 3.5) examines voxels 3..4 on each axis: (3,3,3) has its point 0.2 away,
      // (4,4,4) about 0.35 away.
      {"nearest point and its type",
       {{3, 3, 3, 0.2f, 0, 0, 1}, {4, 4, 4, 0.7f, 0.7f, 0.7f, 2}},
       {3.5f, 3.5f, 3.5f},
       1,
       {3.3f, 3.5f, 3.5f}},
      // At x = 3.49 the candidates are 2..3 along x: the point (4.0, 3.5, 3.5) of cell 4, 0.51
      // away, is out of reach; the point (3.0, 3.5, 3.5) of cell 2, 0.49 away, is taken.
      {"cell 4 is no candidate at x = 3.49", {{4, 3, 3, 0.5f, 0, 0, 2}}, {3.49f, 3.5f, 3.5f}, -1, {3.49f, 3.5f, 3.5f}},
      {"cell 2 is", {{4, 3, 3, 0.5f, 0, 0, 2}, {2, 3, 3, -0.5f, 0, 0, 1}}, {3.49f, 3.5f, 3.5f}, 1, {3.0f, 3.5f, 3.5f}},
      {"half a cell diagonal is out of reach",
       {{3, 3, 3, 0.5f, 0.5f, 0.5f, 2}},
       {3.5f, 3.5f, 3.5f},
       -1,
       {3.5f, 3.5f, 3.5f}},
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
  for (const auto& c : cases) {
    PolygonStorage mesh;
    transfer(c.Features, {c.Midpoint}, mesh);
    const Vertex& m = mesh.Midpoints[0];
    EXPECT_EQ(m.attr, c.Attr < 0 ? 7 : c.Attr) << c.Name;
    EXPECT_NEAR(m.pos.x, c.End.x, 1e-6f) << c.Name;
    EXPECT_NEAR(m.pos.y, c.End.y, 1e-6f) << c.Name;
    EXPECT_NEAR(m.pos.z, c.End.z, 1e-6f) << c.Name;
    EXPECT_EQ(m.n.z, 1.0f) << c.Name;
  }
}

// Every voxel carries a feature point at its centre: near the border only the inside candidates
// count, and a midpoint outside the grid (or without a position) is left alone. An out-of-range
// read would stop the program through the volume's bounds assertion.
TEST(TransferFeaturePoints, MidpointsAtTheBorderReadOnlyVoxelsInside) {
  std::vector<Feature> all;
  for (int i = 0; i < 512; ++i) all.push_back({i % 8, i / 8 % 8, i / 64, 0, 0, 0, 1});
  PolygonStorage mesh;
  transfer(all, {{0.2f, 0.3f, 0.1f}, {7.9f, 7.6f, 7.7f}, {-5.0f, 3.5f, 3.5f}, {3.5f, 100.0f, 3.5f}, {NAN, 3.5f, 3.5f}},
           mesh);
  const float endX[5] = {0.5f, 7.5f, -5.0f, 3.5f, NAN};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(mesh.Midpoints[i].attr, i < 2 ? 1 : 7) << i;
    if (i < 4) {
      EXPECT_EQ(mesh.Midpoints[i].pos.x, endX[i]) << i;
    }
  }
}
