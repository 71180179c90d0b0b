// Remeshing with the exact-distance voxelization on real closed meshes whose triangles are far
// from right-angled: the surface comes out closed, consistently oriented and of the input's genus.
// The default mode's results on the same inputs are printed next to them.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/postprocess/MeshFixtures.h"
#include "core/volume/ReferenceDistance.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "support/RecordingOutput.h"

using namespace tessellor;

namespace {

const std::string MeshDir = std::string(TESSELLOR_SHARED_DIR) + "/meshes/";

bool haveFile(const std::string& path) { return std::ifstream(path).good(); }

// A controller with the named shared mesh imported and fitted into 50 x 50 x 50, as "Open" does.
std::unique_ptr<QuadDominantTessellor> loaded(const std::string& name, RecordingOutput& log) {
  auto controller = std::make_unique<QuadDominantTessellor>();
  EXPECT_EQ(controller->getVoxelizationMode(), VoxelizationMode::Classic) << "the controller starts classic";
  controller->setStatusOutput(&log);
  PolygonStorageImportPLY importer;
  importer.setStatusOutput(&log);
  importer.import(MeshDir + name, controller->getInputMesh());
  EXPECT_TRUE(controller->getInputMesh().fitIntoVolume(50, 50, 50)) << name;
  return controller;
}

struct Outcome {
  int InputEuler = 0;
  bool McClosed = false, OutputClosed = false;
  int McEuler = 0, OutputEuler = 0;
  int Polygons = 0, Quads = 0, BadPolygons = 0;
  bool Integrity = false;
  std::string Problem;
  bool LoggedMode = false;
};

Outcome remesh(const std::string& name, int maxVoxels, bool exact) {
  RecordingOutput log;
  auto controller = loaded(name, log);
  Outcome o;
  o.InputEuler = postfixtures::eulerCharacteristic(controller->getInputMesh());
  controller->setMaxVoxels(maxVoxels);
  controller->setVoxelizationMode(exact ? VoxelizationMode::Exact : VoxelizationMode::Classic);
  controller->remesh();
  o.LoggedMode = log.hasLine("Distance mode: exact");
  const PolygonStorage& mc = controller->MCMesh;
  PolygonStorage& out = controller->getOutputMesh();
  std::string mcProblem, outProblem;
  o.McClosed = postfixtures::closedAndOriented(mc, &mcProblem);
  o.OutputClosed = postfixtures::closedAndOriented(out, &outProblem);
  o.Problem = "Marching Cubes mesh: " + mcProblem + "; output: " + outProblem;
  o.McEuler = postfixtures::eulerCharacteristic(mc);
  o.OutputEuler = postfixtures::eulerCharacteristic(out);
  for (const VertexIDList& polygon : out.Polygons) {
    if (polygon.empty()) continue;
    ++o.Polygons;
    o.Quads += polygon.size() == 4 ? 1 : 0;
    o.BadPolygons += polygon.size() < 3 || polygon.size() > 4 ? 1 : 0;
  }
  out.setStatusOutput(nullptr);
  o.Integrity = out.checkIntegrity();
  return o;
}

void printRow(const std::string& name, int maxVoxels, const char* mode, const Outcome& o) {
  std::printf("| %-9s | %8d | %-9s | %6d | %-9s | %8d | %-13s | %9d | %8d | %5.3f |\n", name.c_str(), maxVoxels, mode,
              o.InputEuler, o.McClosed ? "yes" : "no", o.McEuler, o.OutputClosed ? "yes" : "no", o.OutputEuler,
              o.Polygons, o.Polygons ? static_cast<double>(o.Quads) / o.Polygons : 0.0);
}

void printHeader() {
  std::printf(
      "| mesh      |   voxels | distance  | input  | MC closed | MC Euler | output closed | out Euler | polygons | "
      "quads |\n");
}

struct Case {
  std::string Name;
  int MaxVoxels;
  int Euler;
};

class ExactDistanceRemesh : public ::testing::TestWithParam<Case> {};

}  // namespace

// Closed in, closed out: the output is closed, consistently oriented and of the input's Euler
// characteristic, made of triangles and quads with current indices. The Marching Cubes mesh is
// printed, not asserted: a lattice point 1 to 1.9 voxels from the surface lies outside the box of
// its nearest triangle and can take a farther triangle's distance and side (on the joint at 10^6
// voxels one such point leaves a 4-edge hole, which the dual closes).
TEST_P(ExactDistanceRemesh, ClosedOrientedAndOfTheInputsGenus) {
  const Case& param = GetParam();
  if (!haveFile(MeshDir + param.Name)) GTEST_SKIP() << MeshDir << " is not available";
  const Outcome exact = remesh(param.Name, param.MaxVoxels, true);
  const Outcome plain = remesh(param.Name, param.MaxVoxels, false);
  printHeader();
  printRow(param.Name, param.MaxVoxels, "exact", exact);
  printRow(param.Name, param.MaxVoxels, "default", plain);

  EXPECT_EQ(exact.InputEuler, param.Euler) << "input mesh";
  EXPECT_TRUE(exact.OutputClosed) << exact.Problem;
  EXPECT_EQ(exact.OutputEuler, exact.InputEuler) << "output mesh";
  EXPECT_GT(exact.Polygons, 500);
  EXPECT_EQ(exact.BadPolygons, 0);
  EXPECT_TRUE(exact.Integrity) << "checkIntegrity";
  EXPECT_TRUE(exact.LoggedMode) << "the voxelization log names the exact mode";
  EXPECT_FALSE(plain.LoggedMode) << "the default mode's log is unchanged";
}

INSTANTIATE_TEST_SUITE_P(SharedMeshes, ExactDistanceRemesh,
                         ::testing::Values(Case{"joint.ply", 100000, -2}, Case{"joint.ply", 1000000, -2},
                                           Case{"knot.ply", 100000, 0}, Case{"knot.ply", 1000000, 0}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.Name.substr(0, info.param.Name.find('.')) + "_" +
                                  std::to_string(info.param.MaxVoxels);
                         });

// The volume of the joint at two budgets, fitted as the pipeline fits it: every lattice point within one voxel
// of the mesh (so inside the box of its nearest triangle) holds its distance to the mesh, found by
// brute force, to within 1e-5, with the sign of the side it lies on (by winding number); no
// lattice point with a value holds less than its distance to the mesh. The default mode's misses
// on the same lattice points are printed.
TEST(ExactDistanceRemeshField, JointLatticePointsNearTheSurfaceHoldTheirDistance) {
  if (!haveFile(MeshDir + "joint.ply")) GTEST_SKIP() << MeshDir << " is not available";
  struct Result {
    int Near = 0, Missing = 0, WrongSign = 0, Off = 0, Valued = 0, BelowMesh = 0;
    double MaxError = 0;
  };
  for (int budget : {100000, 1000000}) {
    Result results[2];
    // Inside or outside per lattice point (1 / 0; -1 not yet known): both modes fit the mesh alike.
    std::vector<signed char> insideCache;
    for (int mode = 0; mode < 2; ++mode) {
      RecordingOutput log;
      auto controller = loaded("joint.ply", log);
      controller->setMaxVoxels(budget);
      controller->setVoxelizationMode(mode == 0 ? VoxelizationMode::Exact : VoxelizationMode::Classic);
      controller->volumeFromInputMesh();
      const PolygonStorage& mesh = controller->getInputMesh();
      const VolumeStorageDF& volume = controller->Volume;

      // Distance to the mesh by brute force over every triangle within 2 voxels: each triangle
      // visits the lattice points of its box widened by 2 on every side.
      const int size[3] = {volume.getXSize(), volume.getYSize(), volume.getZSize()};
      std::vector<double> meshDistance(volume.Voxels.size(), 1e300);
      for (const VertexIDList& t : mesh.Polygons) {
        const V3* p[3];
        int lo[3] = {INT_MAX, INT_MAX, INT_MAX}, hi[3] = {INT_MIN, INT_MIN, INT_MIN};
        for (int k = 0; k < 3; ++k) {
          p[k] = &mesh.Vertices[static_cast<std::size_t>(t[static_cast<std::size_t>(k)])].pos;
          const float v[3] = {p[k]->x, p[k]->y, p[k]->z};
          for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min(lo[axis], std::max(0, static_cast<int>(std::floor(v[axis])) - 2));
            hi[axis] = std::max(hi[axis], std::min(size[axis] - 1, static_cast<int>(std::ceil(v[axis])) + 2));
          }
        }
        for (int x = lo[0]; x <= hi[0]; ++x)
          for (int y = lo[1]; y <= hi[1]; ++y)
            for (int z = lo[2]; z <= hi[2]; ++z) {
              const double q[3] = {double(x), double(y), double(z)};
              double& d = meshDistance[volume.index(x, y, z)];
              d = std::min(d, fixtures::referenceDistance(q, *p[0], *p[1], *p[2]));
            }
      }
      Result& r = results[mode];
      insideCache.resize(volume.Voxels.size(), -1);
      for (int x = 0; x < size[0]; ++x)
        for (int y = 0; y < size[1]; ++y)
          for (int z = 0; z < size[2]; ++z) {
            const double q[3] = {double(x), double(y), double(z)};
            const double d = meshDistance[volume.index(x, y, z)];
            const float stored = volume.Voxels[volume.index(x, y, z)].Distance;
            if (stored != NoValue) {
              ++r.Valued;
              if (std::fabs(stored) < d - 1e-5) ++r.BelowMesh;
            }
            if (d >= 1.0) continue;
            ++r.Near;
            if (stored == NoValue) {
              ++r.Missing;
              continue;
            }
            const double error = std::fabs(std::fabs(stored) - d);
            r.MaxError = std::max(r.MaxError, error);
            if (error > 1e-5) ++r.Off;
            // The joint is oriented outward: positive outside, negative inside.
            signed char& inside = insideCache[volume.index(x, y, z)];
            if (inside < 0) inside = fixtures::windingNumber(mesh, q) > 0.5 ? 1 : 0;
            if (d > 1e-4 && (stored > 0) == (inside == 1)) ++r.WrongSign;
          }
    }
    std::printf("joint at %d voxels, lattice points within 1 voxel of the mesh:\n", budget);
    std::printf("  mode       points  no value  off by > 1e-5  max error  wrong sign | valued  below mesh distance\n");
    for (int mode = 0; mode < 2; ++mode) {
      const Result& r = results[mode];
      std::printf("  %-9s  %6d  %8d  %13d  %9.2e  %10d | %6d  %6d\n", mode == 0 ? "exact" : "default", r.Near,
                  r.Missing, r.Off, r.MaxError, r.WrongSign, r.Valued, r.BelowMesh);
    }
    const Result& exact = results[0];
    EXPECT_GT(exact.Near, 3000);
    EXPECT_EQ(exact.Missing, 0);
    EXPECT_EQ(exact.Off, 0);
    EXPECT_LE(exact.MaxError, 1e-5);
    EXPECT_EQ(exact.WrongSign, 0);
    EXPECT_EQ(exact.BelowMesh, 0);
  }
}
