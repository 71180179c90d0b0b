// End-to-end remeshing: input mesh -> volume -> Marching Cubes mesh -> quad-dominant output.

#include "core/pipeline/RemeshMeasurement.h"
#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "support/RecordingOutput.h"
#include "base/TessellorError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace tessellor;

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

using remeshmeasure::Measurement;

Measurement remesh(const std::string& source, int maxVoxels, bool features) {
  auto controller = std::make_unique<QuadDominantTessellor>();
  RecordingOutput log;
  controller->setStatusOutput(&log);
  loadInput(*controller, source, &log);
  controller->setMaxVoxels(maxVoxels);
  controller->setDetectSharpFeatures(features);
  controller->remesh();
  return remeshmeasure::measure(*controller, features);
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
  remeshmeasure::printHeader();
  remeshmeasure::printRow(param.Source, param.MaxVoxels, m);
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
  remeshmeasure::printHeader();
  for (const std::string& name : names) {
    for (bool features : {false, true}) {
      // The default mode voxelizes triangles only and refuses the meshes made of quads.
      if (name.find("_quad") != std::string::npos) {
        EXPECT_THROW(remesh(name, 100000, features), ProcessingError) << name;
        continue;
      }
      const Measurement m = remesh(name, 100000, features);
      remeshmeasure::printRow(name, 100000, m);
      EXPECT_EQ(m.BadPolygons, 0) << name;
      EXPECT_TRUE(m.Integrity) << name;
    }
  }
}
