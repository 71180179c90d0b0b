#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorage.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace tessellor;

namespace {

// Vertices 0..9 are spare; the polygon's corners are 10, 11, ... on a slightly irregular convex
// outline in the plane z = 1, counter-clockwise seen from +z.
void singlePolygon(PolygonStorage& mesh, int corners) {
  std::vector<V3> positions(10, V3{0, 0, 0});
  VertexIDList polygon;
  for (int k = 0; k < corners; ++k) {
    const float angle = 2.0f * 3.14159265f * static_cast<float>(k) / static_cast<float>(corners);
    const float radius = 1.0f + 0.1f * static_cast<float>(k % 3);
    positions.push_back(V3{radius * std::cos(angle), radius * std::sin(angle), 1.0f});
    polygon.push_back(10 + k);
  }
  postfixtures::buildMesh(mesh, positions, {polygon});
}

V3 centroid(const PolygonStorage& mesh, const VertexIDList& ids) {
  V3 sum;
  for (int id : ids) {
    sum.x += mesh.Vertices[id].pos.x;
    sum.y += mesh.Vertices[id].pos.y;
    sum.z += mesh.Vertices[id].pos.z;
  }
  const float inverse = 1.0f / static_cast<float>(ids.size());
  return V3{sum.x * inverse, sum.y * inverse, sum.z * inverse};
}

}  // namespace

TEST(DegreeReduction, PentagonLosesATriangleAndNoVertexIsAdded) {
  PolygonStorage mesh;
  singlePolygon(mesh, 5);
  mesh.reducePolygonDegree();
  ASSERT_EQ(mesh.Polygons.size(), 2u);
  EXPECT_EQ(mesh.Polygons[0], (VertexIDList{10, 12, 13, 14}));
  EXPECT_EQ(mesh.Polygons[1], (VertexIDList{10, 11, 12}));
  EXPECT_EQ(mesh.Vertices.size(), 15u);
}

TEST(DegreeReduction, HexagonBecomesThreeQuadsAroundItsCentroid) {
  PolygonStorage mesh;
  singlePolygon(mesh, 6);
  const Vertex hexagon = mesh.Midpoints[0];
  mesh.reducePolygonDegree();
  ASSERT_EQ(mesh.Vertices.size(), 17u);
  const int c = 16;
  ASSERT_EQ(mesh.Polygons.size(), 3u);
  EXPECT_EQ(mesh.Polygons[1], (VertexIDList{10, 11, 12, c}));
  EXPECT_EQ(mesh.Polygons[2], (VertexIDList{12, 13, 14, c}));
  EXPECT_EQ(mesh.Polygons[0], (VertexIDList{10, c, 14, 15})) << "the old id keeps the last piece";
  EXPECT_EQ(mesh.Vertices[c].pos.x, hexagon.pos.x);
  EXPECT_EQ(mesh.Vertices[c].pos.y, hexagon.pos.y);
  EXPECT_EQ(mesh.Vertices[c].n.z, hexagon.n.z);
  EXPECT_EQ(mesh.Vertices[c].attr, 0);
  EXPECT_EQ(mesh.VIndex.size(), mesh.Vertices.size());
  EXPECT_EQ(mesh.VIndex[c], (VertexIDSet{0, 1, 2}));
}

TEST(DegreeReduction, HeptagonCutsATriangleThenFansTheHexagonAroundItsCentroid) {
  PolygonStorage mesh;
  singlePolygon(mesh, 7);
  const V3 expected = centroid(mesh, {10, 12, 13, 14, 15, 16});
  const V3 wholeCentroid = centroid(mesh, {10, 11, 12, 13, 14, 15, 16});
  mesh.reducePolygonDegree();
  ASSERT_EQ(mesh.Polygons.size(), 4u);
  const int c = 17;
  EXPECT_EQ(mesh.Polygons[1], (VertexIDList{10, 11, 12}));
  EXPECT_EQ(mesh.Polygons[2], (VertexIDList{10, 12, 13, c}));
  EXPECT_EQ(mesh.Polygons[3], (VertexIDList{13, 14, 15, c}));
  EXPECT_EQ(mesh.Polygons[0], (VertexIDList{10, c, 15, 16}));
  EXPECT_NEAR(mesh.Vertices[c].pos.x, expected.x, 1e-6f) << "centre of the hexagon left after the cut";
  EXPECT_NEAR(mesh.Vertices[c].pos.y, expected.y, 1e-6f);
  EXPECT_GT(std::fabs(expected.x - wholeCentroid.x) + std::fabs(expected.y - wholeCentroid.y), 1e-3f)
      << "the two centres must differ for this case to tell them apart";
}

TEST(DegreeReduction, FanAroundCentreFromALaterStartWrapsAround) {
  PolygonStorage mesh;
  singlePolygon(mesh, 6);
  Vertex centre;
  centre.pos = V3{0, 0, 1};
  centre.attr = 2;
  mesh.splitPolygonAroundCenter(0, 3, 2, centre);
  const int c = 16;
  ASSERT_EQ(mesh.Polygons.size(), 4u);
  EXPECT_EQ(mesh.Polygons[1], (VertexIDList{12, 13, c}));
  EXPECT_EQ(mesh.Polygons[2], (VertexIDList{13, 14, c}));
  EXPECT_EQ(mesh.Polygons[3], (VertexIDList{14, 15, c}));
  EXPECT_EQ(mesh.Polygons[0], (VertexIDList{10, 11, 12, c, 15})) << "the last piece wraps past the list's start";
  EXPECT_EQ(mesh.Vertices[c].attr, 2) << "the centre record is taken over whole";
  EXPECT_TRUE(mesh.checkIntegrity());
}

TEST(DegreeReduction, LeavesSmallAndEmptyPolygonsAlone) {
  PolygonStorage mesh;
  postfixtures::buildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 1, 2, 3}, {}});
  mesh.reducePolygonDegree();
  ASSERT_EQ(mesh.Polygons.size(), 3u);
  EXPECT_EQ(mesh.Polygons[0], (VertexIDList{0, 1, 2}));
  EXPECT_EQ(mesh.Polygons[1], (VertexIDList{0, 1, 2, 3}));
  EXPECT_TRUE(mesh.Polygons[2].empty());
  EXPECT_EQ(mesh.Vertices.size(), 4u);
}

// Every polygon of 5 to 14 corners: pieces of at most four corners, the same orientation, the
// whole area kept, every index current, and the logged section.
TEST(DegreeReduction, PiecesCoverThePolygonWithItsOrientationAndIndicesCurrent) {
  for (int corners = 5; corners <= 14; ++corners) {
    PolygonStorage mesh;
    singlePolygon(mesh, corners);
    RecordingOutput log;
    mesh.setStatusOutput(&log);
    auto area = [&mesh](const VertexIDList& polygon) {
      float twice = 0.0f;
      for (std::size_t k = 0; k < polygon.size(); ++k) {
        const V3& a = mesh.Vertices[polygon[k]].pos;
        const V3& b = mesh.Vertices[polygon[(k + 1) % polygon.size()]].pos;
        twice += a.x * b.y - a.y * b.x;
      }
      return 0.5f * twice;
    };
    const float before = area(mesh.Polygons[0]);
    mesh.reducePolygonDegree();

    const std::size_t expectedPieces = corners % 2 == 0 ? corners / 2 : (corners == 5 ? 2 : 1 + (corners - 1) / 2);
    EXPECT_EQ(mesh.Polygons.size(), expectedPieces) << corners << " corners";
    float after = 0.0f;
    for (const VertexIDList& piece : mesh.Polygons) {
      EXPECT_GE(piece.size(), 3u);
      EXPECT_LE(piece.size(), 4u) << corners << " corners";
      EXPECT_GT(area(piece), 0.0f) << corners << " corners: a piece turned over";
      after += area(piece);
    }
    EXPECT_NEAR(after, before, 1e-4f) << corners << " corners";
    EXPECT_EQ(mesh.VIndex.size(), mesh.Vertices.size());
    EXPECT_EQ(mesh.Midpoints.size(), mesh.Polygons.size());
    EXPECT_TRUE(postfixtures::edgeIndexCurrent(mesh)) << corners << " corners";
    EXPECT_EQ(log.Lines.at(1), "Reducing polygon degree");
    EXPECT_TRUE(log.hasLine("PolygonStorage::buildEdgeIndex"));
    mesh.setStatusOutput(nullptr);
    EXPECT_TRUE(mesh.checkIntegrity()) << corners << " corners";
  }
}
