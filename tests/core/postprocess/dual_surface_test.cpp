#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorage.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace tessellor;

namespace {

V3 onCircle(float degrees) {
  const float r = degrees * 3.14159265f / 180.0f;
  return V3{std::cos(r), std::sin(r), 0.0f};
}

// Vertex 0 at the origin, ring vertices 1..6; triangle ids are shuffled so that the smallest id is
// neither first in ring order nor are ids ascending around the vertex. In counter-clockwise order
// around vertex 0 the triangle ids are 3, 0, 4, 1, 5, 2.
void hexagonFan(PolygonStorage& mesh) {
  std::vector<V3> positions{{0, 0, 0}};
  for (int k = 0; k < 6; ++k) positions.push_back(onCircle(60.0f * static_cast<float>(k)));
  auto tri = [](int k) { return VertexIDList{0, 1 + k, 1 + (k + 1) % 6}; };
  postfixtures::buildMesh(mesh, positions, {tri(1), tri(3), tri(5), tri(0), tri(2), tri(4)});
}

// Boundary vertex 0 with the triangles f0, f1, f2 counter-clockwise, stored with ids f1 = 0,
// f0 = 1, f2 = 2. Vertex 0 carries a feature mark.
void openFan(PolygonStorage& mesh) {
  postfixtures::buildMesh(mesh, {{0, 0, 0}, onCircle(0), onCircle(60), onCircle(120), onCircle(180)},
                          {{0, 2, 3}, {0, 1, 2}, {0, 3, 4}});
  mesh.Vertices[0].attr = 1;
}

bool near(const V3& a, const V3& b) {
  return std::fabs(a.x - b.x) < 1e-6f && std::fabs(a.y - b.y) < 1e-6f && std::fabs(a.z - b.z) < 1e-6f;
}

}  // namespace

TEST(DualSurface, HexagonFanBecomesOneHexagonFromItsSmallestIdCounterClockwise) {
  PolygonStorage source;
  hexagonFan(source);
  source.setScale(2.5f);
  source.setOffset(1, 2, 3);
  PolygonStorage dual;
  RecordingOutput log;
  dual.setStatusOutput(&log);
  dual.constructDualSurface(source, true);

  ASSERT_EQ(dual.Vertices.size(), 6u) << "one vertex per source polygon";
  ASSERT_EQ(dual.Polygons.size(), 1u) << "ring vertices have two polygons and give none";
  EXPECT_EQ(dual.Polygons[0], (VertexIDList{0, 4, 1, 5, 2, 3}));
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(near(dual.Vertices[k].pos, source.Midpoints[k].pos)) << "vertex " << k;
  EXPECT_NEAR(dual.Midpoints[0].n.z, 1.0f, 1e-6f) << "same orientation as the source";
  EXPECT_EQ(dual.getScale(), 2.5f);
  EXPECT_EQ(dual.getOffset().z, 3.0f);
  EXPECT_EQ(log.Tasks, (std::vector<std::string>{"Constructing Dual Surface"}));
  EXPECT_TRUE(dual.checkIntegrity());
}

TEST(DualSurface, OpenFanWithAndWithoutEdgeMidpoints) {
  PolygonStorage source;
  openFan(source);
  {
    PolygonStorage dual;
    dual.constructDualSurface(source, true);
    ASSERT_EQ(dual.Polygons.size(), 1u);
    EXPECT_EQ(dual.Polygons[0], (VertexIDList{1, 0, 2})) << "(f0, f1, f2), closed directly";
    EXPECT_EQ(dual.Vertices.size(), 3u);
  }
  {
    PolygonStorage dual;
    dual.constructDualSurface(source, false);
    ASSERT_EQ(dual.Polygons.size(), 1u);
    // M1 (id 3) ends the forward walk at edge 0-4, M2 (id 4) the backward walk at edge 0-1.
    EXPECT_EQ(dual.Polygons[0], (VertexIDList{4, 1, 0, 2, 3})) << "(M2, f0, f1, f2, M1)";
    ASSERT_EQ(dual.Vertices.size(), 5u);
    EXPECT_TRUE(near(dual.Vertices[3].pos, V3{-0.5f, 0.0f, 0.0f})) << "M1 halves edge 0-4";
    EXPECT_TRUE(near(dual.Vertices[4].pos, V3{0.5f, 0.0f, 0.0f})) << "M2 halves edge 0-1";
    EXPECT_EQ(dual.Vertices[3].attr, 1) << "edge midpoints copy the source vertex's mark";
    EXPECT_EQ(dual.Vertices[4].attr, 1);
    EXPECT_NEAR(dual.Vertices[3].n.z, 1.0f, 1e-6f) << "normals come from the dual polygons";
  }
}

TEST(DualSurface, FeatureMarksOfSourceMidpointsCarryOver) {
  PolygonStorage source;
  hexagonFan(source);
  source.Midpoints[4].attr = 2;
  source.Midpoints[4].pos = V3{0.1f, 0.2f, 0.3f};  // a feature point moved into the midpoint
  PolygonStorage dual;
  dual.constructDualSurface(source, true);
  EXPECT_EQ(dual.Vertices[4].attr, 2);
  EXPECT_TRUE(near(dual.Vertices[4].pos, V3{0.1f, 0.2f, 0.3f}));
  EXPECT_EQ(dual.Vertices[0].attr, 0);
}

TEST(DualSurface, FlippedNeighbourEndsTheWalkLikeABoundary) {
  PolygonStorage source;
  hexagonFan(source);
  // Triangle id 1 (ring position 3) runs its edges the other way round.
  source.Polygons[1] = VertexIDList{0, 5, 4};
  source.buildIndex();
  source.computeMidpoints();
  PolygonStorage dual;
  dual.constructDualSurface(source, true);
  ASSERT_EQ(dual.Polygons.size(), 1u);
  // Forward from 0 stops before 1; backward from 0 reaches 3 and 4; 1 is left out.
  EXPECT_EQ(dual.Polygons[0], (VertexIDList{5, 2, 3, 0, 4}));
}

TEST(DualSurface, EmptySourceGivesEmptyDualWithItsFrame) {
  PolygonStorage source;
  source.setScale(0.5f);
  source.setOffset(-1, 0, 1);
  PolygonStorage dual;
  dual.constructDualSurface(source, false);
  EXPECT_TRUE(dual.Vertices.empty());
  EXPECT_TRUE(dual.Polygons.empty());
  EXPECT_EQ(dual.getScale(), 0.5f);
  EXPECT_EQ(dual.getOffset().x, -1.0f);
}

// A fan that closes on two corners is emptied and must leave the vertex and edge indices.
TEST(DualSurface, FanOfTwoCornersLeavesEveryIndex) {
  PolygonStorage source;
  // Around vertex 0: 0 -> 1 is consistent, 0's backward neighbour 2 runs edge 0-1 the same way.
  postfixtures::buildMesh(source, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {1, -1, 0}},
                          {{0, 1, 2}, {0, 2, 3}, {0, 1, 4}});
  PolygonStorage dual;
  dual.constructDualSurface(source, true);
  ASSERT_EQ(dual.Polygons.size(), 1u);
  EXPECT_TRUE(dual.Polygons[0].empty());
  EXPECT_TRUE(dual.VIndex[0].empty());
  EXPECT_TRUE(dual.VIndex[1].empty());
  EXPECT_TRUE(dual.EdgeIndex.empty()) << "edge 0-1 of the emptied polygon is still indexed";
  EXPECT_TRUE(dual.checkIntegrity());
}

// Three triangles on edge 0-3, one of them reversed: the edge index keeps two of them, and a walk
// from polygon 0 runs into polygons 1 and 3 and would circle between them for ever.
TEST(DualSurface, WalkAroundNonManifoldVertexIsBounded) {
  PolygonStorage source;
  postfixtures::buildMesh(source, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}},
                          {{0, 1, 2}, {0, 3, 4}, {0, 2, 3}, {0, 4, 3}});
  for (bool skip : {true, false}) {
    PolygonStorage dual;
    dual.constructDualSurface(source, skip);
    int fans = 0;
    for (int v = 0; v < static_cast<int>(source.VIndex.size()); ++v) {
      if (source.VIndex[v].size() <= 2) continue;
      const VertexIDList& fan = dual.Polygons[fans++];
      EXPECT_LE(fan.size(), source.VIndex[v].size() + 2) << "fan of vertex " << v;
    }
    EXPECT_EQ(dual.Polygons[0], (VertexIDList{0, 2, 1, 3})) << "vertex 0 takes each of its polygons once";
  }
}

// Over closed, consistently oriented meshes every stage keeps the surface closed, consistently
// oriented and of the same Euler characteristic, with every index current:
// - the dual has one polygon of as many corners as each source vertex has polygons;
// - degree reduction leaves polygons of at most four corners;
// - rhombus removal keeps every polygon id (collapsed ones are emptied) and collapses some quad;
// - after smoothing the integrity check writes only "VIndex OK".
TEST(PostProcessing, StagesKeepClosedMeshesClosedWithTheirEulerCharacteristic) {
  int collapsed = 0;
  for (const postfixtures::NamedMesh& m : postfixtures::closedMeshes()) {
    PolygonStorage source;
    postfixtures::buildMesh(source, m.Positions, m.Polygons);
    ASSERT_TRUE(postfixtures::closedAndOriented(source)) << m.Name;
    PolygonStorage mesh;
    auto expectClosed = [&](const char* stage) {
      std::string problem;
      EXPECT_TRUE(postfixtures::closedAndOriented(mesh, &problem)) << m.Name << " after " << stage << ": " << problem;
      EXPECT_EQ(postfixtures::eulerCharacteristic(mesh), m.EulerCharacteristic) << m.Name << " after " << stage;
      EXPECT_TRUE(postfixtures::edgeIndexCurrent(mesh)) << m.Name << " after " << stage;
      EXPECT_TRUE(mesh.checkIntegrity()) << m.Name << " after " << stage;
    };

    mesh.constructDualSurface(source, false);
    ASSERT_EQ(mesh.Polygons.size(), source.Vertices.size()) << m.Name;
    EXPECT_EQ(mesh.Vertices.size(), source.Polygons.size()) << m.Name << ": no edge midpoints on a closed mesh";
    for (std::size_t v = 0; v < source.VIndex.size(); ++v)
      EXPECT_EQ(mesh.Polygons[v].size(), source.VIndex[v].size()) << m.Name << " vertex " << v;
    expectClosed("the dual surface");

    mesh.reducePolygonDegree();
    for (const VertexIDList& polygon : mesh.Polygons) EXPECT_LE(polygon.size(), 4u) << m.Name;
    expectClosed("degree reduction");

    const std::size_t polygonsBefore = mesh.Polygons.size();
    mesh.removeRhombusPolygons();
    EXPECT_EQ(mesh.Polygons.size(), polygonsBefore) << m.Name << ": ids stay";
    for (const VertexIDList& polygon : mesh.Polygons) collapsed += polygon.empty() ? 1 : 0;
    expectClosed("rhombus removal");

    mesh.smooth();
    RecordingOutput log;
    mesh.setStatusOutput(&log);
    EXPECT_TRUE(mesh.checkIntegrity()) << m.Name;
    EXPECT_EQ(log.Tasks, (std::vector<std::string>{"Check Integrity"}));
    EXPECT_EQ(std::vector<std::string>(log.Lines.begin() + 2, log.Lines.end() - 2),
              (std::vector<std::string>{"VIndex OK"}))
        << m.Name;
  }
  EXPECT_GT(collapsed, 0) << "the meshes should exercise at least one collapse";
}
