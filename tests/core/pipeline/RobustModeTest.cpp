// The robust voxelization end to end: whatever the orientation, welding or polygon size of the
// input faces, and with holes below a voxel, a closed input comes out closed, consistently and
// outward oriented, with the genus of the clean input; overlapping bodies merge and a closed
// cavity stays.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "support/MeshVariants.h"
#include "support/RecordingOutput.h"

using namespace tessellor;

namespace {

const std::string MeshDir = std::string(TESSELLOR_SHARED_DIR) + "/meshes/";

struct Outcome {
  bool Closed = false;  // non-empty, closed and consistently oriented
  std::string Problem;
  int Euler = 0;
  int Surfaces = 0;      // connected pieces of the output
  double Volume = 0;     // signed, in the input's units: positive when oriented outward
  float VoxelSize = 0;   // in the input's units
  int FeatureCells = 0;  // volume cells marked as feature corner or edge
};

Outcome remesh(const PolygonStorage& input, int budget, VoxelizationMode mode, bool features = false) {
  auto c = std::make_unique<QuadDominantTessellor>();
  RecordingOutput log;
  c->setStatusOutput(&log);
  c->InputMesh.copyContents(input);
  EXPECT_TRUE(c->InputMesh.fitIntoVolume(50, 50, 50));
  c->setMaxVoxels(budget);
  c->setVoxelizationMode(mode);
  c->setDetectSharpFeatures(features);
  c->remesh();
  const PolygonStorage& out = c->getOutputMesh();
  Outcome o;
  int polygons = 0;
  std::vector<int> piece(out.Vertices.size());
  for (std::size_t v = 0; v < piece.size(); ++v) piece[v] = static_cast<int>(v);
  auto up = [&piece](int v) -> int& { return piece[static_cast<std::size_t>(v)]; };
  auto find = [&up](int v) {
    while (up(v) != v) v = up(v) = up(up(v));
    return v;
  };
  for (const VertexIDList& p : out.Polygons) {
    if (p.empty()) continue;
    ++polygons;
    const V3& a = out.Vertices[static_cast<std::size_t>(p[0])].pos;
    for (std::size_t k = 1; k < p.size(); ++k) {
      up(find(p[k])) = find(p[0]);
      if (k + 1 == p.size()) break;
      const V3& b = out.Vertices[static_cast<std::size_t>(p[k])].pos;
      const V3& d = out.Vertices[static_cast<std::size_t>(p[k + 1])].pos;
      o.Volume += (double(a.x) * (double(b.y) * d.z - double(b.z) * d.y) -
                   double(a.y) * (double(b.x) * d.z - double(b.z) * d.x) +
                   double(a.z) * (double(b.x) * d.y - double(b.y) * d.x)) /
                  6.0;
    }
  }
  for (std::size_t v = 0; v < piece.size(); ++v)
    if (!out.VIndex[v].empty() && find(static_cast<int>(v)) == static_cast<int>(v)) ++o.Surfaces;
  o.Closed = polygons > 0 && postfixtures::closedAndOriented(out, &o.Problem);
  o.Euler = postfixtures::eulerCharacteristic(out);
  o.VoxelSize = out.getScale();
  o.Volume *= std::pow(static_cast<double>(o.VoxelSize), 3.0);
  for (const VoxelData& v : c->Volume.Voxels) o.FeatureCells += v.FeatureType != 0 ? 1 : 0;
  return o;
}

bool read(const std::string& name, PolygonStorage& mesh) {
  if (!std::ifstream(MeshDir + name).good()) return false;
  PolygonStorageImportPLY importer;
  importer.import(MeshDir + name, mesh);
  return true;
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
  PolygonStorage clean;
  if (!read(GetParam().Name, clean)) GTEST_SKIP() << MeshDir << " is not available";
  const int budget = GetParam().Budget;
  const Outcome reference = remesh(clean, budget, VoxelizationMode::Robust);
  ASSERT_TRUE(reference.Closed) << reference.Problem;
  EXPECT_GT(reference.Volume, 0.0);
  EXPECT_EQ(reference.Surfaces, 1);
  bool quads = false;
  for (const VertexIDList& p : clean.Polygons) quads = quads || p.size() > 3;
  if (!quads) {
    const Outcome exact = remesh(clean, budget, VoxelizationMode::Exact);
    EXPECT_TRUE(exact.Closed) << exact.Problem;
    EXPECT_EQ(exact.Euler, reference.Euler) << "exact mode";
  }

  std::vector<testmeshes::MeshData> variants = {meshvariants::flipped(clean, 0.3), meshvariants::reversed(clean),
                                                meshvariants::soup(clean), meshvariants::pairedQuads(clean)};
  // Holes of one triangle each, every edge shorter than 0.9 voxel; coarse meshes have none.
  const testmeshes::MeshData holed = meshvariants::holes(clean, 0.9f * reference.VoxelSize, 5);
  if (holed.Polygons.size() < clean.Polygons.size()) variants.push_back(holed);
  for (const testmeshes::MeshData& variant : variants) {
    PolygonStorage mesh;
    testmeshes::build(mesh, variant);
    const Outcome o = remesh(mesh, budget, VoxelizationMode::Robust);
    EXPECT_TRUE(o.Closed) << variant.Name << ": " << o.Problem;
    EXPECT_EQ(o.Euler, reference.Euler) << variant.Name;
    EXPECT_GT(o.Volume, 0.0) << variant.Name;
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
  const testmeshes::MeshData b = testmeshes::icosphere({0.8f, 0.3f, 0.1f}, 1.0f, 3);
  const testmeshes::MeshData inner = testmeshes::icosphere({0, 0, 0}, 0.6f, 3);
  auto merged = [](const testmeshes::MeshData& x, testmeshes::MeshData y, bool flipSecond) {
    testmeshes::MeshData m = x;
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
    PolygonStorage overlap;
    testmeshes::build(overlap, merged(a, b, flip));
    const Outcome o = remesh(overlap, 100000, VoxelizationMode::Robust);
    EXPECT_TRUE(o.Closed) << o.Problem;
    EXPECT_EQ(o.Surfaces, 1);
    EXPECT_EQ(o.Euler, 2);
  }
  PolygonStorage hollow;
  testmeshes::build(hollow, merged(a, inner, false));
  const Outcome o = remesh(hollow, 100000, VoxelizationMode::Robust);
  EXPECT_TRUE(o.Closed) << o.Problem;
  EXPECT_EQ(o.Surfaces, 2);
  EXPECT_EQ(o.Euler, 4);
  const double shell = 4.0 / 3.0 * 3.14159265358979 * (1.0 - 0.6 * 0.6 * 0.6);
  EXPECT_NEAR(o.Volume, shell, 0.05 * shell);
}

// Sharp features are found on the repaired surface: a cube of quads, which the triangle modes
// cannot voxelize, gets its corners and edges marked, and a triangle soup (every edge an open one
// before welding) marks what its clean mesh marks.
TEST(RobustBodies, SharpFeaturesOnTheRepairedSurface) {
  PolygonStorage cube;
  testmeshes::build(cube, testmeshes::cube(-1.0f, 1.0f));
  const Outcome o = remesh(cube, 20000, VoxelizationMode::Robust, true);
  EXPECT_TRUE(o.Closed) << o.Problem;
  EXPECT_GT(o.FeatureCells, 12 * 10);
  PolygonStorage fandisk;
  if (!read("fandisk.ply", fandisk)) GTEST_SKIP() << MeshDir << " is not available";
  PolygonStorage soup;
  testmeshes::build(soup, meshvariants::soup(fandisk));
  const Outcome clean = remesh(fandisk, 100000, VoxelizationMode::Robust, true);
  const Outcome welded = remesh(soup, 100000, VoxelizationMode::Robust, true);
  EXPECT_GT(clean.FeatureCells, 500);
  EXPECT_NEAR(welded.FeatureCells, clean.FeatureCells, 0.02 * clean.FeatureCells);
}
