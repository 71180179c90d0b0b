#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "base/TessellorError.h"
#include "pipeline/QuadDominantTessellor.h"
#include "support/RecordingOutput.h"
#include "support/TestMeshes.h"

using namespace tessellor;

namespace {

// A box from (0,0,0) to (sx, sy, sz), triangulated and outward oriented, fitted as "Open" does.
void box(PolygonStorage& m, float sx, float sy, float sz, bool fit = true) {
  testmeshes::MeshData data = testmeshes::triangulated(testmeshes::cube());
  for (V3& p : data.Positions) p = V3{p.x * sx, p.y * sy, p.z * sz};
  testmeshes::build(m, data);
  if (fit) m.fitIntoVolume(50, 50, 50);
}

std::string refusal(QuadDominantTessellor& c) {
  try {
    c.volumeFromInputMesh();
  } catch (const ProcessingError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(QuadDominantTessellor, VolumeSizeWorkedCases) {
  const struct {
    float Ex, Ey, Ez;
    int Budget, Nx, Ny, Nz;
  } cases[] = {{46, 46, 46, 100000, 46, 46, 46}, {46, 23, 11.5f, 100000, 92, 46, 23}};
  int nx = 0, ny = 0, nz = 0;
  for (const auto& c : cases) {
    QuadDominantTessellor::volumeSize(c.Ex, c.Ey, c.Ez, c.Budget, nx, ny, nz);
    EXPECT_EQ(nx * 10000 + ny * 100 + nz, c.Nx * 10000 + c.Ny * 100 + c.Nz) << c.Ex << " " << c.Ey << " " << c.Ez;
  }
  // The budget bounds the product and the proportions follow the mesh.
  for (int budget : {1000, 54321, 1000000, 12345678}) {
    QuadDominantTessellor::volumeSize(46, 23, 11.5f, budget, nx, ny, nz);
    EXPECT_LE(static_cast<long long>(nx) * ny * nz, budget);
    EXPECT_GE(static_cast<long long>(nx + 1) * (ny + 1) * (nz + 1), budget);
    EXPECT_NEAR(double(nx) / ny, 2.0, 0.2);
  }
  // Extents and budgets that give no usable sizes; 125^(1/3) truncates to 4 and the advice says so.
  const struct {
    float Ex, Ey, Ez;
    int Budget;
    const char* Message;
  } refused[] = {
      {1e-20f, 1e-20f, 1e-20f, 100000, "give no finite volume"},
      {1e20f, 1e20f, 1e20f, 100000, "give no finite volume"},
      {1e15f, 1e-10f, 1e-10f, 100000, "Cannot size the volume"},
      {NAN, 1, 1, 100000, "not a finite number"},
      {1, 1, 0, 100000, "no extent along z"},
      {1, 1, 1, 0, "budget 0 is not positive"},
      {1, 1, 1, 100, "4 voxels along x"},
      {1, 1, 1, 125, "only 4 voxels along x (at least 5 needed); a voxel budget of at least 126 gives it 5"}};
  for (const auto& r : refused) {
    try {
      QuadDominantTessellor::volumeSize(r.Ex, r.Ey, r.Ez, r.Budget, nx, ny, nz);
      ADD_FAILURE() << r.Message;
    } catch (const ProcessingError& e) {
      EXPECT_NE(std::string(e.what()).find(r.Message), std::string::npos) << e.what();
    }
  }
}

TEST(QuadDominantTessellor, MeshesThatCannotBeSizedAreRefusedAndNothingChanges) {
  QuadDominantTessellor c;
  RecordingOutput out;
  c.setStatusOutput(&out);
  EXPECT_NE(refusal(c).find("no vertices"), std::string::npos);
  box(c.InputMesh, 2, 2, 2);
  c.volumeFromInputMesh();
  const std::vector<VoxelData> volume = c.Volume.Voxels;
  for (bool flat : {true, false}) {
    if (flat)
      testmeshes::build(c.InputMesh, {"flat", {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}, {{0, 1, 2}}, 1});
    else
      box(c.InputMesh, 46, 46, 1, false);  // 3 voxels on z at the default budget: no room for the border
    PolygonStorage before;
    before.copyContents(c.InputMesh);
    const std::string message = refusal(c);
    EXPECT_NE(message.find(flat ? "no extent along z" : "only 3 voxels along z"), std::string::npos) << message;
    EXPECT_EQ(testmeshes::meshDifference(before, c.InputMesh), "");
    EXPECT_EQ(c.Volume.Voxels.size(), volume.size());
    EXPECT_EQ(c.Volume.XSize, 46);
  }
  // The thin box's message names the smallest budget that gives it 5 voxels (about 264500).
  const std::string message = refusal(c);
  const long budget =
      std::strtol(message.c_str() + message.find("at least ", message.find("5 needed")) + 9, nullptr, 10);
  EXPECT_NEAR(budget, 264500, 2) << message;
  int nx, ny, nz;
  EXPECT_THROW(QuadDominantTessellor::volumeSize(46, 46, 1, int(budget) - 1, nx, ny, nz), ProcessingError);
  c.setMaxVoxels(int(budget));
  c.volumeFromInputMesh();
  EXPECT_EQ(c.Volume.ZSize, 5);
}

// Quads only: the classic and exact modes refuse them before anything changes, pointing to the
// robust mode, which triangulates them. The octahedron's creases (|cos| = 1/3): three closed lines,
// each with one corner where it starts and ends (lines closing at one vertex share its cell), edge
// cells along them, and feature points in the extracted midpoints; without detection none.
TEST(QuadDominantTessellor, QuadsAreSkippedAndSharpFeaturesReachTheExtractedMidpoints) {
  QuadDominantTessellor c;
  RecordingOutput out;
  c.setStatusOutput(&out);
  testmeshes::build(c.InputMesh, testmeshes::cube());
  c.InputMesh.fitIntoVolume(50, 50, 50);
  const V3 fitted = c.InputMesh.Vertices[7].pos;
  for (VoxelizationMode mode : {VoxelizationMode::Classic, VoxelizationMode::Exact}) {
    c.setVoxelizationMode(mode);
    EXPECT_NE(refusal(c).find("--mode robust"), std::string::npos);
    EXPECT_TRUE(testmeshes::sameBits(c.InputMesh.Vertices[7].pos, fitted) && c.Volume.Voxels.empty());
  }
  c.setVoxelizationMode(VoxelizationMode::Robust);
  c.remesh();
  EXPECT_TRUE(out.hasLine(" 0 Polygons skipped"));
  EXPECT_EQ(testmeshes::closedOrientedFault(c.MCMesh), "");
  EXPECT_EQ(testmeshes::eulerCharacteristic(c.OutputMesh), 2);
  c.setVoxelizationMode(VoxelizationMode::Classic);
  for (bool detect : {false, true}) {
    testmeshes::build(c.InputMesh, testmeshes::octahedron());
    c.InputMesh.fitIntoVolume(50, 50, 50);
    c.setMaxVoxels(30000);
    c.setDetectSharpFeatures(detect);
    c.setThresholdPsi(0.34f);
    c.remesh();
    int corners = 0, edges = 0, marked = 0;
    for (const VoxelData& v : c.Volume.Voxels) {
      corners += v.FeatureType == 2;
      edges += v.FeatureType == 1;
    }
    for (const Vertex& mid : c.MCMesh.Midpoints) marked += mid.attr != 0;
    std::set<int> closing;
    for (const VertexIDList& line : c.Features.FeatureLines) closing.insert(line.front());
    EXPECT_EQ(c.Features.FeatureLines.size(), detect ? 3u : 0u);
    EXPECT_EQ(corners, static_cast<int>(closing.size()));
    EXPECT_EQ(edges > 50, detect);
    EXPECT_EQ(marked > 0, detect);
  }
}
