#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "VoxelizerFixtures.h"
#include "base/Diagnostics.h"
#include "support/DiagnosticsCapture.h"

using namespace tessellor;

using fixtures::vertex;

namespace {

using Rig = fixtures::VoxelizerRig;

bool isNegativeZero(float x) { return x == 0.0f && std::signbit(x); }

}  // namespace

// The first worked triangle: a right isosceles triangle in the plane z = 1.5. Its affine
// parameters already give exact distances, so the exact mode stores the same values.
TEST(Voxelizer, WorkedTriangleValues) {
  for (bool exact : {false, true}) {
    SCOPED_TRACE(exact ? "exact mode" : "default mode");
    Rig rig(10, exact);
    rig.triangle({1.5f, 1.5f, 1.5f}, {3.5f, 1.5f, 1.5f}, {1.5f, 3.5f, 1.5f});
    rig.Voxelizer.voxelize();

    EXPECT_EQ(rig.distance(2, 2, 2), 0.5f) << "face region above the triangle";
    EXPECT_EQ(rig.distance(2, 2, 1), -0.5f) << "face region below the triangle";
    EXPECT_FLOAT_EQ(rig.distance(1, 1, 2), std::sqrt(0.75f)) << "corner a, outside and above";
    EXPECT_EQ(rig.distance(4, 4, 2), NoValue) << "edge b-c region at sqrt(4.75) is outside the band";
    // The box is z = 1..2: lattice points at z = 0 and z = 3 are never visited, although
    // (2, 2, 3) lies 1.5 from the triangle.
    EXPECT_EQ(rig.distance(2, 2, 3), NoValue);
    EXPECT_EQ(rig.distance(2, 2, 0), NoValue);
    EXPECT_EQ(rig.distance(5, 2, 2), NoValue) << "x = 5 is outside the box 1..4";
    EXPECT_EQ(rig.Volume.Scale, 1.0f);

    // In an integer plane: the lattice point on the triangle stores -0.0, and floor = ceil = 2
    // on z widens the box to z = 1..3.
    Rig flat(10, exact);
    flat.triangle({1.5f, 1.5f, 2.0f}, {3.5f, 1.5f, 2.0f}, {1.5f, 3.5f, 2.0f});
    flat.Voxelizer.voxelize();
    const float on = flat.distance(2, 2, 2);
    EXPECT_TRUE(isNegativeZero(on)) << "a lattice point on the triangle stores -0.0, got " << on;
    EXPECT_EQ(flat.distance(2, 2, 1), -1.0f);
    EXPECT_EQ(flat.distance(2, 2, 3), 1.0f);
    EXPECT_EQ(flat.distance(2, 2, 0), NoValue);
  }
}

TEST(Voxelizer, EdgeRegionUsesTheSecondEdgeDirection) {
  {
    Rig rig;
    rig.triangle({1.5f, 1.5f, 1.5f}, {5.5f, 1.5f, 1.5f}, {1.5f, 3.5f, 1.5f});
    rig.Voxelizer.voxelize();
    // Region a-b with s = 1/8, t = -1/4: exact distance to the edge, below the plane.
    EXPECT_FLOAT_EQ(rig.distance(2, 1, 1), -std::sqrt(0.5f));
    EXPECT_LT(rig.distance(2, 1, 1), 0.0f);
  }
  {
    Rig rig;
    rig.triangle({1.5f, 1.5f, 1.5f}, {3.5f, 1.5f, 1.5f}, {3.5f, 3.5f, 1.5f});
    rig.Voxelizer.voxelize();
    // (s, t, h) = (1, -0.25, 0.5): region a-b, chosen point Pb, reached along e2. The exact
    // distance to the edge would be sqrt(0.5).
    EXPECT_FLOAT_EQ(rig.distance(3, 1, 2), std::sqrt(0.75f));
  }
}

TEST(Voxelizer, ClearsAndTakesOverScaleAndOffset) {
  Rig rig;
  rig.Volume.clear();
  VoxelData stale;
  stale.Distance = -0.25f;
  stale.FeatureType = 1;
  rig.Volume.setVoxel(8, 8, 8, stale);
  rig.triangle({1.5f, 1.5f, 1.5f}, {3.5f, 1.5f, 1.5f}, {1.5f, 3.5f, 1.5f});
  rig.Mesh.setScale(0.125f);
  rig.Mesh.setOffset(-3.0f, 4.0f, 0.5f);
  rig.Voxelizer.voxelize();
  EXPECT_EQ(rig.distance(8, 8, 8), NoValue) << "voxelize starts from a cleared volume";
  EXPECT_EQ(rig.Volume.Voxels[rig.Volume.index(8, 8, 8)].FeatureType, 0);
  EXPECT_EQ(rig.Volume.getScale(), 0.125f);
  EXPECT_EQ(rig.Volume.getOffset()[0], -3.0f);
  EXPECT_EQ(rig.Volume.getOffset()[1], 4.0f);
  EXPECT_EQ(rig.Volume.getOffset()[2], 0.5f);
  // Repeating gives the same field.
  const std::vector<VoxelData> first = rig.Volume.Voxels;
  rig.Voxelizer.voxelize();
  ASSERT_EQ(first.size(), rig.Volume.Voxels.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    const VoxelData& a = first[i];
    const VoxelData& b = rig.Volume.Voxels[i];
    ASSERT_TRUE(std::memcmp(&a.Distance, &b.Distance, sizeof(float)) == 0 && a.FeatureType == b.FeatureType &&
                std::memcmp(a.FeatureOffset, b.FeatureOffset, sizeof a.FeatureOffset) == 0)
        << "voxel " << i;
  }
}

// Polygons that are not triangles and triangles whose frame has no inverse are skipped and
// counted the same way in both modes; polygons of fewer than three ids are passed over uncounted.
// Only the exact mode names itself in the log.
TEST(Voxelizer, QuadsAndDegenerateTrianglesAreSkippedAndCounted) {
  for (bool exact : {false, true}) {
    SCOPED_TRACE(exact ? "exact mode" : "default mode");
    Rig rig(10, exact);
    PolygonStorage& m = rig.Mesh;
    for (float x : {1.5f, 3.5f})
      for (float y : {1.5f, 3.5f}) vertex(m, x, y, 1.5f);  // 0 (1.5,1.5) 1 (1.5,3.5) 2 (3.5,1.5) 3 (3.5,3.5)
    vertex(m, 5.5f, 5.5f, 5.5f);                           // 4
    vertex(m, 6.5f, 6.5f, 6.5f);                           // 5
    vertex(m, 7.5f, 7.5f, 7.5f);                           // 6, collinear with 4 and 5
    m.Polygons.push_back({0, 2, 3, 1});                    // quad
    m.Polygons.push_back({4, 4, 5});                       // two equal corners
    m.Polygons.push_back({4, 5, 6});                       // collinear corners
    m.Polygons.push_back({0, 1});                          // too short: not counted
    fixtures::finish(m);
    fixtures::CallLog log;
    rig.Voxelizer.setStatusOutput(&log);
    DiagnosticsCapture capture;
    rig.Voxelizer.voxelize();
    EXPECT_EQ(rig.Voxelizer.SkippedPolygons, 3);
    std::vector<std::string> expected{"begin Voxelization", " 3 Polygons skipped", "end"};
    if (exact) expected.insert(expected.begin() + 1, "Distance mode: exact");
    EXPECT_EQ(log.Lines, expected);
    for (const VoxelData& v : rig.Volume.Voxels) ASSERT_EQ(v.Distance, NoValue) << "nothing was voxelized";
    EXPECT_NE(capture.Text.find("VERROR mat3::inverse: singular matrix; can't invert\n"), std::string::npos);
  }

  // One quad next to one triangle: a blank, the digit 1 and the text.
  Rig one;
  vertex(one.Mesh, 1.5f, 1.5f, 1.5f);
  vertex(one.Mesh, 3.5f, 1.5f, 1.5f);
  vertex(one.Mesh, 3.5f, 3.5f, 1.5f);
  vertex(one.Mesh, 1.5f, 3.5f, 1.5f);
  one.Mesh.Polygons.push_back({0, 1, 2, 3});
  one.Mesh.Polygons.push_back({0, 1, 2});
  fixtures::finish(one.Mesh);
  one.Voxelizer.voxelize();
  EXPECT_TRUE(one.Output.hasLine(" 1 Polygons skipped"));
  EXPECT_EQ(one.distance(3, 2, 2), 0.5f) << "the triangle is still voxelized";
  EXPECT_EQ(one.distance(1, 4, 2), NoValue) << "0.87 from the quad, 2.2 from the triangle";
}

TEST(Voxelizer, TaskFrameAndProgressSequence) {
  auto run = [](int polygons) {
    Rig rig;
    fixtures::CallLog log;
    rig.Voxelizer.setStatusOutput(&log);
    // Polygons with fewer than three ids are passed over without counting; only their number
    // matters for the progress.
    rig.Mesh.Polygons.assign(static_cast<std::size_t>(polygons), VertexIDList{});
    rig.Voxelizer.voxelize();
    EXPECT_EQ(rig.Voxelizer.SkippedPolygons, 0);
    EXPECT_EQ(log.Lines, (std::vector<std::string>{"begin Voxelization", " 0 Polygons skipped", "end"}));
    return log.Progress;
  };
  const std::vector<int> five = run(5);
  EXPECT_EQ(five, (std::vector<int>{10, 10, 11, 12, 13, 14}));
  const std::vector<int> p179 = run(179);
  ASSERT_EQ(p179.size(), 180u);
  EXPECT_EQ(p179[0], 10);
  EXPECT_EQ(p179[1], 10);
  EXPECT_EQ(p179.back(), 188);
  const std::vector<int> p269 = run(269);
  EXPECT_EQ(p269.size(), 136u) << "step 2: polygons 0, 2, ..., 268";
  EXPECT_EQ(p269.back(), 144);
  const std::vector<int> p180 = run(180);
  EXPECT_EQ(p180.back(), 99);
  const std::vector<int> none = run(0);
  EXPECT_EQ(none, (std::vector<int>{10}));
}

// Every finite (s, t) must fall in a region, including points where float sums round onto a
// region border, and the chosen point must lie on the reference triangle.
TEST(Voxelizer, RegionClassificationCoversThePlane) {
  float sp = -1, tp = -1;
  EXPECT_EQ(PolygonStorageVoxelizerDual::classifyRegion(0.6666666f, 0.33333334f, sp, tp), 1)
      << "s + t is below 1, although it rounds to 1 in float";
  EXPECT_EQ(sp, 0.6666666f);
  EXPECT_EQ(tp, 0.33333334f);
  EXPECT_EQ(PolygonStorageVoxelizerDual::classifyRegion(1.25f, 1.25f, sp, tp), 4);
  EXPECT_EQ(sp, 0.5f);
  EXPECT_EQ(tp, 0.5f);
  EXPECT_EQ(PolygonStorageVoxelizerDual::classifyRegion(-0.25f, -0.25f, sp, tp), 5);
  EXPECT_EQ(PolygonStorageVoxelizerDual::classifyRegion(3.0f, 0.5f, sp, tp), 6);
  EXPECT_EQ(PolygonStorageVoxelizerDual::classifyRegion(0.5f, 3.0f, sp, tp), 7);
  EXPECT_EQ(PolygonStorageVoxelizerDual::classifyRegion(0.5f, -3.0f, sp, tp), 2);
  EXPECT_EQ(PolygonStorageVoxelizerDual::classifyRegion(-3.0f, 0.5f, sp, tp), 3);

  std::vector<float> probes = {0.0f,  -0.0f,   1.0f,       -1.0f,       0.5f,        2.0f,        1e-30f, 1e-45f,
                               1e30f, 3.4e38f, 0.6666666f, 0.33333334f, 1.0f / 3.0f, 2.0f / 3.0f, 0.1f,   0.9f};
  const std::size_t base = probes.size();
  for (std::size_t i = 0; i < base; ++i) {
    const float x = probes[i];
    for (float y : {x, -x}) {
      probes.push_back(y);
      float up = y, down = y;
      for (int k = 0; k < 3; ++k) {
        up = std::nextafter(up, std::numeric_limits<float>::infinity());
        down = std::nextafter(down, -std::numeric_limits<float>::infinity());
        probes.push_back(up);
        probes.push_back(down);
        probes.push_back(1.0f - up);
        probes.push_back(1.0f + down);
      }
    }
  }
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(-0.5f, 1.5f);
  for (int i = 0; i < 2000; ++i) probes.push_back(unit(random));
  int failures = 0;
  for (float s : probes)
    for (float t : probes) {
      const int region = PolygonStorageVoxelizerDual::classifyRegion(s, t, sp, tp);
      if (region == 0 && failures++ < 5) ADD_FAILURE() << "no region for (" << s << ", " << t << ")";
      // Also the sum of two probes that lie near the hypotenuse.
      const float u = 1.0f - s;
      if (PolygonStorageVoxelizerDual::classifyRegion(s, u, sp, tp) == 0 && failures++ < 5)
        ADD_FAILURE() << "no region for (" << s << ", " << u << ")";
      if (region != 0 && std::isfinite(s) && std::isfinite(t) && std::fabs(s) < 1e6f && std::fabs(t) < 1e6f) {
        if (!(sp >= -1e-6f && tp >= -1e-6f && sp + tp <= 1.0f + 1e-6f) && failures++ < 5)
          ADD_FAILURE() << "(" << s << ", " << t << ") -> (" << sp << ", " << tp << ") off the triangle";
      }
    }
  EXPECT_EQ(failures, 0);
}

// A regular octahedron at the default budget: its lattice points reach parameters on which a
// float evaluation of the region tests finds no region.
TEST(Voxelizer, RegularOctahedronVoxelizes) {
  for (int n : {46, 47, 29, 64}) {
    Rig rig(n);
    fixtures::octahedron(rig.Mesh, 0, 0, 0, 1);
    rig.Mesh.computeBoundingBox();
    ASSERT_TRUE(rig.Mesh.fitIntoVolume(n, n, n));
    rig.Voxelizer.voxelize();
    EXPECT_EQ(rig.Voxelizer.SkippedPolygons, 0);
    // Sign check on the convex solid: |x| + |y| + |z| < r inside.
    const float r = (static_cast<float>(n) - 4.0f) * 0.5f;
    const float c = 1.5f + r;
    int checked = 0;
    for (int z = 0; z < n; ++z)
      for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
          const float d = rig.distance(x, y, z);
          if (d == NoValue) continue;
          const double plane = (std::fabs(x - c) + std::fabs(y - c) + std::fabs(z - c) - r) / std::sqrt(3.0);
          if (std::fabs(plane) <= 0.5) continue;
          ++checked;
          ASSERT_EQ(d > 0, plane > 0) << "n " << n << " at (" << x << ", " << y << ", " << z << ")";
        }
    EXPECT_GT(checked, 100);
  }
}

// On a closed, outward-oriented sphere every stored distance more than half a voxel from the
// surface has the sign of its side, and no stored magnitude is below the true distance.
TEST(Voxelizer, SignsOnAClosedSphere) {
  Rig rig(40, 36, 33, false);
  fixtures::icosphere(rig.Mesh, 0, 0, 0, 1, 3);
  ASSERT_TRUE(rig.Mesh.fitIntoVolume(40, 36, 33));
  rig.Voxelizer.voxelize();
  EXPECT_EQ(rig.Voxelizer.SkippedPolygons, 0);

  const PolygonStorage& m = rig.Mesh;
  int stored = 0, checked = 0;
  for (int z = 0; z < rig.Volume.ZSize; ++z)
    for (int y = 0; y < rig.Volume.YSize; ++y)
      for (int x = 0; x < rig.Volume.XSize; ++x) {
        const float d = rig.distance(x, y, z);
        if (d == NoValue) continue;
        ++stored;
        ASSERT_LT(std::fabs(d), 1.9f);
        // Convex solid: the largest signed plane distance is negative inside; its magnitude is
        // a lower bound of the distance to the surface on either side.
        double worst = -1e30;
        for (std::size_t p = 0; p < m.Polygons.size(); ++p) {
          const Vertex& mid = m.Midpoints[p];
          const V3& a = m.Vertices[static_cast<std::size_t>(m.Polygons[p][0])].pos;
          const double h = (x - a.x) * double(mid.n.x) + (y - a.y) * double(mid.n.y) + (z - a.z) * double(mid.n.z);
          worst = std::max(worst, h);
        }
        ASSERT_GE(std::fabs(d), std::fabs(worst) - 1e-3) << "stored magnitude below the true distance";
        if (std::fabs(worst) <= 0.5) continue;
        ++checked;
        ASSERT_EQ(d > 0, worst > 0) << "at (" << x << ", " << y << ", " << z << ") d " << d;
      }
  EXPECT_GT(stored, 1000);
  EXPECT_GT(checked, 500);
}
