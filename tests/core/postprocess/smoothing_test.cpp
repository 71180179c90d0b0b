#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorage.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace tessellor;

namespace {

// A flat 4 x 4 grid of unit quads in z = 0, vertex (i, j) = id i + 5 j, counter-clockwise from +z.
void grid(PolygonStorage& mesh) {
  std::vector<V3> positions;
  for (int j = 0; j <= 4; ++j)
    for (int i = 0; i <= 4; ++i) positions.push_back(V3{static_cast<float>(i), static_cast<float>(j), 0.0f});
  std::vector<VertexIDList> quads;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) quads.push_back({i + 5 * j, i + 1 + 5 * j, i + 1 + 5 * (j + 1), i + 5 * (j + 1)});
  postfixtures::buildMesh(mesh, positions, quads);
}

int at(int i, int j) { return i + 5 * j; }

}  // namespace

TEST(Smoothing, RaisedGridVertexMovesDownToTheAverageOfItsFourNeighbours) {
  PolygonStorage mesh;
  grid(mesh);
  mesh.Vertices[at(2, 2)].pos.z = 1.0f;
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  mesh.smooth();

  EXPECT_EQ(mesh.Vertices[at(2, 2)].pos.z, 0.0f) << "its four neighbours lie at height 0";
  EXPECT_EQ(mesh.Vertices[at(2, 2)].pos.x, 2.0f);
  EXPECT_EQ(mesh.Vertices[at(2, 2)].pos.y, 2.0f);
  for (int v : {at(1, 2), at(3, 2), at(2, 1), at(2, 3)})
    EXPECT_EQ(mesh.Vertices[v].pos.z, 0.25f) << "neighbour " << v << " averages the old raised height";
  for (int v : {at(1, 1), at(3, 3), at(1, 3), at(3, 1)}) {
    EXPECT_EQ(mesh.Vertices[v].pos.z, 0.0f) << "diagonal vertex " << v;
    EXPECT_EQ(mesh.Vertices[v].pos.x, static_cast<float>(v % 5)) << "an interior grid vertex does not move";
  }
  for (int i = 0; i <= 4; ++i) {
    EXPECT_EQ(mesh.Vertices[at(i, 0)].pos.y, 0.0f) << "boundary vertices are fixed";
    EXPECT_EQ(mesh.Vertices[at(0, i)].pos.x, 0.0f);
  }
  EXPECT_EQ(log.Lines.at(1), "Smoothing");
  mesh.setStatusOutput(nullptr);
  EXPECT_TRUE(mesh.checkIntegrity()) << "midpoints and normals recomputed";
}

TEST(Smoothing, FeatureAndUnusedVerticesKeepTheirPlace) {
  PolygonStorage mesh;
  grid(mesh);
  mesh.Vertices[at(2, 2)].pos.z = 1.0f;
  mesh.Vertices[at(2, 2)].attr = 1;
  Vertex loose;
  loose.pos = V3{7, 8, 9};
  mesh.addVertex(loose);
  mesh.VIndex.emplace_back();
  mesh.smooth();
  EXPECT_EQ(mesh.Vertices[at(2, 2)].pos.z, 1.0f) << "a feature vertex stays";
  EXPECT_EQ(mesh.Vertices[at(1, 2)].pos.z, 0.25f) << "its neighbours still move";
  EXPECT_EQ(mesh.Vertices[25].pos.x, 7.0f) << "an unused vertex stays";
  EXPECT_EQ(mesh.Vertices[25].pos.z, 9.0f);
}

TEST(Smoothing, CubeCornersMoveToTheirThreeNeighboursTwice) {
  PolygonStorage mesh;
  const postfixtures::NamedMesh cube = postfixtures::cube();
  postfixtures::buildMesh(mesh, cube.Positions, cube.Polygons);
  mesh.smooth();
  for (std::size_t v = 0; v < 8; ++v) {
    // Corner (sx, sy, sz) has neighbours differing in one sign each: their average is a third.
    EXPECT_NEAR(mesh.Vertices[v].pos.x, cube.Positions[v].x / 3.0f, 1e-6f) << "corner " << v;
    EXPECT_NEAR(mesh.Vertices[v].pos.y, cube.Positions[v].y / 3.0f, 1e-6f) << "corner " << v;
    EXPECT_NEAR(mesh.Vertices[v].pos.z, cube.Positions[v].z / 3.0f, 1e-6f) << "corner " << v;
  }
  // All corners move together: the second step starts from the first step's positions.
  mesh.smooth();
  for (std::size_t v = 0; v < 8; ++v)
    EXPECT_NEAR(mesh.Vertices[v].pos.x, cube.Positions[v].x / 9.0f, 1e-6f) << "corner " << v;
  EXPECT_NEAR(mesh.Midpoints[1].pos.z, 1.0f / 9.0f, 1e-6f) << "midpoints follow";
  EXPECT_NEAR(mesh.Vertices[7].n.x, 1.0f / std::sqrt(3.0f), 1e-5f) << "normals follow: corner (1, 1, 1)";
}

TEST(Smoothing, SingleQuadKeepsItsCorners) {
  PolygonStorage mesh;
  postfixtures::buildMesh(mesh, {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}});
  mesh.Midpoints[0].pos = V3{5, 5, 5};
  mesh.smooth();
  EXPECT_EQ(mesh.Vertices[1].pos.x, 2.0f);
  EXPECT_EQ(mesh.Vertices[2].pos.y, 1.0f);
  EXPECT_EQ(mesh.Midpoints[0].pos.x, 1.0f) << "midpoints are recomputed";
}

// A polygon of two ids is emptied by the midpoint pass at the end and leaves both indices.
TEST(Smoothing, DegeneratePolygonIsEmptiedAndLeavesEveryIndex) {
  PolygonStorage mesh;
  grid(mesh);
  mesh.Polygons.push_back({at(2, 2), at(3, 3)});
  mesh.buildIndex();
  mesh.computeMidpoints();
  mesh.Polygons.back() = VertexIDList{at(2, 2), at(3, 3)};
  mesh.addPolygonToIndex(16);
  mesh.buildEdgeIndex();
  ASSERT_EQ(mesh.VIndex[at(2, 2)].count(16), 1u);
  mesh.smooth();
  EXPECT_TRUE(mesh.Polygons[16].empty());
  EXPECT_EQ(mesh.VIndex[at(2, 2)].count(16), 0u);
  EXPECT_TRUE(mesh.findEdge(PolygonStorage::makeEdgeKey(at(2, 2), at(3, 3))) == nullptr);
  EXPECT_TRUE(mesh.checkIntegrity());
}
