#include "mesh/PolygonStorage.h"

#include "support/RecordingOutput.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace tessellor;

namespace {

void make(PolygonStorage& mesh, const std::vector<V3>& positions, const std::vector<VertexIDList>& polygons) {
  testmeshes::build(mesh, {"", positions, polygons, 0});
}

}  // namespace

TEST(PolygonStorage, MidpointsUseTheFloatThirdAndRightHandNormals) {
  PolygonStorage mesh;
  // x sum 5: 5 * 0.33333334f is 1.66666675f, one ulp above 5.0f / 3.0f.
  make(mesh, {{0, 0, 0}, {2, 0, 0}, {3, 3, 0}}, {{0, 1, 2}});
  EXPECT_EQ(mesh.Midpoints[0].pos.x, 0x1.aaaaacp+0f) << "centroid = sum * 0.33333334f, not sum / 3";
  EXPECT_EQ(mesh.Midpoints[0].n.z, 1.0f);
  make(mesh, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 1, 2}});
  EXPECT_EQ(mesh.Midpoints[0].n.z, -1.0f) << "clockwise seen from +z";
  make(mesh, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 1, 2}});
  EXPECT_TRUE(testmeshes::sameBits(mesh.Midpoints[0].n, V3{})) << "a collinear triangle has no normal";
  testmeshes::build(mesh, testmeshes::cube());
  EXPECT_EQ(mesh.Midpoints[0].pos.x, 0.5f) << "bottom quad 0 2 3 1";
  EXPECT_EQ(mesh.Midpoints[0].n.z, -1.0f);
  // A corner is weighted by its angle: the vertex on a straight boundary has weight 0 and no normal.
  make(mesh, {{0, 0, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}}, {{2, 0, 1, 3}});
  EXPECT_EQ(mesh.angleAtVertex(0, 0), 0.0f);
  EXPECT_NEAR(mesh.angleAtVertex(1, 0), 3.14159265f / 4, 1e-6f);
  EXPECT_TRUE(testmeshes::sameBits(mesh.Vertices[0].n, V3{}));
  EXPECT_EQ(mesh.Vertices[3].n.z, 1.0f);
}

// The whole-mesh pass lists corners once per mesh; it must give the per-vertex definition bit for
// bit, also with repeated corners (next after the first occurrence, previous before the last) and
// a polygon of many corners.
TEST(PolygonStorage, WholeMeshVertexNormalsEqualThePerVertexDefinition) {
  constexpr int Ring = 3000;
  PolygonStorage mesh;
  for (int i = 0; i < Ring; ++i) {
    const float a = 6.2831853f * static_cast<float>(i) / Ring;
    mesh.addVertex(Vertex{{std::cos(a), std::sin(a), 0.1f * std::sin(7.0f * a)}, {}, 0});
  }
  const int apex = mesh.addVertex(Vertex{{0.2f, -0.1f, 1.5f}, {}, 0});
  mesh.Polygons.emplace_back();
  for (int i = 0; i < Ring; ++i) mesh.Polygons.back().push_back(i);
  for (int i = 0; i < Ring; i += 2) mesh.addTriangle(i, apex, (i + 1) % Ring);
  mesh.Polygons.push_back({5, 6, 5, 7, apex, 8});
  mesh.Polygons.push_back({9, 9, 10, 11});
  mesh.buildIndex();
  mesh.computeMidpoints();
  mesh.computeVertexNormals();
  for (std::size_t v = 0; v < mesh.Vertices.size(); ++v) {
    Vertex expected = mesh.Vertices[v];
    mesh.computeVertexNormal(expected, static_cast<int>(v));
    ASSERT_TRUE(testmeshes::sameBits(expected.n, mesh.Vertices[v].n)) << "vertex " << v;
  }
  EXPECT_GT(std::fabs(mesh.Vertices[apex].n.z), 0.5f);
}

TEST(PolygonStorage, EdgeIndexKeepsTheFirstTwoPolygonsOfAnEdge) {
  PolygonStorage mesh;
  mesh.insertEdge(0, 7, 3);
  mesh.insertEdge(1, 3, 7);
  mesh.insertEdge(2, 7, 3);
  mesh.insertEdge(5, 1, 2);
  mesh.insertEdge(5, 2, 1);
  const EdgeEntryData* inner = mesh.findEdge(PolygonStorage::makeEdgeKey(3, 7));
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->First, 0);
  EXPECT_EQ(inner->Second, 1) << "a third polygon on an edge is not recorded";
  EXPECT_EQ(mesh.findEdge(PolygonStorage::makeEdgeKey(2, 1))->Second, -1) << "one polygon twice: a boundary edge";
  EXPECT_EQ(mesh.otherPolygon(1, PolygonStorage::makeEdgeKey(3, 7)), 0);
  EXPECT_EQ(mesh.otherPolygon(5, PolygonStorage::makeEdgeKey(1, 2)), -1) << "boundary edge from its own polygon";
  EXPECT_EQ(mesh.otherPolygon(9, PolygonStorage::makeEdgeKey(1, 2)), 5) << "from another polygon: the first one";
  EXPECT_EQ(mesh.otherPolygon(0, PolygonStorage::makeEdgeKey(7, 8)), -1) << "edge not in the index";
  // A repeated consecutive id is no edge; buildIndex logs its edge pass.
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  make(mesh, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{0, 0, 1, 2}});
  EXPECT_EQ(mesh.findEdge(PolygonStorage::makeEdgeKey(0, 0)), nullptr);
  EXPECT_EQ(mesh.EdgeIndex.size(), 3u);
  EXPECT_EQ(log.Lines, std::vector<std::string>{"PolygonStorage::buildEdgeIndex"});
  // A polygon of fewer than three ids is emptied and leaves the vertex and edge indices.
  make(mesh, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{0, 1, 2}, {0, 1}});
  EXPECT_TRUE(mesh.Polygons[1].empty());
  EXPECT_EQ(testmeshes::indexFault(mesh), "");
  EXPECT_EQ(mesh.findEdge(PolygonStorage::makeEdgeKey(0, 1))->Second, -1);
}

TEST(PolygonStorage, FitIntoVolumeWorkedCases) {
  PolygonStorage mesh;
  make(mesh, {{0, 0, 0}, {2, 0, 0}, {2, 1, 1}, {0.5f, 0.25f, 0.75f}}, {{0, 1, 2}, {0, 2, 3}});
  ASSERT_TRUE(mesh.fitIntoVolume(100, 50, 50));
  // s = min(96 / 2, 46 / 1, 46 / 1) = 46, with a border of 1.5.
  EXPECT_EQ(mesh.BBoxMin.x, 1.5f);
  EXPECT_EQ(mesh.BBoxMax.x, 93.5f);
  EXPECT_EQ(mesh.BBoxMax.z, 47.5f);
  EXPECT_EQ(mesh.Vertices[3].pos.y, 0.25f * 46 + 1.5f);
  EXPECT_FLOAT_EQ(mesh.Scale, 1.0f / 46.0f);
  EXPECT_FLOAT_EQ(mesh.Offset.x, -1.5f / 46.0f);
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].pos.x, (1.5f + 93.5f + 93.5f) / 3) << "midpoints move along";
  // Fitting again composes Scale and Offset: file coordinates still come back.
  ASSERT_TRUE(mesh.fitIntoVolume(30, 30, 30));
  EXPECT_EQ(mesh.BBoxMax.x, 27.5f);
  EXPECT_NEAR(mesh.fileCoordinates(mesh.Vertices[3].pos).z, 0.75f, 1e-6f);
  // A flat axis does not limit the scale: z has no extent, x gives s = 46 / 4.
  make(mesh, {{0, 0, 3}, {4, 0, 3}, {0, 2, 3}}, {{0, 1, 2}});
  ASSERT_TRUE(mesh.fitIntoVolume(50, 50, 50));
  EXPECT_EQ(mesh.BBoxMax.y, 2 * 11.5f + 1.5f);
  EXPECT_FLOAT_EQ(mesh.fileCoordinates(mesh.Vertices[0].pos).z, 3.0f);
  // clear keeps the edge index and the box.
  mesh.clear();
  EXPECT_EQ(mesh.EdgeIndex.size(), 3u);
  EXPECT_EQ(mesh.BBoxMax.x, 47.5f);
  EXPECT_EQ(mesh.Scale, 1.0f);
}

TEST(PolygonStorage, FitIntoVolumeRefusesWithoutChangingAnything) {
  RecordingOutput log;
  PolygonStorage point, before;
  point.setStatusOutput(&log);
  make(point, {{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, {{0, 1, 2}});
  before.copyContents(point);
  EXPECT_FALSE(point.fitIntoVolume(50, 50, 50)) << "all points in one place";
  EXPECT_EQ(testmeshes::meshDifference(before, point), "");
  EXPECT_NE(log.Lines.back().find("cannot be fitted"), std::string::npos) << log.Lines.back();
  PolygonStorage empty;
  EXPECT_FALSE(empty.fitIntoVolume(50, 50, 50)) << "no vertices";
  testmeshes::build(point, testmeshes::cube());
  EXPECT_FALSE(point.fitIntoVolume(4, 50, 50)) << "no room inside the border";
  EXPECT_EQ(point.Vertices[7].pos.x, 1.0f);
}
