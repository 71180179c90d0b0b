#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorage.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tessellor;

namespace {

enum : int { A = 0, B, C, D, G, H, K, M, N, O, Z, Y };

// A flat patch around the quad (a, b, c, d) = (-1,0), (0,-1), (1,0), (0,1): a lies in two more
// quads (a-g shared), c in two more (c-n shared), b and d in four more polygons each, so the quad's
// degrees are 3, 5, 3, 5. quad is the quad's own list (a rotation of a, b, c, d); drop leaves out
// the given polygons (by name) to lower degrees.
struct Patch {
  std::vector<V3> Positions{{-1, 0, 0}, {0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-2, 0, 0}, {-1, -2, 0},
                            {-1, 2, 0}, {1, -2, 0}, {2, 0, 0}, {1, 2, 0}, {0, -3, 0}, {0, 3, 0}};
  std::vector<std::pair<std::string, VertexIDList>> Others{
      {"qa1", {B, A, G, H}}, {"qa2", {A, D, K, G}}, {"qc1", {C, B, M, N}}, {"qc2", {D, C, N, O}},
      {"t1", {B, Z, M}},     {"t2", {B, H, Z}},     {"t3", {K, D, Y}},     {"t4", {Y, D, O}}};

  void build(PolygonStorage& mesh, const VertexIDList& quad, const std::vector<std::string>& drop = {}) {
    std::vector<VertexIDList> polygons{quad};
    for (const auto& other : Others)
      if (std::find(drop.begin(), drop.end(), other.first) == drop.end()) polygons.push_back(other.second);
    postfixtures::buildMesh(mesh, Positions, polygons);
  }
};

bool cyclicallyEqual(const VertexIDList& a, const VertexIDList& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t shift = 0; shift < a.size(); ++shift) {
    VertexIDList rotated = a;
    std::rotate(rotated.begin(), rotated.begin() + static_cast<long>(shift), rotated.end());
    if (rotated == b) return true;
  }
  return a.empty();
}

int degree(const PolygonStorage& mesh, int v) { return static_cast<int>(mesh.VIndex[v].size()); }

}  // namespace

TEST(RhombusRemoval, QuadOfDegreesThreeFiveThreeFiveCollapsesOntoItsCentroid) {
  Patch patch;
  PolygonStorage mesh;
  patch.build(mesh, {A, B, C, D});
  for (const Vertex& mid : mesh.Midpoints) ASSERT_GT(mid.n.z, 0.0f) << "the patch faces +z";
  ASSERT_EQ(degree(mesh, A), 3);
  ASSERT_EQ(degree(mesh, B), 5);
  const V3 centroid = mesh.Midpoints[0].pos;
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  mesh.removeRhombusPolygons();

  EXPECT_TRUE(mesh.Polygons[0].empty());
  EXPECT_TRUE(mesh.VIndex[A].empty()) << "a is used by no polygon";
  EXPECT_EQ(mesh.Vertices.size(), 12u) << "vertices are never erased";
  EXPECT_EQ(mesh.Vertices[C].pos.x, centroid.x);
  EXPECT_EQ(mesh.Vertices[C].pos.y, centroid.y);
  EXPECT_EQ(degree(mesh, C), 4);
  EXPECT_EQ(degree(mesh, B), 4);
  EXPECT_EQ(degree(mesh, D), 4);
  EXPECT_TRUE(cyclicallyEqual(mesh.Polygons[1], {B, C, G, H})) << "c takes a's place";
  EXPECT_TRUE(cyclicallyEqual(mesh.Polygons[2], {C, D, K, G}));
  EXPECT_EQ(log.Lines.at(1), "Removing rhombus polygons");
  EXPECT_TRUE(postfixtures::edgeIndexCurrent(mesh));
  mesh.setStatusOutput(nullptr);
  EXPECT_TRUE(mesh.checkIntegrity()) << "midpoints around c and the index are current";
}

TEST(RhombusRemoval, QuadStartingAtADegreeFiveCornerIsRotatedThenCollapsed) {
  Patch patch;
  PolygonStorage mesh;
  patch.build(mesh, {B, C, D, A});  // degrees 5, 3, 5, 3
  mesh.removeRhombusPolygons();
  EXPECT_TRUE(mesh.Polygons[0].empty());
  // After the rotation the quad reads c, d, a, b: its second id (c) is merged into its fourth (a).
  EXPECT_TRUE(mesh.VIndex[C].empty());
  EXPECT_EQ(degree(mesh, A), 4);
  EXPECT_EQ(mesh.Vertices[A].pos.x, 0.0f);
  EXPECT_EQ(mesh.Vertices[A].pos.y, 0.0f);
  EXPECT_TRUE(mesh.checkIntegrity());
}

TEST(RhombusRemoval, DegreesOtherThanThreeFiveThreeFiveStay) {
  Patch patch;
  {
    PolygonStorage mesh;
    patch.build(mesh, {A, B, C, D}, {"t1"});  // 3, 4, 3, 5
    mesh.removeRhombusPolygons();
    EXPECT_EQ(mesh.Polygons[0], (VertexIDList{A, B, C, D})) << "not collapsed and not rotated";
  }
  {
    PolygonStorage mesh;
    patch.build(mesh, {B, C, D, A}, {"t1", "t3"});  // 4, 3, 4, 3
    mesh.removeRhombusPolygons();
    EXPECT_EQ(mesh.Polygons[0], (VertexIDList{C, D, A, B})) << "rotated once, then rejected: stays rotated";
  }
}

TEST(RhombusRemoval, FeatureMarkDoesNotProtectACorner) {
  Patch patch;
  PolygonStorage mesh;
  patch.build(mesh, {A, B, C, D});
  mesh.Vertices[C].attr = 1;
  mesh.Vertices[A].attr = 2;
  mesh.removeRhombusPolygons();
  EXPECT_TRUE(mesh.Polygons[0].empty());
  EXPECT_EQ(mesh.Vertices[C].pos.x, 0.0f);
}

TEST(RhombusRemoval, TrianglesPentagonsAndEmptyPolygonsAreNotTouched) {
  PolygonStorage mesh;
  std::vector<V3> positions;
  for (int k = 0; k < 6; ++k) positions.push_back(V3{static_cast<float>(k), static_cast<float>(k * k), 0});
  postfixtures::buildMesh(mesh, positions, {{0, 1, 2}, {0, 1, 2, 3, 4}, {}, {1, 2, 3}, {0, 4, 5}});
  const std::vector<VertexIDList> before = mesh.Polygons;
  mesh.removeRhombusPolygons();
  EXPECT_EQ(mesh.Polygons, before);
}

// Collapses that would damage the surface are skipped, and the mesh stays as it was:
// - a quad that holds a corner twice would merge that vertex into itself;
// - a and c both lying in one more polygon would leave it holding c twice (pinched at c);
// - a and c sharing the edge neighbour 4 besides b and d would give the merged vertex two edges
//   to 4, each then in four polygons.
TEST(RhombusRemoval, CollapsesThatWouldDamageTheSurfaceAreSkipped) {
  struct Case {
    const char* Name;
    std::vector<VertexIDList> Polygons;
    std::vector<std::pair<int, int>> Degrees;  // (vertex, polygons around it) before the pass
  };
  const Case cases[] = {
      {"quad holding vertex 0 twice",
       {{0, 1, 0, 3},
        {0, 4, 5},
        {0, 6, 7},
        {1, 4, 6},
        {1, 5, 7},
        {1, 8, 9},
        {1, 10, 11},
        {3, 4, 6},
        {3, 5, 7},
        {3, 8, 9},
        {3, 10, 11}},
       {{0, 3}, {1, 5}, {3, 5}}},
      {"a and c in one more polygon",
       {{0, 1, 2, 3},
        {0, 4, 2, 5},
        {0, 6, 7},
        {2, 8, 9},
        {1, 4, 6},
        {1, 5, 7},
        {1, 8, 10},
        {1, 9, 11},
        {3, 4, 6},
        {3, 5, 7},
        {3, 8, 10},
        {3, 9, 11}},
       {{0, 3}, {2, 3}}},
      {"a and c sharing a neighbour",
       {{0, 1, 2, 3}, {1, 0, 4}, {0, 3, 4}, {3, 2, 4}, {2, 1, 4}, {1, 5, 6}, {1, 7, 8}, {3, 5, 6}, {3, 7, 8}},
       {{0, 3}, {1, 5}, {2, 3}, {3, 5}}},
  };
  std::vector<V3> positions;
  for (int k = 0; k < 12; ++k) positions.push_back(V3{static_cast<float>(k % 4), static_cast<float>(k / 4), 0});
  for (const Case& c : cases) {
    PolygonStorage mesh;
    postfixtures::buildMesh(mesh, positions, c.Polygons);
    for (const auto& [vertex, expected] : c.Degrees) ASSERT_EQ(degree(mesh, vertex), expected) << c.Name;
    mesh.removeRhombusPolygons();
    EXPECT_EQ(mesh.Polygons, c.Polygons) << c.Name;
    EXPECT_EQ(degree(mesh, 0), 3) << c.Name;
  }
}
