// Marching Cubes 33 on worked volumes and on random ones. The tables: MarchingCubes33Tables.
#include "extract/MarchingCubes33.h"

#include "base/TessellorError.h"
#include "support/DiagnosticsCapture.h"
#include "support/RecordingOutput.h"
#include "support/TestMeshes.h"
#include "volume/VolumeStorageDF.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>

using namespace tessellor;

namespace {

// Opens the extractor's cube state and tests.
class ProbeMC33 : public MarchingCubes33 {
 public:
  ProbeMC33() : MarchingCubes33(-1, -1, -1) {}
  using MarchingCubes33::_maxVertexCapacity;
  using MarchingCubes33::testFace;
  using MarchingCubes33::testInterior;
  void setCube(std::uint8_t caseNumber, const float (&values)[8]) {
    _case = caseNumber;
    _config = _subconfig = 0;
    std::copy(values, values + 8, _cube);
  }
};

// An nx x ny x nz volume of distance fill with the given grid points set.
struct Volume : VolumeStorageDF {
  Volume(int nx, int ny, int nz, float fill, const std::vector<std::array<float, 4>>& points = {}) {
    resize(nx, ny, nz);
    clear();
    for (VoxelData& v : Voxels) v.Distance = fill;
    for (const auto& p : points) Voxels[index(int(p[0]), int(p[1]), int(p[2]))].Distance = p[3];
  }
};

// One cube whose corner p (in the corner numbering of the tables) has value c[p].
Volume cube(const float (&c)[8]) {
  std::vector<std::array<float, 4>> points;
  for (int p = 0; p < 8; ++p)
    points.push_back({float(((p >> 1) ^ p) & 1), float((p >> 1) & 1), float((p >> 2) & 1), c[p]});
  return Volume(2, 2, 2, 1.0f, points);
}

// release, initialize, extract: the sequence the controller runs.
void extract(MarchingCubes33& mc, const VolumeStorageDF& volume, PolygonStorage& mesh, StatusOutput* output = nullptr) {
  mc.setVolume(&volume);
  mc.setMesh(&mesh);
  mc.setStatusOutput(output);
  mesh.setStatusOutput(output);
  mc.release();
  mc.initialize();
  mc.extract();
}

int statistic(const MarchingCubes33& mc, const std::string& name) {
  int total = 0;
  for (int s = 0; s < MarchingCubes33::SubcaseCount; ++s)
    if (name == MarchingCubes33::SubcaseNames[s] || name == "total") total += mc.caseStatistics(s);
  return total;
}

float dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

}  // namespace

// Uniform volumes give no surface. One negative grid point gives a vertex in the middle of each of
// its six grid edges and eight case-1 triangles facing away from it (positive is outside): a closed
// octahedron in the volume's frame. The statistics close the log.
TEST(MarchingCubes33, WorkedVolumesAndTheLog) {
  MarchingCubes33 mc(-1, -1, -1);
  PolygonStorage mesh;
  for (float fill : {1.0f, -1.0f}) {
    extract(mc, Volume(4, 4, 4, fill), mesh);
    EXPECT_TRUE(mesh.Vertices.empty() && mesh.Polygons.empty()) << fill;
    EXPECT_EQ(statistic(mc, "0"), 27);
    EXPECT_EQ(statistic(mc, "total"), 27);
  }
  Volume point(5, 5, 5, 1.0f, {{2, 2, 2, -1}});
  point.setScale(0.5f);
  point.setOffset(1.0f, 2.0f, 3.0f);
  RecordingOutput log;
  extract(mc, point, mesh, &log);
  ASSERT_EQ(mesh.Vertices.size(), 6u);
  EXPECT_EQ(mesh.Polygons.size(), 8u);
  EXPECT_EQ(statistic(mc, "1"), 8);
  EXPECT_EQ(statistic(mc, "0"), 56);
  EXPECT_EQ(mesh.Scale, 0.5f);
  EXPECT_EQ(mesh.Offset.z, 3.0f);
  for (const Vertex& v : mesh.Vertices) {
    const V3 off{v.pos.x - 2, v.pos.y - 2, v.pos.z - 2};
    EXPECT_GT(dot(v.n, off), 0.499f) << "half a step along an axis, the unit vertex normal along it";
  }
  EXPECT_EQ(testmeshes::closedOrientedFault(mesh), "");
  EXPECT_GT(testmeshes::enclosedVolume(mesh), 0.0) << "faces look outwards";
  EXPECT_EQ(log.Tasks, std::vector<std::string>{"Marching"});
  EXPECT_TRUE(log.hasLine("Flip candidates: 0") && log.hasLine("Edges flipped  : 0"));
  const auto head = std::find(log.Lines.begin(), log.Lines.end(), "Detailed cases statistics");
  ASSERT_EQ(log.Lines.end() - head, 35) << "32 sub-case lines, then the end of the task frame";
  EXPECT_EQ(*(head + 1), "       56 cases 0");
  EXPECT_EQ(*(head + 2), "        8 cases 1");
  EXPECT_EQ(*(head + 32), "        0 cases 14");
  // First pass 10 z / 5, sweep 80 k / 5 + 10, then the mesh steps.
  EXPECT_EQ(log.ProgressCalls, (std::vector<int>{0, 2, 4, 6, 8, 10, 26, 42, 58, 91, 93, 97, 98, 100}));
}

TEST(MarchingCubes33, VerticesInterpolateAlongTheirEdgesInIdOrder) {
  MarchingCubes33 mc(-1, -1, -1);
  PolygonStorage mesh;
  extract(mc, cube({-1, 3, 3, 3, 3, 3, 3, 3}), mesh);
  ASSERT_EQ(mesh.Vertices.size(), 3u);
  // u = w / (w - wn) = -1 / (-1 - 3) along x, y, z in this id order, counter-clockwise from outside.
  EXPECT_EQ(mesh.Vertices[0].pos.x, 0.25f);
  EXPECT_EQ(mesh.Vertices[1].pos.y, 0.25f);
  EXPECT_EQ(mesh.Vertices[2].pos.z, 0.25f);
  VertexIDList triangle = mesh.Polygons.at(0);
  std::rotate(triangle.begin(), std::min_element(triangle.begin(), triangle.end()), triangle.end());
  EXPECT_EQ(triangle, (VertexIDList{0, 1, 2}));
  // Values below 2^-23 in magnitude count as positive (+2^-23).
  const float cases[][3] = {{0, 0, 0}, {-0.0f, -0.0f, 0}, {-1e-8f, 1, 0}, {-2e-7f, 1, 1}, {-1, 0, 1}};
  for (const auto& c : cases) {
    extract(mc, Volume(2, 2, 2, c[1], {{0, 0, 0, c[0]}}), mesh);
    EXPECT_EQ(statistic(mc, "1"), int(c[2])) << c[0] << " among " << c[1];
    EXPECT_EQ(statistic(mc, "total"), 1);
  }
  EXPECT_EQ(mesh.Vertices[0].pos.x, -1.0f / (-1.0f - 1.1920929e-07f)) << "the clamped zero is the far end";
}

// A cube with a corner marked "no distance" is skipped, sign changes or not, and uncounted; the
// edge towards the mark still gets its (unused) vertex.
TEST(MarchingCubes33, CubesTouchingANoDistanceMarkAreSkipped) {
  MarchingCubes33 mc(-1, -1, -1);
  PolygonStorage mesh;
  extract(mc, Volume(3, 3, 3, 1.0f, {{1, 1, 1, -1}, {2, 1, 1, NoValue}}), mesh);
  EXPECT_EQ(statistic(mc, "total"), 4);
  EXPECT_EQ(mesh.Polygons.size(), 4u);
  ASSERT_EQ(mesh.Vertices.size(), 6u);
  const auto loose =
      std::find_if(mesh.VIndex.begin(), mesh.VIndex.end(), [](const VertexIDSet& s) { return s.empty(); });
  ASSERT_NE(loose, mesh.VIndex.end());
  EXPECT_EQ(mesh.Vertices[loose - mesh.VIndex.begin()].pos.x, 1.0f + -1.0f / (-1.0f - NoValue));
  extract(mc, cube({-1, 1, -1, 1, -1, 1, NoValue, 1}), mesh);
  EXPECT_EQ(statistic(mc, "total"), 0);
  EXPECT_TRUE(mesh.Polygons.empty());
}

// Corners 0 and 2 positive (face z = 0 ambiguous), the upper face negative: case 3. P*R - Q*S
// decides; a tie joins the positive corners. Either sign of the whole cube.
TEST(MarchingCubes33, FaceAndInteriorTestsWorkedCases) {
  const struct {
    float C3;
    const char* Subcase;
    std::size_t Corners;
  } cases[] = {{-2.0f, "3.1", 3}, {-0.5f, "3.2", 6}, {-1.0f, "3.2", 6}};
  MarchingCubes33 mc(-1, -1, -1);
  PolygonStorage mesh;
  for (float s : {1.0f, -1.0f})
    for (const auto& c : cases) {
      extract(mc, cube({s, -s, s, s * c.C3, -s, -s, -s, -s}), mesh);
      EXPECT_EQ(statistic(mc, c.Subcase), 1) << "c3 " << c.C3 << " sign " << s;
      ASSERT_FALSE(mesh.Polygons.empty());
      EXPECT_EQ(mesh.Polygons[0].size(), c.Corners) << "c3 " << c.C3 << " sign " << s;
    }
  ProbeMC33 probe;
  probe.setCube(3, {2, -3, 6, -4, 1, 1, 1, 1});  // face 5: P=2 Q=-4 R=6 S=-3, 12 - 12 = 0
  EXPECT_TRUE(probe.testFace(5) && probe.testFace(-5)) << "a zero determinant holds for both senses";
  EXPECT_TRUE(probe.testFace(2) && !probe.testFace(-2)) << "face 2 reads corners 1, 5, 6, 2";
  const struct {
    std::uint8_t Case;
    float Values[8];
    bool Positive;
    const char* Why;
  } interior[] = {
      {4, {2, -2, 3, -3, -3, 1, 2, 1}, false, "t = 0: At*Ct == Bt*Dt in test 5 goes to s < 0"},
      {10, {-0.5f, 1, -1, 0.5f, -0.5f, -3, 2, 1}, true, "equal products in test 10 go to s > 0"},
      {4, {1, -1, 1, -1, 1, 2, 2, -1}, true, "a = 0, b != 0: no root in [0, 1]"},
      {10, {1, 1, 1, 1, 1, 1, 1, 1}, true, "a = b = 0: the undefined quotient is outside [0, 1]"},
      // Case 6, configuration 0, along edge 10 (corners 2 -> 6): t = 1 / (1 + 3) = 0.25; the
      // parallel edges give -2, 1, -1 from their first corners: test 5 with At*Ct = 0 < Bt*Dt.
      {6, {1, -3, 1, -1, 1, 1, -3, -1}, true, "reference edge read from its first corner"},
      {6, {-1, -3, 1, -1, -1, 1, -3, -1}, true, "only At >= 0: test 1"},
      {6, {1, 1, 1, -1, 1, 1, -3, -1}, false, "Bt and Ct >= 0: test 7"},
  };
  for (const auto& c : interior) {
    probe.setCube(c.Case, c.Values);
    EXPECT_EQ(probe.testInterior(7), c.Positive) << c.Why;
    EXPECT_EQ(probe.testInterior(-7), !c.Positive) << c.Why;
  }
  DiagnosticsCapture capture;
  probe.setCube(3, {1, 1, 1, 1, 1, 1, 1, 1});
  EXPECT_TRUE(probe.testFace(9)) << "P = Q = R = S = 0";
  EXPECT_FALSE(probe.testInterior(7)) << "At = Bt = Ct = Dt = 0 is test 15";
  EXPECT_EQ(capture.Text, "Invalid face code 9\nInvalid ambiguous case 3\n");
}

// Random volumes: every mesh is closed, consistently oriented and faces outwards (the negative
// side is inside), and together they reach every sub-case the face and interior tests can select.
// FewValues repeats magnitudes whose face products never tie.
TEST(MarchingCubes33, RandomVolumesGiveClosedOrientedSurfacesAndReachEverySubcase) {
  std::mt19937 rng(20260512u);
  std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
  std::uniform_int_distribution<int> pick(0, 3);
  const float few[4] = {-1.3f, -0.7f, 0.4f, 1.9f};
  int reached[MarchingCubes33::SubcaseCount] = {};
  std::uint64_t pin = 0;
  DiagnosticsCapture capture;
  MarchingCubes33 mc(-1, -1, -1);
  for (int run = 0; run < 450; ++run) {
    Volume volume(9, 9, 9, 1.0f);
    for (int z = 1; z < 8; ++z)
      for (int y = 1; y < 8; ++y)
        for (int x = 1; x < 8; ++x)
          volume.Voxels[volume.index(x, y, z)].Distance = run < 150        ? uniform(rng)
                                                          : run < 300      ? few[pick(rng)]
                                                          : pick(rng) == 0 ? 0.0f
                                                                           : uniform(rng);
    PolygonStorage mesh;
    RecordingOutput log;
    extract(mc, volume, mesh, &log);
    ASSERT_EQ(testmeshes::closedOrientedFault(mesh), "") << "volume " << run;
    ASSERT_GT(testmeshes::enclosedVolume(mesh), 0.0) << "volume " << run;
    ASSERT_FALSE(std::any_of(log.Lines.begin(), log.Lines.end(),
                             [](const std::string& l) { return l.rfind("Returning -1", 0) == 0; }));
    ASSERT_EQ(statistic(mc, "total"), 8 * 8 * 8);
    for (int s = 0; s < MarchingCubes33::SubcaseCount; ++s) reached[s] += mc.caseStatistics(s);
    pin = testmeshes::hashOf(mesh, pin);
  }
  // The meshes are compared byte for byte with reference results elsewhere: pinned here.
  EXPECT_EQ(pin, 0xf055fc07b6149043ull) << std::hex << "0x" << pin;
  EXPECT_EQ(capture.Text, "") << "no diagnostics with consistent tables";
  // With At = 0 on the reference edge, after the face tests have passed, these can never be selected.
  const std::set<std::string> unreachable = {"6.1.2", "7.4.2", "12.1.2", "13.5.2"};
  for (int s = 0; s < MarchingCubes33::SubcaseCount; ++s)
    EXPECT_EQ(reached[s] > 0, !unreachable.count(MarchingCubes33::SubcaseNames[s])) << MarchingCubes33::SubcaseNames[s];
}

// A checkerboard cuts every grid edge: 3 * 29 * 30 * 30 vertices, beyond the first buffer of
// 65536. The buffer grows keeping its records; a buffer that may not grow stops the run, closes
// the task and keeps the previous mesh; a volume too large to index is refused before allocating.
TEST(MarchingCubes33, VertexBufferGrowsOrStopsTheRunCleanly) {
  Volume volume(30, 30, 30, 1.0f);
  for (int z = 0; z < 30; ++z)
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 30; ++x) volume.Voxels[volume.index(x, y, z)].Distance = (x + y + z) % 2 ? -1.0f : 1.0f;
  PolygonStorage mesh, before;
  ProbeMC33 mc;
  extract(mc, volume, mesh);
  ASSERT_GE(mesh.Vertices.size(), 3u * 29 * 30 * 30);
  EXPECT_EQ(mesh.Vertices[70000].pos.x + mesh.Vertices[70000].pos.y + mesh.Vertices[70000].pos.z,
            std::floor(mesh.Vertices[70000].pos.x + mesh.Vertices[70000].pos.y + mesh.Vertices[70000].pos.z) + 0.5f)
      << "a record beyond the first buffer, at the middle of its grid edge";
  testmeshes::build(mesh, testmeshes::octahedron());
  before.copyContents(mesh);
  RecordingOutput log;
  mc.setStatusOutput(&log);
  mc.initialize();
  mc._maxVertexCapacity = 65536;
  EXPECT_THROW(mc.extract(), ProcessingError);
  EXPECT_FALSE(log.Busy) << "the task frame is closed";
  EXPECT_EQ(testmeshes::meshDifference(before, mesh), "");
  struct SizedOnly : GenericVolumeStorage {
    SizedOnly(int nx, int ny, int nz) { XSize = nx, YSize = ny, ZSize = nz; }
  };
  for (const SizedOnly& huge : {SizedOnly(2000, 2000, 2000), SizedOnly(1 << 20, 1 << 12, 1)}) {
    mc.setVolume(&huge);
    EXPECT_THROW(mc.initialize(), ProcessingError);
    EXPECT_EQ(mc.vertexCount(), 0);
  }
}
