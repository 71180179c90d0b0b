#include "mesh/PolygonStorage.h"

#include "MeshTestSupport.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tessellor;

using meshtest::makeVertex;

namespace {

void addTriangleMesh(PolygonStorage& mesh, V3 a, V3 b, V3 c) {
  mesh.clear();
  mesh.addVertex(makeVertex(a.x, a.y, a.z));
  mesh.addVertex(makeVertex(b.x, b.y, b.z));
  mesh.addVertex(makeVertex(c.x, c.y, c.z));
  mesh.addTriangle(0, 1, 2);
  mesh.buildIndex();
  mesh.computeMidpoints();
}

}  // namespace

TEST(PolygonStorage, TriangleMidpointUsesTheFloatThirdAndRightHandNormal) {
  PolygonStorage mesh;
  addTriangleMesh(mesh, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  EXPECT_EQ(mesh.Midpoints[0].pos.x, 0.33333334f);
  EXPECT_EQ(mesh.Midpoints[0].pos.y, 0.33333334f);
  EXPECT_EQ(mesh.Midpoints[0].pos.z, 0.0f);
  EXPECT_EQ(mesh.Midpoints[0].n.z, 1.0f);
  EXPECT_EQ(mesh.Midpoints[0].n.x, 0.0f);

  // x sum 5: 5 * 0.33333334f is 1.66666675f, one ulp above 5.0f / 3.0f.
  addTriangleMesh(mesh, {0, 0, 0}, {2, 0, 0}, {3, 3, 0});
  EXPECT_EQ(mesh.Midpoints[0].pos.x, 0x1.aaaaacp+0f) << "centroid must be sum * 0.33333334f, not sum / 3";
  EXPECT_NE(mesh.Midpoints[0].pos.x, 5.0f / 3.0f);
  EXPECT_EQ(mesh.Midpoints[0].pos.y, 1.0f);
  EXPECT_EQ(mesh.Midpoints[0].n.z, 1.0f);

  // Clockwise seen from +z: the normal points to -z.
  addTriangleMesh(mesh, {0, 0, 0}, {0, 1, 0}, {1, 0, 0});
  EXPECT_EQ(mesh.Midpoints[0].n.z, -1.0f);
}

TEST(PolygonStorage, QuadMidpointAveragesCornersAndUnitNormals) {
  PolygonStorage mesh;
  meshtest::makeCube(mesh);
  // Bottom face 0,2,3,1 of the unit cube.
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].pos.x, 0.5f);
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].pos.y, 0.5f);
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].pos.z, 0.0f);
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].n.z, -1.0f);
  // A collinear triangle has no normal: it stays zero, nothing is divided by zero.
  addTriangleMesh(mesh, {0, 0, 0}, {1, 0, 0}, {2, 0, 0});
  EXPECT_EQ(mesh.Midpoints[0].n.x, 0.0f);
  EXPECT_EQ(mesh.Midpoints[0].n.y, 0.0f);
  EXPECT_EQ(mesh.Midpoints[0].n.z, 0.0f);
}

TEST(PolygonStorage, DegeneratePolygonIsEmptiedAndLeavesEveryIndex) {
  PolygonStorage mesh;
  meshtest::makeCube(mesh);
  mesh.Polygons.push_back({0, 1});  // two ids
  mesh.Polygons.push_back({5});     // one id
  mesh.Polygons.push_back({});      // already deleted: not counted again
  mesh.buildIndex();
  Vertex marker;
  marker.pos = V3{7, 7, 7};
  mesh.Midpoints.resize(mesh.Polygons.size());
  mesh.Midpoints[6] = marker;
  EXPECT_TRUE(mesh.VIndex[0].count(6));
  const int emptied = mesh.computeMidpoints();
  EXPECT_EQ(emptied, 2);
  EXPECT_TRUE(mesh.Polygons[6].empty());
  EXPECT_TRUE(mesh.Polygons[7].empty());
  EXPECT_EQ(mesh.Midpoints[6].pos.x, 7.0f) << "the emptied polygon's record keeps its old contents";
  EXPECT_FALSE(mesh.VIndex[0].count(6));
  EXPECT_FALSE(mesh.VIndex[1].count(6));
  EXPECT_FALSE(mesh.VIndex[5].count(7));
  mesh.buildEdgeIndex();
  EXPECT_EQ(meshtest::indexFault(mesh), "");
  EXPECT_EQ(mesh.EdgeIndex.size(), 12u);
}

TEST(PolygonStorage, EdgeIndexKeepsTheFirstTwoPolygonsOfAnEdge) {
  PolygonStorage mesh;
  mesh.insertEdge(0, 7, 3);
  mesh.insertEdge(1, 3, 7);
  mesh.insertEdge(2, 7, 3);
  const EdgeEntryData* data = mesh.findEdge(PolygonStorage::makeEdgeKey(3, 7));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->First, 0);
  EXPECT_EQ(data->Second, 1) << "a third polygon on an edge is not recorded";
  mesh.insertEdge(5, 1, 2);
  mesh.insertEdge(5, 2, 1);
  data = mesh.findEdge(PolygonStorage::makeEdgeKey(2, 1));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->First, 5);
  EXPECT_EQ(data->Second, -1) << "the same polygon twice stays a boundary edge";
  const EdgeEntryKey key = PolygonStorage::makeEdgeKey(9, 4);
  EXPECT_EQ(key.Lower, 4);
  EXPECT_EQ(key.Upper, 9);
  EXPECT_EQ(mesh.findEdge(PolygonStorage::makeEdgeKey(0, 1)), nullptr);

  // otherPolygon across an inner edge, a boundary edge, and an edge not in the index.
  const EdgeEntryKey inner = PolygonStorage::makeEdgeKey(3, 7);
  const EdgeEntryKey boundary = PolygonStorage::makeEdgeKey(1, 2);
  EXPECT_EQ(mesh.otherPolygon(0, inner), 1);
  EXPECT_EQ(mesh.otherPolygon(1, inner), 0);
  EXPECT_EQ(mesh.otherPolygon(5, boundary), -1) << "boundary edge seen from its own polygon";
  EXPECT_EQ(mesh.otherPolygon(9, boundary), 5) << "seen from another polygon: the edge's first polygon";
  EXPECT_EQ(mesh.otherPolygon(0, PolygonStorage::makeEdgeKey(7, 8)), -1) << "edge not in the index";

  // buildIndex logs its edge pass; a polygon touching itself (0-1 twice) gives one boundary edge,
  // and a repeated consecutive id is no edge at all.
  mesh.clear();
  for (int i = 0; i < 4; ++i) mesh.addVertex(makeVertex(static_cast<float>(i), 0, 0));
  mesh.Polygons = {{0, 1, 2, 3}};
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  mesh.buildIndex();
  EXPECT_EQ(log.Lines, std::vector<std::string>{"PolygonStorage::buildEdgeIndex"});
  EXPECT_EQ(mesh.EdgeIndex.size(), 4u);
  mesh.Polygons = {{0, 1, 0, 2}};
  mesh.buildIndex();
  data = mesh.findEdge(PolygonStorage::makeEdgeKey(0, 1));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->Second, -1);
  mesh.Polygons = {{0, 0, 1, 2}};
  mesh.buildIndex();
  EXPECT_EQ(mesh.findEdge(PolygonStorage::makeEdgeKey(0, 0)), nullptr);
  EXPECT_EQ(mesh.EdgeIndex.size(), 3u);
}

TEST(PolygonStorage, GeneratedMeshesHaveOutwardUnitNormals) {
  PolygonStorage sphere;
  meshtest::makeSphere(sphere);
  for (std::size_t p = 0; p < sphere.Polygons.size(); ++p) {
    const Vertex& m = sphere.Midpoints[p];
    EXPECT_GT(m.n.x * m.pos.x + m.n.y * m.pos.y + m.n.z * m.pos.z, 0.5f) << "sphere polygon " << p;
    EXPECT_NEAR(m.n.x * m.n.x + m.n.y * m.n.y + m.n.z * m.n.z, 1.0f, 1e-5f);
  }
  for (const Vertex& v : sphere.Vertices) {
    // A vertex normal of a unit sphere is close to the position itself.
    EXPECT_GT(v.n.x * v.pos.x + v.n.y * v.pos.y + v.n.z * v.pos.z, 0.95f);
  }
  PolygonStorage cube;
  meshtest::makeCube(cube);
  // Corner (1,1,1): three right angles of equal weight give the diagonal.
  const float d = 1.0f / std::sqrt(3.0f);
  EXPECT_NEAR(cube.Vertices[7].n.x, d, 1e-6f);
  EXPECT_NEAR(cube.Vertices[7].n.y, d, 1e-6f);
  EXPECT_NEAR(cube.Vertices[7].n.z, d, 1e-6f);
}

TEST(PolygonStorage, AngleAtVertexAndItsWeightInTheNormal) {
  PolygonStorage mesh;
  mesh.addVertex(makeVertex(0, 0, 0));
  mesh.addVertex(makeVertex(1, 0, 0));
  mesh.addVertex(makeVertex(-1, 0, 0));
  mesh.addVertex(makeVertex(0, 1, 0));
  mesh.addVertex(makeVertex(5, 5, 5));  // unreferenced
  mesh.Polygons = {{2, 0, 1, 3}, {0, 1, 3}};
  mesh.buildIndex();
  mesh.computeMidpoints();
  // Vertex 0 on a straight boundary: next and previous in opposite directions give weight 0.
  EXPECT_EQ(mesh.angleAtVertex(0, 0), 0.0f);
  EXPECT_NEAR(mesh.angleAtVertex(0, 1), 3.14159265f / 2, 1e-6f);
  EXPECT_NEAR(mesh.angleAtVertex(1, 1), 3.14159265f / 4, 1e-6f);

  // With only the quad, vertex 0 has no weight at all: its normal stays zero, as does the
  // unreferenced vertex's.
  mesh.Polygons.pop_back();
  mesh.buildIndex();
  mesh.computeMidpoints();
  mesh.computeVertexNormals();
  EXPECT_EQ(mesh.Vertices[0].n.z, 0.0f) << "only polygon gives weight 0 at a straight boundary vertex";
  EXPECT_EQ(mesh.Vertices[4].n.z, 0.0f);
  EXPECT_FLOAT_EQ(mesh.Vertices[3].n.z, 1.0f);

  // A vertex on top of its neighbour: zero vector, dot 0, angle pi/2 (no division by zero).
  mesh.addVertex(makeVertex(0, 1, 0));
  mesh.Polygons.push_back({3, 5, 0});
  EXPECT_NEAR(mesh.angleAtVertex(5, 1), 3.14159265f / 2, 1e-6f);
}

TEST(PolygonStorage, NeighbourInPolygonSearchesFromEachEnd) {
  PolygonStorage mesh;
  mesh.Polygons = {{4, 7, 9, 7, 2}};
  EXPECT_EQ(mesh.neighbourInPolygon(0, 7, true), 9) << "first occurrence from the front";
  EXPECT_EQ(mesh.neighbourInPolygon(0, 7, false), 9) << "first occurrence from the back";
  EXPECT_EQ(mesh.neighbourInPolygon(0, 2, true), 4) << "after the last comes the first";
  EXPECT_EQ(mesh.neighbourInPolygon(0, 4, false), 2) << "before the first comes the last";
}

TEST(PolygonStorage, FitIntoVolumeWorkedCaseAndRoundTrip) {
  PolygonStorage mesh;
  mesh.addVertex(makeVertex(0, 0, 0));
  mesh.addVertex(makeVertex(2, 0, 0));
  mesh.addVertex(makeVertex(2, 1, 1));
  mesh.addVertex(makeVertex(0.5f, 0.25f, 0.75f));
  mesh.Polygons = {{0, 1, 2}, {0, 2, 3}};
  meshtest::finish(mesh);
  const std::vector<Vertex> before = mesh.Vertices;
  ASSERT_TRUE(mesh.fitIntoVolume(100, 50, 50));
  // s = min(96/2, 46/1, 46/1) = 46.
  EXPECT_EQ(mesh.BBoxMin.x, 1.5f);
  EXPECT_EQ(mesh.BBoxMin.z, 1.5f);
  EXPECT_EQ(mesh.BBoxMax.x, 93.5f);
  EXPECT_EQ(mesh.BBoxMax.y, 47.5f);
  EXPECT_EQ(mesh.BBoxMax.z, 47.5f);
  EXPECT_FLOAT_EQ(mesh.Scale, 1.0f / 46.0f);
  EXPECT_FLOAT_EQ(mesh.Offset.x, -1.5f / 46.0f);
  EXPECT_FLOAT_EQ(mesh.Offset.y, -1.5f / 46.0f);
  EXPECT_EQ(mesh.Vertices[1].pos.x, 93.5f);
  EXPECT_EQ(mesh.Vertices[3].pos.y, 0.25f * 46 + 1.5f);
  // Midpoints move with the vertices.
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].pos.x, (1.5f + 93.5f + 93.5f) / 3);
  // Fitting again composes Scale and Offset; file coordinates still come back.
  ASSERT_TRUE(mesh.fitIntoVolume(30, 30, 30));
  EXPECT_EQ(mesh.BBoxMax.x, 27.5f);
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_NEAR(mesh.Vertices[i].pos.x * mesh.Scale + mesh.Offset.x, before[i].pos.x, 1e-5f);
    EXPECT_NEAR(mesh.Vertices[i].pos.y * mesh.Scale + mesh.Offset.y, before[i].pos.y, 1e-5f);
    EXPECT_NEAR(mesh.Vertices[i].pos.z * mesh.Scale + mesh.Offset.z, before[i].pos.z, 1e-5f);
  }
}

TEST(PolygonStorage, FitIntoVolumeIgnoresAFlatAxis) {
  PolygonStorage mesh;
  mesh.addVertex(makeVertex(0, 0, 3));
  mesh.addVertex(makeVertex(4, 0, 3));
  mesh.addVertex(makeVertex(0, 2, 3));
  mesh.Polygons = {{0, 1, 2}};
  meshtest::finish(mesh);
  ASSERT_TRUE(mesh.fitIntoVolume(50, 50, 50));
  // z has zero extent (infinite ratio); x limits: s = 46 / 4.
  EXPECT_EQ(mesh.BBoxMax.x, 47.5f);
  EXPECT_EQ(mesh.BBoxMax.y, 2 * 11.5f + 1.5f);
  EXPECT_EQ(mesh.BBoxMax.z, 1.5f);
  EXPECT_FLOAT_EQ(mesh.Vertices[0].pos.z * mesh.Scale + mesh.Offset.z, 3.0f);
}

TEST(PolygonStorage, FitIntoVolumeRefusesAMeshWithoutExtent) {
  RecordingOutput log;
  // All points in one place.
  PolygonStorage point;
  point.setStatusOutput(&log);
  point.addVertex(makeVertex(1, 2, 3));
  point.addVertex(makeVertex(1, 2, 3));
  point.addVertex(makeVertex(1, 2, 3));
  point.Polygons = {{0, 1, 2}};
  meshtest::finish(point);
  const meshtest::MeshSnapshot before(point);
  EXPECT_FALSE(point.fitIntoVolume(50, 50, 50));
  EXPECT_EQ(before.differences(point), "") << "a refused fit changes nothing";
  ASSERT_EQ(log.Lines.size(), 2u);  // buildEdgeIndex, then the refusal
  EXPECT_NE(log.Lines[1].find("cannot be fitted"), std::string::npos) << log.Lines[1];

  // No vertices at all.
  PolygonStorage empty;
  empty.computeBoundingBox();
  EXPECT_FALSE(empty.fitIntoVolume(50, 50, 50));
  EXPECT_EQ(empty.Scale, 1.0f);

  // A volume too small for the border (n - 4 <= 0) gives no positive scale either.
  PolygonStorage cube;
  meshtest::makeCube(cube);
  EXPECT_FALSE(cube.fitIntoVolume(4, 50, 50));
  EXPECT_EQ(cube.Scale, 1.0f);
  EXPECT_EQ(cube.Vertices[7].pos.x, 1.0f);
}

TEST(PolygonStorage, SplitQuadAlongDiagonal) {
  PolygonStorage mesh;
  for (int i = 0; i < 14; ++i) mesh.addVertex(makeVertex(0, 0, 0));
  mesh.Vertices[10].pos = V3{0, 0, 0};
  mesh.Vertices[11].pos = V3{1, 0, 0};
  mesh.Vertices[12].pos = V3{1, 1, 0};
  mesh.Vertices[13].pos = V3{0, 1, 0};
  mesh.Polygons = {{10, 11, 12, 13}};
  meshtest::finish(mesh);
  mesh.splitPolygon(0, 0, 2);
  ASSERT_EQ(mesh.Polygons.size(), 2u);
  EXPECT_EQ(mesh.Polygons[0], (VertexIDList{10, 12, 13}));
  EXPECT_EQ(mesh.Polygons[1], (VertexIDList{10, 11, 12}));
  ASSERT_EQ(mesh.Midpoints.size(), 2u);
  EXPECT_EQ(mesh.Midpoints[1].pos.x, 2.0f * 0.33333334f);
  EXPECT_EQ(mesh.Midpoints[0].n.z, 1.0f) << "both halves keep the orientation";
  EXPECT_EQ(mesh.Midpoints[1].n.z, 1.0f);
  EXPECT_EQ(mesh.VIndex[11], (VertexIDSet{1}));
  EXPECT_EQ(mesh.VIndex[13], (VertexIDSet{0}));
  EXPECT_EQ(mesh.VIndex[10], (VertexIDSet{0, 1}));

  // A hexagon cut between positions 1 and 4.
  mesh.Polygons.push_back({0, 1, 2, 3, 4, 5});
  mesh.buildIndex();
  mesh.computeMidpoints();
  mesh.splitPolygon(2, 1, 4);
  EXPECT_EQ(mesh.Polygons[2], (VertexIDList{0, 1, 4, 5}));
  EXPECT_EQ(mesh.Polygons[3], (VertexIDList{1, 2, 3, 4}));
}

TEST(PolygonStorage, LocalEditsKeepTheVertexIndex) {
  PolygonStorage mesh;
  meshtest::makeCube(mesh);
  mesh.deletePolygon(1);
  EXPECT_TRUE(mesh.Polygons[1].empty());
  EXPECT_EQ(mesh.Polygons.size(), 6u) << "the slot stays";
  EXPECT_FALSE(mesh.VIndex[7].count(1));

  // Replace vertex 7 by a new vertex 8 everywhere.
  mesh.addVertex(makeVertex(2, 2, 2));
  mesh.VIndex.emplace_back();
  mesh.replaceVertex(7, 8);
  EXPECT_TRUE(mesh.VIndex[7].empty());
  EXPECT_EQ(mesh.VIndex[8], (VertexIDSet{3, 5}));
  for (const VertexIDList& p : mesh.Polygons) EXPECT_EQ(std::count(p.begin(), p.end(), 7), 0);
  mesh.replaceVertex(8, 8);  // replacing a vertex by itself must terminate
  EXPECT_EQ(mesh.VIndex[8], (VertexIDSet{3, 5}));

  EXPECT_FLOAT_EQ(mesh.Midpoints[3].pos.x, 0.5f) << "replaceVertex leaves midpoints alone";

  // Moving a vertex refreshes the midpoints of its polygons (2, 6, 8, 3 has x 0, 0, 3, 1).
  mesh.moveVertex(mesh.Vertices[8], 8, 3, 1, 1);
  EXPECT_FLOAT_EQ(mesh.Midpoints[3].pos.x, 1.0f);
  EXPECT_FLOAT_EQ(mesh.Midpoints[5].pos.x, 1.5f);
  EXPECT_EQ(mesh.Vertices[8].pos.x, 3.0f);
  mesh.buildEdgeIndex();
  EXPECT_EQ(meshtest::indexFault(mesh), "");
}

TEST(PolygonStorage, ClearKeepsEdgeIndexAndBoundingBox) {
  PolygonStorage mesh;
  meshtest::makeCube(mesh);
  ASSERT_TRUE(mesh.fitIntoVolume(20, 20, 20));
  mesh.clear();
  EXPECT_TRUE(mesh.Polygons.empty() && mesh.Vertices.empty() && mesh.VIndex.empty() && mesh.Midpoints.empty());
  EXPECT_EQ(mesh.Scale, 1.0f);
  EXPECT_EQ(mesh.Offset.x, 0.0f);
  EXPECT_EQ(mesh.EdgeIndex.size(), 12u);
  EXPECT_EQ(mesh.BBoxMax.x, 17.5f);
}
