// The voxelizer in its default and its exact-distance mode: worked triangles, the skip count and
// log, and the distance field of every closed mesh of the asset suite against brute force.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>

#include "VoxelizerFixtures.h"
#include "support/DiagnosticsCapture.h"
#include "volume/TriangleClosestPoint.h"

using namespace tessellor;

namespace {

using Rig = fixtures::VoxelizerRig;

bool isNegativeZero(float x) { return x == 0.0f && std::signbit(x); }

}  // namespace

// A right isosceles triangle in the plane z = 1.5: its affine parameters already give exact
// distances, so both modes store the same values.
TEST(Voxelizer, WorkedTriangleValuesInBothModes) {
  for (bool exact : {false, true}) {
    SCOPED_TRACE(exact ? "exact mode" : "default mode");
    Rig rig(10, exact);
    rig.mesh({{1.5f, 1.5f, 1.5f}, {3.5f, 1.5f, 1.5f}, {1.5f, 3.5f, 1.5f}}, {{0, 1, 2}});
    rig.Mesh.setScale(0.125f);
    rig.Mesh.setOffset(-3.0f, 4.0f, 0.5f);
    VoxelData stale;
    stale.Distance = -0.25f;
    stale.FeatureType = 1;
    rig.Volume.setVoxel(8, 8, 8, stale);
    rig.Voxelizer.voxelize();
    EXPECT_EQ(rig.distance(2, 2, 2), 0.5f) << "face region above the triangle";
    EXPECT_EQ(rig.distance(2, 2, 1), -0.5f) << "face region below";
    EXPECT_FLOAT_EQ(rig.distance(1, 1, 2), std::sqrt(0.75f)) << "corner a, outside and above";
    EXPECT_EQ(rig.distance(4, 4, 2), NoValue) << "edge b-c at sqrt(4.75) is outside the band";
    // The box is z = 1..2 and x = 1..4: (2, 2, 3) lies 1.5 from the triangle but is never visited.
    EXPECT_EQ(rig.distance(2, 2, 3), NoValue);
    EXPECT_EQ(rig.distance(5, 2, 2), NoValue);
    EXPECT_EQ(rig.distance(8, 8, 8), NoValue) << "voxelize starts from a cleared volume";
    EXPECT_EQ(rig.voxel(8, 8, 8).FeatureType, 0);
    EXPECT_EQ(rig.Volume.getScale(), 0.125f) << "the volume takes over the mesh's placement";
    EXPECT_EQ(rig.Volume.getOffset()[1], 4.0f);
    // In an integer plane the lattice point on the triangle stores -0.0, and the zero-width box
    // on z is widened to 1..3.
    Rig flat(10, exact);
    flat.mesh({{1.5f, 1.5f, 2.0f}, {3.5f, 1.5f, 2.0f}, {1.5f, 3.5f, 2.0f}}, {{0, 1, 2}});
    flat.Voxelizer.voxelize();
    EXPECT_TRUE(isNegativeZero(flat.distance(2, 2, 2))) << flat.distance(2, 2, 2);
    EXPECT_EQ(flat.distance(2, 2, 1), -1.0f);
    EXPECT_EQ(flat.distance(2, 2, 3), 1.0f);
    EXPECT_EQ(flat.distance(2, 2, 0), NoValue);
  }
}

// Beside an edge of a sheared triangle the default mode takes the chosen point of the region in
// the triangle's affine parameters and overshoots; the exact mode gives the true distance.
TEST(Voxelizer, ShearedTriangleOvershootsInTheDefaultModeOnly) {
  struct Case {
    int X, Y, Z;
    float Default, Exact;
  };
  const Case cases[] = {
      {3, 1, 2, std::sqrt(0.75f), std::sqrt(0.5f)},  // (s, t, h) = (1, -0.25, 0.5): Pb, reached along e2
      {3, 1, 1, -std::sqrt(0.75f), -std::sqrt(0.5f)},
      {2, 1, 2, std::sqrt(0.75f), std::sqrt(0.5f)},
      {2, 3, 2, NAN, std::sqrt(0.75f)},  // beside the slanted edge a-c: (2.5, 2.5, 1.5), not (3, 3, 1.5)
      {4, 3, 2, NAN, std::sqrt(0.5f)},
  };
  Rig plain(10, false), exact(10, true);
  for (Rig* rig : {&plain, &exact}) {
    rig->mesh({{1.5f, 1.5f, 1.5f}, {3.5f, 1.5f, 1.5f}, {3.5f, 3.5f, 1.5f}}, {{0, 1, 2}});
    rig->Voxelizer.voxelize();
  }
  for (const Case& c : cases) {
    const float d = plain.distance(c.X, c.Y, c.Z);
    EXPECT_NEAR(d, std::isnan(c.Default) ? d : c.Default, 1e-6f) << c.X << " " << c.Y << " " << c.Z;
    EXPECT_FLOAT_EQ(exact.distance(c.X, c.Y, c.Z), c.Exact) << c.X << " " << c.Y << " " << c.Z;
  }
  // Region a-b with s = 1/8, t = -1/4 on a longer triangle: the default mode is exact there.
  Rig longer;
  longer.mesh({{1.5f, 1.5f, 1.5f}, {5.5f, 1.5f, 1.5f}, {1.5f, 3.5f, 1.5f}}, {{0, 1, 2}});
  longer.Voxelizer.voxelize();
  EXPECT_FLOAT_EQ(longer.distance(2, 1, 1), -std::sqrt(0.5f));
}

// Two parallel triangles 0.5 below and above a row of lattice points, both facing +z: at equal
// distances the one listed first decides the sign.
TEST(Voxelizer, EqualDistancesGoToTheEarlierPolygonInBothModes) {
  for (bool exact : {false, true})
    for (bool lowerFirst : {true, false}) {
      Rig rig(10, exact);
      const float z0 = lowerFirst ? 1.5f : 2.5f, z1 = lowerFirst ? 2.5f : 1.5f;
      rig.mesh(
          {{1.5f, 1.5f, z0}, {5.5f, 1.5f, z0}, {1.5f, 5.5f, z0}, {1.5f, 1.5f, z1}, {5.5f, 1.5f, z1}, {1.5f, 5.5f, z1}},
          {{0, 1, 2}, {3, 4, 5}});
      rig.Voxelizer.voxelize();
      EXPECT_EQ(rig.distance(2, 2, 2), lowerFirst ? 0.5f : -0.5f) << (exact ? "exact" : "default") << lowerFirst;
    }
}

// Polygons that are not triangles and triangles whose frame has no inverse are skipped and
// counted in both modes; polygons of fewer than three ids are passed over uncounted. Only the
// exact mode names itself in the log. Progress: 10, then one step per polygon (step count / 90).
TEST(Voxelizer, SkippedPolygonsAreCountedAndLogged) {
  for (bool exact : {false, true}) {
    Rig rig(10, exact);
    rig.mesh({{1.5f, 1.5f, 1.5f},
              {1.5f, 3.5f, 1.5f},
              {3.5f, 1.5f, 1.5f},
              {3.5f, 3.5f, 1.5f},
              {5.5f, 5.5f, 5.5f},
              {6.5f, 6.5f, 6.5f},
              {7.5f, 7.5f, 7.5f}},
             {{0, 2, 3, 1}, {4, 4, 5}, {4, 5, 6}, {0, 2, 3}});
    rig.Mesh.Polygons.push_back({0, 1});
    DiagnosticsCapture capture;
    rig.Voxelizer.voxelize();
    EXPECT_EQ(rig.Voxelizer.SkippedPolygons, 3);
    std::vector<std::string> log{"Voxelization", " 3 Polygons skipped"};
    if (exact) log.insert(log.begin() + 1, "Distance mode: exact");
    EXPECT_EQ(std::vector<std::string>(rig.Output.Lines.begin() + 1, rig.Output.Lines.end() - 2), log);
    EXPECT_EQ(rig.Output.ProgressCalls, (std::vector<int>{10, 10, 11, 12, 13, 14}));
    EXPECT_EQ(rig.distance(3, 2, 2), 0.5f) << "the triangle is still voxelized";
    EXPECT_EQ(rig.distance(1, 4, 2), NoValue) << "0.87 from the quad, 2.2 from the triangle";
    EXPECT_NE(capture.Text.find("singular matrix"), std::string::npos);
  }
  Rig many;
  many.Mesh.Polygons.assign(269, VertexIDList{});
  many.Voxelizer.voxelize();
  EXPECT_EQ(many.Output.ProgressCalls.size(), 136u) << "step 2: polygons 0, 2, ..., 268";
  EXPECT_EQ(many.Output.ProgressCalls.back(), 144);
}

// The regions of the reference triangle and their chosen points; the tests run in double, so a
// point whose float sum rounds onto a border still falls in a region.
TEST(Voxelizer, RegionClassificationCoversThePlane) {
  float sp = -1, tp = -1;
  EXPECT_EQ(PolygonStorageVoxelizerDual::classifyRegion(0.6666666f, 0.33333334f, sp, tp), 1)
      << "s + t is below 1, although it rounds to 1 in float";
  const struct {
    float S, T;
    int Region;
    float Sp, Tp;
  } worked[] = {{1.25f, 1.25f, 4, 0.5f, 0.5f}, {-0.25f, -0.25f, 5, 0, 0}, {3, 0.5f, 6, 1, 0}, {0.5f, 3, 7, 0, 1},
                {0.5f, -3, 2, 0.5f, 0},        {-3, 0.5f, 3, 0, 0.5f}};
  for (const auto& w : worked) {
    EXPECT_EQ(PolygonStorageVoxelizerDual::classifyRegion(w.S, w.T, sp, tp), w.Region) << w.S << ", " << w.T;
    EXPECT_EQ(sp, w.Sp);
    EXPECT_EQ(tp, w.Tp);
  }
}

// Every closed mesh of the suite, triangulated and fitted into 24^3: every stored value lies in
// the band and is never below the true distance to the mesh (brute force); in the exact mode every
// lattice point within one voxel of the mesh holds its true distance with the side it lies on
// (winding number); in the default mode the side is right wherever the point is half a voxel away.
TEST(Voxelizer, DistanceFieldsOfClosedMeshesAgreeWithBruteForce) {
  const int n = 24;
  for (const testmeshes::MeshData& data : testmeshes::closedMeshes())
    for (bool exact : {false, true}) {
      SCOPED_TRACE(data.Name + (exact ? ", exact mode" : ", default mode"));
      // The default mode's side is only sure on smooth meshes: beyond sharp edges and corners the
      // chosen point of a non-right triangle may lie on the wrong face.
      const bool sharp = data.Name == "cube" || data.Name == "sharp prism";
      Rig rig(n, exact);
      testmeshes::build(rig.Mesh, testmeshes::triangulated(data));
      ASSERT_TRUE(rig.Mesh.fitIntoVolume(n, n, n));
      rig.Voxelizer.voxelize();
      EXPECT_EQ(rig.Voxelizer.SkippedPolygons, 0);
      // Distance to the mesh of every lattice point within 2 voxels of a triangle's box.
      const PolygonStorage& m = rig.Mesh;
      std::vector<double> meshDistance(rig.Volume.Voxels.size(), 1e300);
      for (const VertexIDList& t : m.Polygons) {
        int lo[3] = {INT_MAX, INT_MAX, INT_MAX}, hi[3] = {INT_MIN, INT_MIN, INT_MIN};
        for (int id : t)
          for (int axis = 0; axis < 3; ++axis) {
            const float v = axis == 0 ? m.Vertices[id].pos.x : axis == 1 ? m.Vertices[id].pos.y : m.Vertices[id].pos.z;
            lo[axis] = std::min(lo[axis], std::max(0, int(std::floor(v)) - 2));
            hi[axis] = std::max(hi[axis], std::min(n - 1, int(std::ceil(v)) + 2));
          }
        for (int x = lo[0]; x <= hi[0]; ++x)
          for (int y = lo[1]; y <= hi[1]; ++y)
            for (int z = lo[2]; z <= hi[2]; ++z) {
              const double q[3] = {double(x), double(y), double(z)};
              double& d = meshDistance[rig.Volume.index(x, y, z)];
              d = std::min(
                  d, fixtures::referenceDistance(q, m.Vertices[t[0]].pos, m.Vertices[t[1]].pos, m.Vertices[t[2]].pos));
            }
      }
      int near = 0, faults = 0;
      for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
          for (int z = 0; z < n; ++z) {
            const double d = meshDistance[rig.Volume.index(x, y, z)];
            const float stored = rig.distance(x, y, z);
            const double q[3] = {double(x), double(y), double(z)};
            std::string fault;
            if (stored != NoValue && !(std::fabs(stored) < 1.9f && std::fabs(stored) >= d - 1e-5)) fault = "magnitude";
            if (exact && d < 1.0 && (stored == NoValue || std::fabs(std::fabs(stored) - d) > 1e-5)) fault = "distance";
            const bool sideKnown = exact ? d > 1e-4 && d < 1.0 : !sharp && d > 0.5 && d < 1.9;
            if (fault.empty() && stored != NoValue && sideKnown &&
                (stored < 0) != (fixtures::windingNumber(m, q) > 0.5))
              fault = "side";
            near += d < 1.0;
            if (!fault.empty() && faults++ < 5)
              ADD_FAILURE() << fault << " at (" << x << ", " << y << ", " << z << "): stored " << stored << ", true "
                            << d;
          }
      EXPECT_GT(near, 200);
    }
}

// Beside edge a-b of a sheared triangle the closest point is straight above the edge, sqrt(0.5)
// away, not the corner b at sqrt(0.75); below it, where the triangle's own parameters are past b
// (s = 1.35, t = -0.5), still the edge, 1 away.
TEST(TriangleClosestPoint, ShearedTriangleBesideItsFirstEdge) {
  const double a[3] = {1.5, 1.5, 1.5}, b[3] = {3.5, 1.5, 1.5}, c[3] = {3.5, 3.5, 1.5};
  const TriangleClosestPoint triangle(a, b, c);
  double p[3];
  const double above[3] = {3, 1, 2}, below[3] = {3.2, 0.5, 1.5};
  EXPECT_EQ(triangle.find(above, p), TriangleClosestPoint::EdgeAB);
  EXPECT_EQ(p[0], 3.0);
  EXPECT_EQ(p[1], 1.5);
  EXPECT_EQ(triangle.find(below, p), TriangleClosestPoint::EdgeAB);
  EXPECT_NEAR(p[0], 3.2, 1e-12);
}

// Worked chains: edges (a, b, first polygon, second polygon) and the lines they give.
TEST(SharpFeatures, ChainingExamples) {
  struct Case {
    const char* Name;
    std::vector<std::array<int, 4>> Edges;
    VertexIDListList Lines;
  };
  const Case cases[] = {
      {"chain of three: the line reads from the far end", {{1, 2, 0, 1}, {2, 3, 2, 3}, {3, 4, 4, 5}}, {{4, 3, 2, 1}}},
      // 2-3 shares polygon 1 with 1-2: 1-2 alone gives two ids and is dropped.
      {"continuation stops at a shared polygon", {{1, 2, 0, 1}, {2, 3, 1, 3}, {3, 4, 4, 5}}, {{4, 3, 2}}},
      {"closed chain starts and ends at the upper end",
       {{0, 1, 10, 11}, {1, 2, 12, 13}, {0, 2, 14, 15}},
       {{1, 0, 2, 1}}},
      {"first candidate in key order: (2, 5) before (5, 6)", {{1, 5, 0, 1}, {2, 5, 2, 3}, {5, 6, 4, 7}}, {{2, 5, 1}}},
      {"candidate sharing a polygon is passed over", {{1, 5, 0, 1}, {2, 5, 1, 3}, {5, 6, 4, 7}}, {{6, 5, 1}}},
      {"boundary edges continue along boundary edges of another polygon",
       {{1, 2, 0, -1}, {2, 3, 0, -1}, {3, 4, 1, -1}, {4, 5, 2, 6}},
       {{4, 3, 2}}},
  };
  for (const Case& c : cases) {
    SharpFeatures f;
    for (const auto& e : c.Edges) f.SharpEdges[PolygonStorage::makeEdgeKey(e[0], e[1])] = EdgeEntryData{e[2], e[3]};
    f.buildFeatureLines();
    EXPECT_EQ(f.FeatureLines, c.Lines) << c.Name;
    EXPECT_TRUE(f.SharpEdges.empty()) << c.Name << ": the chaining consumes the edges";
  }
}

// Boundary edges are sharp whatever the threshold: the boundary of a square of two triangles,
// where 1-2 follows 0-1 in the same triangle. (Creases by threshold: the pinned octahedron.)
TEST(SharpFeatures, BoundaryEdgesAreSharp) {
  PolygonStorage mesh;
  SharpFeatures f;
  f.setMesh(&mesh);
  testmeshes::build(mesh, {"", {{2, 2, 2}, {6, 2, 2}, {6, 6, 2}, {2, 6, 2}}, {{0, 1, 2}, {0, 2, 3}}, 1});
  f.detectSharpEdges(0.0f);
  EXPECT_EQ(f.FeatureLines, (VertexIDListList{{1, 0, 3}, {3, 2, 1}}));
}
