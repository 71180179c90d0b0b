#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "core/postprocess/MeshFixtures.h"
#include "core/volume/VoxelizerFixtures.h"
#include "pipeline/QuadDominantTessellor.h"
#include "support/RecordingOutput.h"
#include "base/TessellorError.h"

using namespace tessellor;

using fixtures::vertex;

namespace {

// A box from (0,0,0) to (sx, sy, sz), outward oriented, fitted as the "Open" command does.
void box(PolygonStorage& m, float sx, float sy, float sz, bool fit = true) {
  m.clear();
  for (int i = 0; i < 8; ++i) vertex(m, (i & 1) ? sx : 0.0f, (i & 2) ? sy : 0.0f, (i & 4) ? sz : 0.0f);
  const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& f : faces) {
    m.addTriangle(f[0], f[1], f[2]);
    m.addTriangle(f[0], f[2], f[3]);
  }
  fixtures::finish(m);
  if (fit) {
    ASSERT_TRUE(m.fitIntoVolume(50, 50, 50));
  }
}

struct Snapshot {
  std::vector<Vertex> Vertices;
  float Scale;
  V3 Offset, BBoxMin, BBoxMax;
  int Sizes[3];
  std::size_t Voxels;
  explicit Snapshot(const QuadDominantTessellor& c)
      : Vertices(c.InputMesh.Vertices),
        Scale(c.InputMesh.Scale),
        Offset(c.InputMesh.Offset),
        BBoxMin(c.InputMesh.BBoxMin),
        BBoxMax(c.InputMesh.BBoxMax),
        Sizes{c.Volume.XSize, c.Volume.YSize, c.Volume.ZSize},
        Voxels(c.Volume.Voxels.size()) {}
  void expectSame(const QuadDominantTessellor& c) const {
    ASSERT_EQ(Vertices.size(), c.InputMesh.Vertices.size());
    for (std::size_t i = 0; i < Vertices.size(); ++i) {
      EXPECT_EQ(Vertices[i].pos.x, c.InputMesh.Vertices[i].pos.x);
      EXPECT_EQ(Vertices[i].pos.z, c.InputMesh.Vertices[i].pos.z);
    }
    EXPECT_EQ(Scale, c.InputMesh.Scale);
    EXPECT_EQ(Offset.x, c.InputMesh.Offset.x);
    EXPECT_EQ(BBoxMax.y, c.InputMesh.BBoxMax.y);
    EXPECT_EQ(Sizes[0], c.Volume.XSize);
    EXPECT_EQ(Sizes[2], c.Volume.ZSize);
    EXPECT_EQ(Voxels, c.Volume.Voxels.size());
  }
};

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
  int nx = 0, ny = 0, nz = 0;
  QuadDominantTessellor::volumeSize(46, 46, 46, 100000, nx, ny, nz);
  EXPECT_EQ(nx, 46);
  EXPECT_EQ(ny, 46);
  EXPECT_EQ(nz, 46);
  QuadDominantTessellor::volumeSize(46, 23, 11.5f, 100000, nx, ny, nz);
  EXPECT_EQ(nx, 92);
  EXPECT_EQ(ny, 46);
  EXPECT_EQ(nz, 23);
  // The budget bounds the product and the proportions follow the mesh.
  for (int budget : {1000, 54321, 100000, 1000000, 12345678}) {
    QuadDominantTessellor::volumeSize(46, 23, 11.5f, budget, nx, ny, nz);
    EXPECT_LE(static_cast<long long>(nx) * ny * nz, budget);
    EXPECT_GE(static_cast<long long>(nx + 1) * (ny + 1) * (nz + 1), budget);
    EXPECT_NEAR(double(nx) / ny, 2.0, 0.2);
  }
}

TEST(QuadDominantTessellor, CubeAfterOpenGets46CubedAndTheStageLog) {
  QuadDominantTessellor c;
  RecordingOutput out;
  c.setStatusOutput(&out);
  box(c.InputMesh, 2, 2, 2);
  EXPECT_FLOAT_EQ(c.InputMesh.BBoxMax.x - c.InputMesh.BBoxMin.x, 46.0f);
  out.Lines.clear();
  c.volumeFromInputMesh();
  EXPECT_EQ(c.Volume.XSize, 46);
  EXPECT_EQ(c.Volume.YSize, 46);
  EXPECT_EQ(c.Volume.ZSize, 46);
  EXPECT_EQ(c.Volume.Voxels.size(), 46u * 46u * 46u);
  EXPECT_EQ(out.Tasks, (std::vector<std::string>{"Voxelization"})) << "features are off by default";
  ASSERT_GE(out.Lines.size(), 6u);
  EXPECT_EQ(out.Lines[0], "Volume Size 46 x 46 x 46");
  EXPECT_EQ(out.Lines[1], "--------------- begin ");
  EXPECT_EQ(out.Lines[2], "Voxelization");
  EXPECT_EQ(out.Lines[3], " 0 Polygons skipped");
  EXPECT_EQ(out.Lines.back(), "--------------- end");
  // The volume maps back to file coordinates as the fitted mesh does.
  EXPECT_EQ(c.Volume.getScale(), c.InputMesh.Scale);
  EXPECT_EQ(c.Volume.getOffset()[1], c.InputMesh.Offset.y);
  // Fitted into 46: the cube spans 1.5 .. 44.5; its centre voxel is deep inside.
  EXPECT_EQ(c.Volume.Voxels[c.Volume.index(23, 23, 23)].Distance, NoValue);
  EXPECT_FLOAT_EQ(c.Volume.Voxels[c.Volume.index(1, 23, 23)].Distance, 0.5f) << "outside is positive";
  EXPECT_FLOAT_EQ(c.Volume.Voxels[c.Volume.index(2, 23, 23)].Distance, -0.5f) << "inside is negative";
  for (const VoxelData& v : c.Volume.Voxels) ASSERT_EQ(v.FeatureType, 0);

  // Again, with features: the mesh is re-fitted into the same sizes and the feature stage runs.
  c.setDetectSharpFeatures(true);
  c.setThresholdPsi(0.3f);
  out.Lines.clear();
  out.Tasks.clear();
  c.volumeFromInputMesh();
  EXPECT_EQ(out.Lines[0], "Volume Size 46 x 46 x 46");
  EXPECT_EQ(out.Tasks, (std::vector<std::string>{"Voxelization", "Sharp features"}));
}

TEST(QuadDominantTessellor, ProportionsFollowTheMesh) {
  QuadDominantTessellor c;
  RecordingOutput out;
  c.setStatusOutput(&out);
  box(c.InputMesh, 4, 2, 1);
  c.volumeFromInputMesh();
  EXPECT_TRUE(out.hasLine("Volume Size 92 x 46 x 23"));
  EXPECT_EQ(c.Volume.XYSize, 92 * 46);
}

TEST(QuadDominantTessellor, MeshesThatCannotBeSizedAreRefusedAndNothingChanges) {
  QuadDominantTessellor c;
  RecordingOutput out;
  c.setStatusOutput(&out);
  EXPECT_NE(refusal(c).find("no vertices"), std::string::npos);

  // A cube first, so that there is a volume to keep.
  box(c.InputMesh, 2, 2, 2);
  c.volumeFromInputMesh();
  const std::vector<VoxelData> before = c.Volume.Voxels;

  // Flat: one triangle in a plane z = const.
  c.InputMesh.clear();
  vertex(c.InputMesh, 0, 0, 1);
  vertex(c.InputMesh, 1, 0, 1);
  vertex(c.InputMesh, 0, 1, 1);
  c.InputMesh.addTriangle(0, 1, 2);
  fixtures::finish(c.InputMesh);
  {
    const Snapshot s(c);
    const std::string message = refusal(c);
    EXPECT_NE(message.find("no extent along z"), std::string::npos) << message;
    s.expectSame(c);
  }

  // Thin: 46 x 46 x 1 gets 3 voxels on z at the default budget, which leaves no room for the
  // border; the message names the axis and the smallest budget that gives it 5.
  box(c.InputMesh, 46, 46, 1, false);
  {
    const Snapshot s(c);
    const std::string message = refusal(c);
    EXPECT_NE(message.find("only 3 voxels along z"), std::string::npos) << message;
    const std::size_t at = message.find("at least ", message.find("5 needed"));
    ASSERT_NE(at, std::string::npos) << message;
    const long budget = std::strtol(message.c_str() + at + 9, nullptr, 10);
    EXPECT_NEAR(budget, 264500, 2) << message;
    int nx, ny, nz;
    QuadDominantTessellor::volumeSize(46, 46, 1, static_cast<int>(budget), nx, ny, nz);
    EXPECT_EQ(nz, 5);
    EXPECT_THROW(QuadDominantTessellor::volumeSize(46, 46, 1, static_cast<int>(budget - 1), nx, ny, nz),
                 ProcessingError);
    s.expectSame(c);
    // With that budget the mesh is accepted.
    c.setMaxVoxels(static_cast<int>(budget));
    c.volumeFromInputMesh();
    EXPECT_EQ(c.Volume.ZSize, 5);
    c.setMaxVoxels(100000);
  }
  box(c.InputMesh, 2, 2, 2);
  c.volumeFromInputMesh();
  ASSERT_EQ(c.Volume.Voxels.size(), before.size());

  // Extents whose float product underflows or overflows, and a needle whose sizes would not
  // fit in an int before the thin axes are refused.
  int nx, ny, nz;
  EXPECT_THROW(QuadDominantTessellor::volumeSize(1e-20f, 1e-20f, 1e-20f, 100000, nx, ny, nz), ProcessingError);
  EXPECT_THROW(QuadDominantTessellor::volumeSize(1e20f, 1e20f, 1e20f, 100000, nx, ny, nz), ProcessingError);
  EXPECT_THROW(QuadDominantTessellor::volumeSize(1e15f, 1e-10f, 1e-10f, 100000, nx, ny, nz), ProcessingError);
  EXPECT_THROW(QuadDominantTessellor::volumeSize(NAN, 1, 1, 100000, nx, ny, nz), ProcessingError);
  EXPECT_THROW(QuadDominantTessellor::volumeSize(1, 1, 1, 0, nx, ny, nz), ProcessingError);
  EXPECT_THROW(QuadDominantTessellor::volumeSize(1, 1, 1, -5, nx, ny, nz), ProcessingError);
  EXPECT_THROW(QuadDominantTessellor::volumeSize(1, 1, 1, 100, nx, ny, nz), ProcessingError) << "4 x 4 x 4";
  // 125^(1/3) comes out just below 5 in double and truncates to 4; the advice says so.
  try {
    QuadDominantTessellor::volumeSize(1, 1, 1, 125, nx, ny, nz);
    ADD_FAILURE() << "125 voxels for a unit cube";
  } catch (const ProcessingError& e) {
    EXPECT_NE(std::string(e.what()).find("only 4 voxels along x"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("at least 126 gives it 5"), std::string::npos) << e.what();
  }
}

// The classic and exact modes voxelize triangles only: a mesh of quads is refused before anything
// changes, with a message that points to the robust mode, which triangulates it.
TEST(QuadDominantTessellor, QuadsOnlyAreRefusedByTheTriangleModesAndTriangulatedByTheRobustMode) {
  QuadDominantTessellor c;
  RecordingOutput out;
  c.setStatusOutput(&out);
  PolygonStorage& m = c.InputMesh;
  for (int i = 0; i < 8; ++i) vertex(m, (i & 1) ? 2.0f : 0.0f, (i & 2) ? 2.0f : 0.0f, (i & 4) ? 2.0f : 0.0f);
  const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& f : faces) m.Polygons.push_back({f[0], f[1], f[2], f[3]});
  fixtures::finish(m);
  ASSERT_TRUE(m.fitIntoVolume(50, 50, 50));
  const V3 fitted = m.Vertices[7].pos;
  for (VoxelizationMode mode : {VoxelizationMode::Classic, VoxelizationMode::Exact}) {
    c.setVoxelizationMode(mode);
    try {
      c.remesh();
      ADD_FAILURE() << "a quad mesh was voxelized in a triangle mode";
    } catch (const ProcessingError& error) {
      EXPECT_NE(std::string(error.what()).find("--mode robust"), std::string::npos) << error.what();
    }
    EXPECT_EQ(m.Vertices[7].pos.x, fitted.x) << "the mesh is not re-fitted";
    EXPECT_TRUE(c.Volume.Voxels.empty()) << "the volume is not touched";
  }
  c.setVoxelizationMode(VoxelizationMode::Robust);
  c.remesh();
  EXPECT_TRUE(out.hasLine(" 0 Polygons skipped"));
  EXPECT_TRUE(postfixtures::closedAndOriented(c.MCMesh));
  EXPECT_EQ(postfixtures::eulerCharacteristic(c.OutputMesh), 2);
}

TEST(QuadDominantTessellor, RemeshRunsBothHalves) {
  QuadDominantTessellor a, b;
  RecordingOutput outA, outB;
  a.setStatusOutput(&outA);
  b.setStatusOutput(&outB);
  fixtures::icosphere(a.InputMesh, 0, 0, 0, 1, 2);
  fixtures::icosphere(b.InputMesh, 0, 0, 0, 1, 2);
  ASSERT_TRUE(a.InputMesh.fitIntoVolume(50, 50, 50));
  ASSERT_TRUE(b.InputMesh.fitIntoVolume(50, 50, 50));
  a.setMaxVoxels(20000);
  b.setMaxVoxels(20000);
  a.remesh();
  b.volumeFromInputMesh();
  b.outputMeshFromVolume();
  ASSERT_GT(a.MCMesh.Polygons.size(), 100u);
  ASSERT_EQ(a.MCMesh.Polygons.size(), b.MCMesh.Polygons.size());
  ASSERT_EQ(a.MCMesh.Vertices.size(), b.MCMesh.Vertices.size());
  for (std::size_t i = 0; i < a.MCMesh.Vertices.size(); ++i)
    ASSERT_EQ(a.MCMesh.Vertices[i].pos.x, b.MCMesh.Vertices[i].pos.x);
  // Without feature detection no midpoint is a feature point.
  for (const Vertex& mid : a.MCMesh.Midpoints) ASSERT_EQ(mid.attr, 0);
  EXPECT_EQ(a.MCMesh.Scale, a.Volume.getScale());
  // The extracted surface lies in the band: every vertex within the grid.
  for (const Vertex& v : a.MCMesh.Vertices) {
    ASSERT_GE(v.pos.x, 0.0f);
    ASSERT_LE(v.pos.x, float(a.Volume.XSize - 1));
  }
}

TEST(QuadDominantTessellor, SharpFeaturesReachTheExtractedMidpoints) {
  QuadDominantTessellor c;
  RecordingOutput out;
  c.setStatusOutput(&out);
  fixtures::octahedron(c.InputMesh, 0, 0, 0, 1);
  ASSERT_TRUE(c.InputMesh.fitIntoVolume(50, 50, 50));
  c.setMaxVoxels(30000);
  c.setDetectSharpFeatures(true);
  c.setThresholdPsi(0.34f);  // octahedron creases: |cos| = 1/3
  c.remesh();
  int corners = 0, edges = 0;
  for (const VoxelData& v : c.Volume.Voxels) {
    corners += v.FeatureType == 2;
    edges += v.FeatureType == 1;
  }
  // Three closed lines, each with one corner where it starts and ends; lines closing at the same
  // vertex share its cell and the first one wins.
  std::set<int> closing;
  for (const VertexIDList& line : c.Features.FeatureLines) {
    ASSERT_EQ(line.front(), line.back());
    closing.insert(line.front());
  }
  EXPECT_EQ(c.Features.FeatureLines.size(), 3u);
  EXPECT_EQ(corners, static_cast<int>(closing.size()));
  EXPECT_GT(edges, 50);
  int marked = 0;
  for (const Vertex& mid : c.MCMesh.Midpoints) marked += mid.attr != 0;
  EXPECT_GT(marked, 0);
}
