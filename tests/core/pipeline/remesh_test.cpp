// End-to-end remeshing: input mesh -> volume -> Marching Cubes mesh -> quad-dominant output.

#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "pipeline/RecordingOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string MeshDir = std::string(TESSELLOR_SHARED_DIR) + "/meshes/";

bool haveFile(const std::string& path) { return std::ifstream(path).good(); }

// The generated genus-1 input: a triangulated torus fine enough for the narrow band to follow it.
postfixtures::NamedMesh generatedTorus() { return postfixtures::torus(48, 24); }

// Reads (or builds) the input mesh and fits it into 50 x 50 x 50, as "Open" does.
void loadInput(QuadDominantTessellor& controller, const std::string& source, StatusOutput* log) {
  PolygonStorage& input = controller.getInputMesh();
  if (source == "torus (generated)") {
    const postfixtures::NamedMesh torus = generatedTorus();
    postfixtures::buildMesh(input, torus.Positions, torus.Polygons);
    input.computeBoundingBox();
  } else {
    PolygonStorageImportPLY importer;
    importer.setStatusOutput(log);
    input.setStatusOutput(log);
    importer.import(MeshDir + source, input);
  }
  ASSERT_TRUE(input.fitIntoVolume(50, 50, 50)) << source;
}

struct Measurement {
  bool McClosed = false;
  bool OutputClosed = false;
  int Polygons = 0;  // non-empty output polygons
  int Quads = 0;
  int BadPolygons = 0;  // non-empty with other than three or four corners
  int UsedVertices = 0;
  int Valence4 = 0;
  int InputEuler = 0;
  int McEuler = 0;
  int OutputEuler = 0;
  int FeatureVertices = 0;  // used output vertices with attr != 0
  int FeatureNearEdge = 0;  // of those, within 0.1 voxel of a sharp input edge
  bool Integrity = false;
  std::string Problem;
};

float distanceToSegment(const V3& p, const V3& a, const V3& b) {
  const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  const float len2 = dx * dx + dy * dy + dz * dz;
  float t = len2 > 0.0f ? ((p.x - a.x) * dx + (p.y - a.y) * dy + (p.z - a.z) * dz) / len2 : 0.0f;
  t = std::min(1.0f, std::max(0.0f, t));
  const float ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y, ez = a.z + t * dz - p.z;
  return std::sqrt(ex * ex + ey * ey + ez * ez);
}

// Share of the feature-marked output vertices that lie on a sharp edge of the input (both in the
// voxel frame): boundary edges and edges whose face normals have |cos| below psi.
void measureFeatureFidelity(QuadDominantTessellor& c, float psi, Measurement& m) {
  PolygonStorage& input = c.getInputMesh();
  std::vector<std::pair<V3, V3>> sharp;
  for (const auto& entry : input.EdgeIndex) {
    const EdgeEntryData& e = entry.second;
    bool isSharp = e.Second == -1;
    if (!isSharp) {
      const V3& n1 = input.Midpoints[e.First].n;
      const V3& n2 = input.Midpoints[e.Second].n;
      isSharp = std::fabs(n1.x * n2.x + n1.y * n2.y + n1.z * n2.z) < psi;
    }
    if (isSharp) sharp.emplace_back(input.Vertices[entry.first.Lower].pos, input.Vertices[entry.first.Upper].pos);
  }
  const PolygonStorage& out = c.getOutputMesh();
  for (std::size_t v = 0; v < out.Vertices.size(); ++v) {
    if (out.VIndex[v].empty() || out.Vertices[v].attr == 0) continue;
    ++m.FeatureVertices;
    float best = 1e30f;
    for (const auto& s : sharp) best = std::min(best, distanceToSegment(out.Vertices[v].pos, s.first, s.second));
    if (best <= 0.1f) ++m.FeatureNearEdge;
  }
}

Measurement remesh(const std::string& source, int maxVoxels, bool features) {
  Measurement m;
  auto controller = std::make_unique<QuadDominantTessellor>();
  RecordingOutput log;
  controller->setStatusOutput(&log);
  loadInput(*controller, source, &log);
  m.InputEuler = postfixtures::eulerCharacteristic(controller->getInputMesh());
  controller->setMaxVoxels(maxVoxels);
  controller->setDetectSharpFeatures(features);
  controller->remesh();

  const PolygonStorage& mc = controller->MCMesh;
  PolygonStorage& out = controller->getOutputMesh();
  m.McClosed = postfixtures::closedAndOriented(mc, &m.Problem);
  m.OutputClosed = postfixtures::closedAndOriented(out, &m.Problem);
  m.McEuler = postfixtures::eulerCharacteristic(mc);
  m.OutputEuler = postfixtures::eulerCharacteristic(out);
  for (const VertexIDList& polygon : out.Polygons) {
    if (polygon.empty()) continue;
    ++m.Polygons;
    m.Quads += polygon.size() == 4 ? 1 : 0;
    m.BadPolygons += polygon.size() < 3 || polygon.size() > 4 ? 1 : 0;
  }
  for (const VertexIDSet& around : out.VIndex) {
    if (around.empty()) continue;
    ++m.UsedVertices;
    m.Valence4 += around.size() == 4 ? 1 : 0;
  }
  if (features) measureFeatureFidelity(*controller, controller->getThresholdPsi(), m);
  out.setStatusOutput(nullptr);
  m.Integrity = out.checkIntegrity();
  return m;
}

std::string share(int part, int whole) {
  if (whole == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(part) / whole);
  return text;
}

void printRow(const std::string& source, int maxVoxels, bool features, const Measurement& m) {
  std::printf("| %-18s | %8d | %-8s | %-9s | %-13s | %8d | %5s | %9s | %-20s |\n", source.c_str(), maxVoxels,
              features ? "on" : "off", m.McClosed ? "yes" : "no", m.OutputClosed ? "yes" : "no", m.Polygons,
              share(m.Quads, m.Polygons).c_str(), share(m.Valence4, m.UsedVertices).c_str(),
              features
                  ? (share(m.FeatureNearEdge, m.FeatureVertices) + " of " + std::to_string(m.FeatureVertices)).c_str()
                  : "");
}

// "attr near sharp edge": share of the feature-marked output vertices within 0.1 voxel of a sharp
// input edge, and their number.
void printHeader() {
  std::printf(
      "| mesh               |   voxels | features | MC closed | output closed | polygons | quads | valence 4 |"
      " attr near sharp edge |\n");
}

struct ClosedCase {
  std::string Source;
  int MaxVoxels;
  int Euler;
};

class RemeshClosedMesh : public ::testing::TestWithParam<ClosedCase> {};

}  // namespace

// Smooth closed meshes of known genus: the extracted surface and the output are closed and
// consistently oriented, the output is made of triangles and quads with current indices, and
// neither stage changes the topology.
TEST_P(RemeshClosedMesh, StaysClosedOrientedAndOfTheSameGenus) {
  const ClosedCase& param = GetParam();
  if (param.Source.find("generated") == std::string::npos && !haveFile(MeshDir + param.Source))
    GTEST_SKIP() << MeshDir << " is not available";
  const Measurement m = remesh(param.Source, param.MaxVoxels, false);
  printHeader();
  printRow(param.Source, param.MaxVoxels, false, m);
  EXPECT_EQ(m.InputEuler, param.Euler) << "input mesh";
  EXPECT_TRUE(m.McClosed) << "Marching Cubes mesh: " << m.Problem;
  EXPECT_TRUE(m.OutputClosed) << "output mesh: " << m.Problem;
  EXPECT_EQ(m.McEuler, param.Euler) << "Marching Cubes mesh";
  EXPECT_EQ(m.OutputEuler, param.Euler) << "output mesh";
  EXPECT_GT(m.Polygons, 500);
  EXPECT_EQ(m.BadPolygons, 0) << "polygons with other than three or four corners";
  EXPECT_TRUE(m.Integrity) << "checkIntegrity";
}

INSTANTIATE_TEST_SUITE_P(SmoothMeshes, RemeshClosedMesh,
                         ::testing::Values(ClosedCase{"sphere.ply", 100000, 2}, ClosedCase{"sphere.ply", 1000000, 2},
                                           ClosedCase{"knot.ply", 100000, 0}, ClosedCase{"knot.ply", 1000000, 0},
                                           ClosedCase{"torus (generated)", 100000, 0},
                                           ClosedCase{"torus (generated)", 1000000, 0}),
                         [](const ::testing::TestParamInfo<ClosedCase>& info) {
                           std::string name = info.param.Source.substr(0, info.param.Source.find_first_of(". "));
                           return name + "_" + std::to_string(info.param.MaxVoxels);
                         });

// The output is placed where the input was: the dual takes the extracted mesh's frame, so the
// output's box in file coordinates matches the input file's to within a voxel or so.
TEST(Remesh, OutputLiesInTheInputFilesFrame) {
  auto controller = std::make_unique<QuadDominantTessellor>();
  RecordingOutput log;
  controller->setStatusOutput(&log);
  loadInput(*controller, "torus (generated)", &log);
  controller->setMaxVoxels(100000);
  controller->remesh();
  const PolygonStorage& in = controller->getInputMesh();
  const PolygonStorage& out = controller->getOutputMesh();
  EXPECT_EQ(out.getScale(), in.getScale());
  V3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
  for (std::size_t v = 0; v < out.Vertices.size(); ++v) {
    if (out.VIndex[v].empty()) continue;
    const V3& p = out.Vertices[v].pos;
    lo = V3{std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = V3{std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  const float voxel = in.getScale();
  // Generated torus: radii 2 and 0.7 around the origin.
  EXPECT_NEAR(lo.x * out.getScale() + out.getOffset().x, -2.7f, voxel);
  EXPECT_NEAR(hi.x * out.getScale() + out.getOffset().x, 2.7f, voxel);
  EXPECT_NEAR(lo.z * out.getScale() + out.getOffset().z, -0.7f, voxel);
  EXPECT_NEAR(hi.z * out.getScale() + out.getOffset().z, 0.7f, voxel);
  // Every stage of both halves logged its own task, in order.
  const std::vector<std::string> expected{
      "Voxelization", "Marching", "Constructing Dual Surface", "Reducing polygon degree", "Removing rhombus polygons",
      "Smoothing"};
  EXPECT_EQ(log.Tasks, expected);
}

// Every mesh of the shared set, with and without sharp features: whatever the band leaves of the
// surface, the output is made of triangles and quads with current indices. Prints the measured
// table (closed or not, share of quads, share of valence-4 vertices).
TEST(Remesh, MeasurementOverTheSharedMeshes) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(MeshDir.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ply") == 0) names.push_back(name);
    }
    closedir(dir);
  }
  if (names.empty()) GTEST_SKIP() << MeshDir << " is not available";
  std::sort(names.begin(), names.end());
  names.push_back("torus (generated)");
  printHeader();
  for (const std::string& name : names) {
    for (bool features : {false, true}) {
      const Measurement m = remesh(name, 100000, features);
      printRow(name, 100000, features, m);
      EXPECT_EQ(m.BadPolygons, 0) << name;
      EXPECT_TRUE(m.Integrity) << name;
    }
  }
}
