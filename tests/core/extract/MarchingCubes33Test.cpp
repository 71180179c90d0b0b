#include "ExtractTestSupport.h"

#include "extract/MarchingCubes33Tables.h"
#include "base/Diagnostics.h"
#include "support/DiagnosticsCapture.h"
#include "base/TessellorError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace tessellor;

namespace {

// A 2 x 2 x 2 volume: one cube whose corner p has value c[p].
void cubeVolume(VolumeStorageDF& volume, const float (&c)[8]) {
  makeVolume(volume, 2, 2, 2, 1.0f);
  for (int p = 0; p < 8; ++p) setDistance(volume, ((p >> 1) ^ p) & 1, (p >> 1) & 1, (p >> 2) & 1, c[p]);
}

bool isRotationOf(const VertexIDList& polygon, const VertexIDList& expected) {
  if (polygon.size() != expected.size()) return false;
  VertexIDList turned = polygon;
  for (std::size_t s = 0; s < turned.size(); ++s) {
    if (turned == expected) return true;
    std::rotate(turned.begin(), turned.begin() + 1, turned.end());
  }
  return false;
}

V3 sub(const V3& a, const V3& b) { return V3{a.x - b.x, a.y - b.y, a.z - b.z}; }
float dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TEST(MarchingCubes33, UniformVolumesGiveNoSurfaceAndCountEveryCubeAsZero) {
  for (float fill : {1.0f, -1.0f}) {
    VolumeStorageDF volume;
    makeVolume(volume, 4, 4, 4, fill);
    PolygonStorage mesh;
    FullOutput output;
    MarchingCubes33 mc(-1, -1, -1);
    runExtraction(mc, volume, mesh, &output);
    EXPECT_TRUE(mesh.Vertices.empty()) << fill;
    EXPECT_TRUE(mesh.Polygons.empty()) << fill;
    EXPECT_EQ(statistic(mc, "0"), 27) << fill;
    EXPECT_EQ(statisticsTotal(mc), 27) << fill;

    ASSERT_EQ(output.Tasks, std::vector<std::string>{"Marching"});
    EXPECT_EQ(output.Open, 0);
    const auto flip = std::find(output.Lines.begin(), output.Lines.end(), "Flip candidates: 0");
    ASSERT_NE(flip, output.Lines.end());
    ASSERT_NE(flip + 1, output.Lines.end());
    EXPECT_EQ(*(flip + 1), "Edges flipped  : 0");
    const auto head = std::find(output.Lines.begin(), output.Lines.end(), "Detailed cases statistics");
    ASSERT_EQ(output.Lines.end() - head, 33) << "the statistics close the log";
    EXPECT_EQ(*(head + 1), "       27 cases 0");
    EXPECT_EQ(*(head + 2), "        0 cases 1");
    EXPECT_EQ(*(head + 10), "        0 cases 6.1.2");
    EXPECT_EQ(*(head + 32), "        0 cases 14");
  }
}

TEST(MarchingCubes33, SingleNegativePointGivesSixVerticesAndEightCaseOneTriangles) {
  VolumeStorageDF volume;
  makeVolume(volume, 5, 5, 5, 1.0f);
  setDistance(volume, 2, 2, 2, -1.0f);
  volume.setScale(0.5f);
  volume.setOffset(1.0f, 2.0f, 3.0f);
  PolygonStorage mesh;
  FullOutput output;
  MarchingCubes33 mc(-1, -1, -1);
  runExtraction(mc, volume, mesh, &output);

  ASSERT_EQ(mesh.Vertices.size(), 6u);
  ASSERT_EQ(mesh.Polygons.size(), 8u);
  EXPECT_EQ(statistic(mc, "1"), 8);
  EXPECT_EQ(statistic(mc, "0"), 64 - 8);
  EXPECT_EQ(statisticsTotal(mc), 64);
  EXPECT_EQ(mesh.Scale, 0.5f);
  EXPECT_EQ(mesh.Offset.x, 1.0f);
  EXPECT_EQ(mesh.Offset.z, 3.0f);

  // One vertex in the middle of each grid edge at the point.
  const V3 expected[6] = {{1.5f, 2, 2}, {2, 1.5f, 2}, {2, 2, 1.5f}, {2.5f, 2, 2}, {2, 2.5f, 2}, {2, 2, 2.5f}};
  std::vector<std::pair<float, std::pair<float, float>>> got, want;
  for (int v = 0; v < 6; ++v) {
    got.push_back({mesh.Vertices[v].pos.x, {mesh.Vertices[v].pos.y, mesh.Vertices[v].pos.z}});
    want.push_back({expected[v].x, {expected[v].y, expected[v].z}});
  }
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);

  const V3 centre{2, 2, 2};
  for (std::size_t p = 0; p < mesh.Polygons.size(); ++p) {
    ASSERT_EQ(mesh.Polygons[p].size(), 3u);
    // Positive values lie outside: every face looks away from the negative point.
    EXPECT_GT(dot(mesh.Midpoints[p].n, sub(mesh.Midpoints[p].pos, centre)), 0.0f) << "triangle " << p;
  }
  for (int v = 0; v < 6; ++v) {
    EXPECT_EQ(mesh.VIndex[v].size(), 4u) << "vertex " << v;
    // Unit normal along the vertex's offset of 0.5 from the point.
    EXPECT_GT(dot(mesh.Vertices[v].n, sub(mesh.Vertices[v].pos, centre)), 0.499f) << "vertex normal " << v;
  }
  EXPECT_EQ(testmeshes::closedOrientedFault(mesh), "");
  EXPECT_EQ(mesh.EdgeIndex.size(), 12u);
}

TEST(MarchingCubes33, OneCubeWithCornerZeroNegative) {
  VolumeStorageDF volume;
  cubeVolume(volume, {-1, 3, 3, 3, 3, 3, 3, 3});
  PolygonStorage mesh;
  MarchingCubes33 mc(-1, -1, -1);
  runExtraction(mc, volume, mesh, nullptr);
  ASSERT_EQ(mesh.Vertices.size(), 3u);
  ASSERT_EQ(mesh.Polygons.size(), 1u);
  EXPECT_EQ(statistic(mc, "1"), 1);
  EXPECT_EQ(statisticsTotal(mc), 1);
  // u = w / (w - wn) = -1 / (-1 - 3) along x, y, z in this id order.
  EXPECT_EQ(mesh.Vertices[0].pos.x, 0.25f);
  EXPECT_EQ(mesh.Vertices[1].pos.y, 0.25f);
  EXPECT_EQ(mesh.Vertices[2].pos.z, 0.25f);
  // Counter-clockwise seen from the positive side, the side away from corner 0.
  EXPECT_TRUE(isRotationOf(mesh.Polygons[0], {0, 1, 2}));
  EXPECT_EQ(mesh.Vertices[0].attr, 0);
  EXPECT_EQ(mesh.Midpoints.size(), 1u);
}

TEST(MarchingCubes33, VolumeOneGridPointThickHasVerticesButNoCubes) {
  VolumeStorageDF volume;
  makeVolume(volume, 1, 3, 3, 1.0f);
  setDistance(volume, 0, 1, 1, -1.0f);
  PolygonStorage mesh;
  MarchingCubes33 mc(-1, -1, -1);
  runExtraction(mc, volume, mesh, nullptr);
  EXPECT_EQ(mesh.Vertices.size(), 4u) << "y- and z-edges into and out of the point";
  EXPECT_TRUE(mesh.Polygons.empty());
  EXPECT_EQ(statisticsTotal(mc), 0);
  for (const Vertex& v : mesh.Vertices) EXPECT_EQ(v.pos.x, 0.0f);
}

TEST(MarchingCubes33, ProgressSequence) {
  VolumeStorageDF volume;
  makeVolume(volume, 3, 4, 5, 1.0f);
  setDistance(volume, 1, 1, 1, -1.0f);
  PolygonStorage mesh;
  FullOutput output;
  MarchingCubes33 mc(-1, -1, -1);
  runExtraction(mc, volume, mesh, &output);
  // First pass 10 z / 5 for z = 0..4, sweep 80 k / 5 + 10 for k = 0..3, then the mesh steps.
  EXPECT_EQ(output.Progress, (std::vector<int>{0, 2, 4, 6, 8, 10, 26, 42, 58, 91, 93, 97, 98, 100}));
}

TEST(MarchingCubes33, NoDistanceMarkSkipsEveryCubeThatTouchesIt) {
  // Negative point (1,1,1); its +x neighbour has no distance. Of the eight cubes around the
  // point, the four that contain (2,1,1) are skipped without a count.
  VolumeStorageDF volume;
  makeVolume(volume, 3, 3, 3, 1.0f);
  setDistance(volume, 1, 1, 1, -1.0f);
  setDistance(volume, 2, 1, 1, NoValue);
  PolygonStorage mesh;
  FullOutput output;
  MarchingCubes33 mc(-1, -1, -1);
  runExtraction(mc, volume, mesh, &output);
  EXPECT_EQ(statisticsTotal(mc), 4);
  EXPECT_EQ(statistic(mc, "1"), 4);
  ASSERT_EQ(mesh.Polygons.size(), 4u);
  // The edge towards the mark still gets its vertex, almost on the valid point, but no polygon.
  ASSERT_EQ(mesh.Vertices.size(), 6u);
  int loose = 0;
  for (std::size_t v = 0; v < mesh.Vertices.size(); ++v) {
    if (!mesh.VIndex[v].empty()) continue;
    ++loose;
    EXPECT_EQ(mesh.Vertices[v].pos.x, 1.0f + -1.0f / (-1.0f - NoValue));
    EXPECT_EQ(mesh.Vertices[v].pos.y, 1.0f);
    EXPECT_EQ(mesh.Vertices[v].n.x, 0.0f);
    EXPECT_EQ(mesh.Vertices[v].n.y, 0.0f);
    EXPECT_EQ(mesh.Vertices[v].n.z, 0.0f);
  }
  EXPECT_EQ(loose, 1);
}

TEST(MarchingCubes33, MarkedCornerSkipsACubeEvenWithSignChanges) {
  VolumeStorageDF volume;
  cubeVolume(volume, {-1, 1, -1, 1, -1, 1, NoValue, 1});
  PolygonStorage mesh;
  MarchingCubes33 mc(-1, -1, -1);
  runExtraction(mc, volume, mesh, nullptr);
  EXPECT_EQ(statisticsTotal(mc), 0);
  EXPECT_TRUE(mesh.Polygons.empty());
  EXPECT_FALSE(mesh.Vertices.empty()) << "the first pass does not look at the mark of a neighbour";
}

TEST(MarchingCubes33, ValuesBelowTwoToTheMinus23CountAsPositive) {
  struct Case {
    float Corner0;
    float Others;
    int Zero, One;
  } cases[] = {
      {0.0f, 0.0f, 1, 0},    // all zero: lut 255, case 0
      {-0.0f, -0.0f, 1, 0},  // negative zero too
      {-1e-8f, 1.0f, 1, 0},  // a tiny negative value is clamped positive
      {-2e-7f, 1.0f, 0, 1},  // just above the threshold it stays negative
      {-1.0f, 0.0f, 0, 1},   // one negative corner among zeros
  };
  for (const Case& c : cases) {
    VolumeStorageDF volume;
    makeVolume(volume, 2, 2, 2, c.Others);
    setDistance(volume, 0, 0, 0, c.Corner0);
    PolygonStorage mesh;
    MarchingCubes33 mc(-1, -1, -1);
    runExtraction(mc, volume, mesh, nullptr);
    EXPECT_EQ(statistic(mc, "0"), c.Zero) << c.Corner0 << " among " << c.Others;
    EXPECT_EQ(statistic(mc, "1"), c.One) << c.Corner0 << " among " << c.Others;
    EXPECT_EQ(mesh.Polygons.size(), static_cast<std::size_t>(c.One));
  }
  // The clamped zero is the far end of the edge: u = -1 / (-1 - 2^-23).
  VolumeStorageDF volume;
  makeVolume(volume, 2, 2, 2, 0.0f);
  setDistance(volume, 0, 0, 0, -1.0f);
  PolygonStorage mesh;
  MarchingCubes33 mc(-1, -1, -1);
  runExtraction(mc, volume, mesh, nullptr);
  ASSERT_EQ(mesh.Vertices.size(), 3u);
  EXPECT_EQ(mesh.Vertices[0].pos.x, -1.0f / (-1.0f - 1.1920929e-07f));
  EXPECT_LT(mesh.Vertices[0].pos.x, 1.0f);
}

// Corners 0 and 2 positive (face z = 0 ambiguous), the upper face negative: case 3.
TEST(MarchingCubes33, FaceTestDecidesCaseThreeAndTiesJoinTheCorners) {
  struct Case {
    float C3;
    const char* Subcase;
    std::size_t Polygons, Corners;
  } cases[] = {
      {-2.0f, "3.1", 2, 3},  // P*R - Q*S = 1 - 2 < 0: two separate corners
      {-0.5f, "3.2", 1, 6},  // > 0: one band, a hexagon
      {-1.0f, "3.2", 1, 6},  // = 0: the tie joins them
  };
  for (float sign : {1.0f, -1.0f}) {
    for (const Case& c : cases) {
      const float v[8] = {sign, -sign, sign, sign * c.C3, -sign, -sign, -sign, -sign};
      VolumeStorageDF volume;
      cubeVolume(volume, v);
      PolygonStorage mesh;
      MarchingCubes33 mc(-1, -1, -1);
      runExtraction(mc, volume, mesh, nullptr);
      EXPECT_EQ(statistic(mc, c.Subcase), 1) << "c3 " << c.C3 << " sign " << sign;
      ASSERT_EQ(mesh.Polygons.size(), c.Polygons) << "c3 " << c.C3 << " sign " << sign;
      EXPECT_EQ(mesh.Polygons[0].size(), c.Corners);
    }
  }
}

TEST(MarchingCubes33, FaceTestWithZeroDeterminantIsTrueForBothSenses) {
  ProbeMC33 mc;
  mc.setCube(3, 0, {2, -3, 6, -4, 1, 1, 1, 1});  // face 5: P=2 Q=-4 R=6 S=-3, 12 - 12 = 0
  EXPECT_TRUE(mc.testFace(5));
  EXPECT_TRUE(mc.testFace(-5));
  mc.setCube(3, 0, {2, -3, 6, -5, 1, 1, 1, 1});  // 12 - 15 < 0
  EXPECT_FALSE(mc.testFace(5));
  EXPECT_TRUE(mc.testFace(-5));
  // Face 2 reads corners 1, 5, 6, 2: P = -3, Q = 1, R = 1, S = 6; 2 * P * (P*R - Q*S) = 54.
  EXPECT_TRUE(mc.testFace(2));
  EXPECT_FALSE(mc.testFace(-2));
}

TEST(MarchingCubes33, InteriorTestComparesProductsExactlyInTestsFiveAndTen) {
  ProbeMC33 mc;
  // Case 4 form: t = 0, At = 2, Bt = -3, Ct = 3, Dt = -2: test 5 with At*Ct == Bt*Dt -> s < 0.
  mc.setCube(4, 0, {2, -2, 3, -3, -3, 1, 2, 1});
  EXPECT_FALSE(mc.testInterior(7));
  EXPECT_TRUE(mc.testInterior(-7));
  // At = -0.5, Bt = 0.5, Ct = -1, Dt = 1: test 10 with equal products -> s > 0.
  mc.setCube(10, 0, {-0.5f, 1, -1, 0.5f, -0.5f, -3, 2, 1});
  EXPECT_TRUE(mc.testInterior(7));
  EXPECT_FALSE(mc.testInterior(-7));
}

TEST(MarchingCubes33, InteriorTestWithoutAQuadraticRootReturnsTheSign) {
  ProbeMC33 mc;
  // a = (c4-c0)(c6-c2) - (c7-c3)(c5-c1) = 0 with b != 0: the quotient is infinite.
  mc.setCube(4, 0, {1, -1, 1, -1, 1, 2, 2, -1});
  EXPECT_TRUE(mc.testInterior(7));
  EXPECT_FALSE(mc.testInterior(-7));
  // a = 0 and b = 0: the quotient is undefined, which also counts as outside [0, 1].
  mc.setCube(10, 0, {1, 1, 1, 1, 1, 1, 1, 1});
  EXPECT_TRUE(mc.testInterior(7));
  EXPECT_FALSE(mc.testInterior(-7));
}

TEST(MarchingCubes33, InteriorTestAlongTheReferenceEdge) {
  // Case 6, configuration 0 tests along edge 10 (corners 2 -> 6): t = 1 / (1 + 3) = 0.25.
  // Parallel edges at that t: 1 -> 5 gives -2, 0 -> 4 gives 1, 3 -> 7 gives -1. With At = 0 that
  // is test 5 with At*Ct = 0 < Bt*Dt: s > 0. Reading edge 1 -> 5 from its other end (0) or t
  // from corner 6 would make it test 7, s < 0.
  ASSERT_EQ(mc33::test6[0][2], 10);
  ProbeMC33 mc;
  mc.setCube(6, 0, {1, -3, 1, -1, 1, 1, -3, -1});
  EXPECT_TRUE(mc.testInterior(7));
  EXPECT_FALSE(mc.testInterior(-7));
  // Make the 0 -> 4 edge negative too: only At >= 0, test 1, s > 0; then Bt and Ct >= 0: test 7.
  mc.setCube(6, 0, {-1, -3, 1, -1, -1, 1, -3, -1});
  EXPECT_TRUE(mc.testInterior(7));
  mc.setCube(6, 0, {1, 1, 1, -1, 1, 1, -3, -1});
  EXPECT_FALSE(mc.testInterior(7));
}

TEST(MarchingCubes33, DamagedTableValuesAreReportedAndFallBack) {
  DiagnosticsCapture capture;
  ProbeMC33 mc;
  mc.setCube(3, 0, {1, 1, 1, 1, 1, 1, 1, 1});
  EXPECT_TRUE(mc.testFace(9)) << "P = Q = R = S = 0";
  EXPECT_TRUE(mc.testFace(0));
  // At = Bt = Ct = Dt = 0 is test 15: s < 0.
  EXPECT_FALSE(mc.testInterior(7));
  EXPECT_EQ(capture.Text, "Invalid face code 9\nInvalid face code 0\nInvalid ambiguous case 3\n");
}

// A checkerboard volume: every grid edge is cut.
void checkerboard(VolumeStorageDF& volume, int n) {
  makeVolume(volume, n, n, n, 1.0f);
  for (int z = 0; z < n; ++z)
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) setDistance(volume, x, y, z, (x + y + z) % 2 ? -1.0f : 1.0f);
}

TEST(MarchingCubes33, VertexBufferGrowsAndKeepsItsRecords) {
  VolumeStorageDF volume;
  checkerboard(volume, 30);
  PolygonStorage mesh;
  MarchingCubes33 mc(-1, -1, -1);
  runExtraction(mc, volume, mesh, nullptr);
  // 3 * 29 * 30 * 30 edge vertices, and the buffer started at 65536.
  ASSERT_GE(mesh.Vertices.size(), 3u * 29 * 30 * 30);
  for (std::size_t v = 0; v < 3u * 29 * 30 * 30; ++v) {
    const V3& p = mesh.Vertices[v].pos;
    const int halves = (p.x != std::floor(p.x)) + (p.y != std::floor(p.y)) + (p.z != std::floor(p.z));
    ASSERT_EQ(halves, 1) << "vertex " << v << " is not at the middle of a grid edge";
  }
}

TEST(MarchingCubes33, BufferThatCannotGrowStopsTheRunAndKeepsThePreviousMesh) {
  VolumeStorageDF volume;
  checkerboard(volume, 30);
  PolygonStorage mesh;
  mesh.addVertex(Vertex{{1, 2, 3}, {}, 0});
  mesh.addVertex(Vertex{{4, 5, 6}, {}, 0});
  mesh.addVertex(Vertex{{7, 8, 8}, {}, 0});
  mesh.addTriangle(0, 1, 2);
  mesh.setScale(3.0f);
  FullOutput output;
  ProbeMC33 mc;
  mc.setVolume(&volume);
  mc.setMesh(&mesh);
  mc.setStatusOutput(&output);
  mc.initialize();
  mc._maxVertexCapacity = 65536;
  try {
    mc.extract();
    FAIL() << "the run needs more than 65536 vertices";
  } catch (const ProcessingError& error) {
    EXPECT_NE(std::string(error.what()).find("vertex buffer"), std::string::npos) << error.what();
  }
  EXPECT_EQ(output.Open, 0) << "the task frame is closed";
  ASSERT_EQ(mesh.Vertices.size(), 3u);
  ASSERT_EQ(mesh.Polygons.size(), 1u);
  EXPECT_EQ(mesh.Polygons[0], (VertexIDList{0, 1, 2}));
  EXPECT_EQ(mesh.Vertices[2].pos.z, 8.0f);
  EXPECT_EQ(mesh.Scale, 3.0f);
}

class SizedOnlyVolume : public GenericVolumeStorage {
 public:
  SizedOnlyVolume(int nx, int ny, int nz) {
    XSize = nx;
    YSize = ny;
    ZSize = nz;
  }
};

TEST(MarchingCubes33, VolumeTooLargeIsRefusedBeforeAnyAllocation) {
  for (const auto& sizes : {std::vector<int>{2000, 2000, 2000}, std::vector<int>{1 << 20, 1 << 12, 1}}) {
    SizedOnlyVolume volume(sizes[0], sizes[1], sizes[2]);
    PolygonStorage mesh;
    MarchingCubes33 mc(-1, -1, -1);
    mc.setVolume(&volume);
    mc.setMesh(&mesh);
    EXPECT_THROW(mc.initialize(), ProcessingError);
    EXPECT_EQ(mc.vertexCount(), 0);
  }
}

TEST(MarchingCubes33, RepeatedRunsOnOneVolumeAgree) {
  VolumeStorageDF volume;
  makeVolume(volume, 6, 6, 6, 2.0f);
  for (int z = 1; z < 5; ++z)
    for (int y = 1; y < 5; ++y)
      for (int x = 1; x < 5; ++x)
        setDistance(volume, x, y, z, 0.3f * static_cast<float>((x * 7 + y * 3 + z * 5) % 5) - 0.7f);
  PolygonStorage first, second;
  MarchingCubes33 mc(-1, -1, -1);
  runExtraction(mc, volume, first, nullptr);
  std::vector<int> stats;
  for (int s = 0; s < MarchingCubes33::SubcaseCount; ++s) stats.push_back(mc.caseStatistics(s));
  runExtraction(mc, volume, second, nullptr);
  EXPECT_EQ(first.Polygons, second.Polygons);
  ASSERT_EQ(first.Vertices.size(), second.Vertices.size());
  for (int s = 0; s < MarchingCubes33::SubcaseCount; ++s) EXPECT_EQ(mc.caseStatistics(s), stats[s]);
  EXPECT_EQ(statisticsTotal(mc), 125);
  mc.release();
  EXPECT_EQ(mc.vertexCount(), 0);
}

}  // namespace
