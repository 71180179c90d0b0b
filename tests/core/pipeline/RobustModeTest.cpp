// The robust voxelization end to end: whatever the orientation, welding or polygon size of the
// input faces, and with holes below a voxel, a closed input comes out closed, consistently and
// outward oriented, with the genus of the clean input; overlapping bodies merge and a closed
// cavity stays. Measured by the benchmarks' harness.

#include "RemeshMeasurement.h"
#include "tessellor/Tessellor.h"
#include "support/MeshVariants.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace tessellor;

namespace {

const std::string MeshDir = testfiles::sharedDir() + "/meshes/";

remeshmeasure::Measurement robust(const testmeshes::MeshData* data, const std::string& path, int budget,
                                  bool features = false, VoxelizationMode mode = VoxelizationMode::Robust) {
  auto c = remeshmeasure::remeshed(path, budget, features, mode, nullptr, data);
  return remeshmeasure::measure(*c, false);
}

struct Case {
  std::string Name;
  int Budget;
};

class RobustVariants : public ::testing::TestWithParam<Case> {};

}  // namespace

// Each closed shared mesh and its messy variants. The clean mesh's robust result is closed,
// outward and of the exact mode's closedness and genus (where the exact mode runs: it refuses
// quads); every variant gives a closed, outward surface of that Euler characteristic.
TEST_P(RobustVariants, ClosedOutwardAndOfTheCleanGenus) {
  const std::string path = MeshDir + GetParam().Name;
  if (!testfiles::fileExists(path)) GTEST_SKIP() << MeshDir << " is not available";
  const int budget = GetParam().Budget;
  const remeshmeasure::Measurement reference = robust(nullptr, path, budget);
  ASSERT_TRUE(reference.OutputClosed && reference.Polygons > 0) << reference.Problem;
  EXPECT_GT(reference.OutputVolume, 0.0);
  EXPECT_EQ(reference.Surfaces, 1);
  PolygonStorage clean;
  readMesh(path, clean);
  if (std::all_of(clean.Polygons.begin(), clean.Polygons.end(), [](const VertexIDList& p) { return p.size() == 3; })) {
    const remeshmeasure::Measurement exact = robust(nullptr, path, budget, false, VoxelizationMode::Exact);
    EXPECT_TRUE(exact.OutputClosed) << exact.Problem;
    EXPECT_EQ(exact.OutputEuler, reference.OutputEuler) << "exact mode";
  }
  std::vector<testmeshes::MeshData> variants = {meshvariants::flipped(clean, 0.3), meshvariants::reversed(clean),
                                                meshvariants::soup(clean), meshvariants::pairedQuads(clean)};
  // Holes of one triangle each, every edge shorter than 0.9 voxel; coarse meshes have none.
  const testmeshes::MeshData holed = meshvariants::holes(clean, 0.9f * reference.VoxelSize, 5);
  if (holed.Polygons.size() < clean.Polygons.size()) variants.push_back(holed);
  for (const testmeshes::MeshData& variant : variants) {
    const remeshmeasure::Measurement o = robust(&variant, "", budget);
    EXPECT_TRUE(o.OutputClosed && o.Polygons > 0) << variant.Name << ": " << o.Problem;
    EXPECT_EQ(o.OutputEuler, reference.OutputEuler) << variant.Name;
    EXPECT_GT(o.OutputVolume, 0.0) << variant.Name;
  }
}

// At 10^6 only the meshes that the classic voxelizer opens or whose thin parts stress the band.
INSTANTIATE_TEST_SUITE_P(
    SharedMeshes, RobustVariants,
    ::testing::Values(Case{"bunny.ply", 100000}, Case{"fandisk.ply", 100000}, Case{"joint.ply", 100000},
                      Case{"knot.ply", 100000}, Case{"sphere.ply", 100000}, Case{"cube_quad.ply", 100000},
                      Case{"torus_quad.ply", 100000}, Case{"joint.ply", 1000000}, Case{"knot.ply", 1000000}),
    [](const ::testing::TestParamInfo<Case>& info) {
      return info.param.Name.substr(0, info.param.Name.find('.')) + "_" + std::to_string(info.param.Budget);
    });

// Two unit spheres that overlap make one solid, their union, in whatever orientation each comes;
// a hollow ball given as two concentric spheres, both facing outward, keeps its cavity: two
// closed surfaces with the shell's volume between them.
TEST(RobustBodies, OverlapMergesAndANestedShellIsACavity) {
  const testmeshes::MeshData a = testmeshes::icosphere({0, 0, 0}, 1.0f, 3);
  auto merged = [&a](const testmeshes::MeshData& y, bool flipSecond) {
    testmeshes::MeshData m = a;
    const int offset = static_cast<int>(m.Positions.size());
    m.Positions.insert(m.Positions.end(), y.Positions.begin(), y.Positions.end());
    for (VertexIDList p : y.Polygons) {
      for (int& v : p) v += offset;
      if (flipSecond) std::reverse(p.begin(), p.end());
      m.Polygons.push_back(p);
    }
    return m;
  };
  for (bool flip : {false, true}) {
    const testmeshes::MeshData overlap = merged(testmeshes::icosphere({0.8f, 0.3f, 0.1f}, 1.0f, 3), flip);
    const remeshmeasure::Measurement o = robust(&overlap, "", 100000);
    EXPECT_TRUE(o.OutputClosed) << o.Problem;
    EXPECT_EQ(o.Surfaces, 1);
    EXPECT_EQ(o.OutputEuler, 2);
  }
  const testmeshes::MeshData hollow = merged(testmeshes::icosphere({0, 0, 0}, 0.6f, 3), false);
  const remeshmeasure::Measurement o = robust(&hollow, "", 100000);
  EXPECT_TRUE(o.OutputClosed) << o.Problem;
  EXPECT_EQ(o.Surfaces, 2);
  EXPECT_EQ(o.OutputEuler, 4);
  const double shell = 4.0 / 3.0 * 3.14159265358979 * (1.0 - 0.6 * 0.6 * 0.6);
  EXPECT_NEAR(o.OutputVolume * std::pow(double(o.VoxelSize), 3.0), shell, 0.05 * shell);
}

// Sharp features are found on the repaired surface: a cube of quads, which the triangle modes
// cannot voxelize, gets its corners and edges marked, and a triangle soup (every edge an open one
// before welding) marks what its clean mesh marks.
TEST(RobustBodies, SharpFeaturesOnTheRepairedSurface) {
  const testmeshes::MeshData cube = testmeshes::cube(-1.0f, 1.0f);
  const remeshmeasure::Measurement o = robust(&cube, "", 20000, true);
  EXPECT_TRUE(o.OutputClosed) << o.Problem;
  EXPECT_GT(o.FeatureCells, 12 * 10);
  if (!testfiles::fileExists(MeshDir + "fandisk.ply")) GTEST_SKIP() << MeshDir << " is not available";
  PolygonStorage fandisk;
  readMesh(MeshDir + "fandisk.ply", fandisk);
  const testmeshes::MeshData soup = meshvariants::soup(fandisk);
  const remeshmeasure::Measurement clean = robust(nullptr, MeshDir + "fandisk.ply", 100000, true);
  const remeshmeasure::Measurement welded = robust(&soup, "", 100000, true);
  EXPECT_GT(clean.FeatureCells, 500);
  EXPECT_NEAR(welded.FeatureCells, clean.FeatureCells, 0.02 * clean.FeatureCells);
}
