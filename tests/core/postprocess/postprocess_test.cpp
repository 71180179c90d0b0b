// The post-processing passes: worked examples of each, and over every closed mesh of the suite
// the whole chain keeps the surface closed, oriented outwards and of its Euler characteristic.
#include "mesh/PolygonStorage.h"
#include "support/RecordingOutput.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace tessellor;

namespace {

void make(PolygonStorage& mesh, const std::vector<V3>& positions, const std::vector<VertexIDList>& polygons) {
  testmeshes::build(mesh, {"", positions, polygons, 0});
}

V3 onCircle(float degrees) {
  return V3{std::cos(degrees * 3.14159265f / 180), std::sin(degrees * 3.14159265f / 180), 0};
}

// Vertices 0..9 are spare; the polygon's corners are 10, 11, ... on a slightly irregular convex
// outline in the plane z = 1, counter-clockwise seen from +z.
void singlePolygon(PolygonStorage& mesh, int corners) {
  testmeshes::MeshData data{"", std::vector<V3>(10), {{}}, 0};
  for (int k = 0; k < corners; ++k) {
    const V3 p = onCircle(360.0f * float(k) / float(corners));
    const float radius = 1.0f + 0.1f * float(k % 3);
    data.Positions.push_back(V3{radius * p.x, radius * p.y, 1.0f});
    data.Polygons[0].push_back(10 + k);
  }
  testmeshes::build(mesh, data);
}

}  // namespace

// Vertex 0 at the origin, ring vertices 1..6; counter-clockwise around vertex 0 the triangle ids
// are 3, 0, 4, 1, 5, 2. The dual starts at the smallest id; ring vertices (two polygons) give none.
TEST(DualSurface, FansOfWorkedNeighbourhoods) {
  std::vector<V3> ring{{0, 0, 0}};
  for (int k = 0; k < 6; ++k) ring.push_back(onCircle(60.0f * k));
  auto tri = [](int k) { return VertexIDList{0, 1 + k, 1 + (k + 1) % 6}; };
  PolygonStorage source, dual;
  make(source, ring, {tri(1), tri(3), tri(5), tri(0), tri(2), tri(4)});
  source.setScale(2.5f);
  source.Midpoints[4].attr = 2;
  RecordingOutput log;
  dual.setStatusOutput(&log);
  dual.constructDualSurface(source, true);
  EXPECT_EQ(dual.Polygons, (std::vector<VertexIDList>{{0, 4, 1, 5, 2, 3}}));
  ASSERT_EQ(dual.Vertices.size(), 6u) << "one vertex per source polygon";
  EXPECT_TRUE(testmeshes::sameBits(dual.Vertices[5].pos, source.Midpoints[5].pos));
  EXPECT_EQ(dual.Vertices[4].attr, 2) << "feature marks of midpoints carry over";
  EXPECT_NEAR(dual.Midpoints[0].n.z, 1.0f, 1e-6f) << "the orientation of the source";
  EXPECT_EQ(dual.getScale(), 2.5f);
  EXPECT_EQ(log.Tasks, std::vector<std::string>{"Constructing Dual Surface"});
  // A neighbour that runs the shared edge the same way ends the walk like a boundary.
  source.Polygons[1] = VertexIDList{0, 5, 4};
  source.buildIndex();
  source.computeMidpoints();
  dual.constructDualSurface(source, true);
  EXPECT_EQ(dual.Polygons, (std::vector<VertexIDList>{{5, 2, 3, 0, 4}}));
  // A boundary vertex with f0, f1, f2 (ids 1, 0, 2): closed directly, or with the midpoints M2 of
  // edge 0-1 and M1 of edge 0-4 at the ends, which copy the vertex's mark.
  make(source, {{0, 0, 0}, onCircle(0), onCircle(60), onCircle(120), onCircle(180)}, {{0, 2, 3}, {0, 1, 2}, {0, 3, 4}});
  source.Vertices[0].attr = 1;
  dual.constructDualSurface(source, true);
  EXPECT_EQ(dual.Polygons, (std::vector<VertexIDList>{{1, 0, 2}}));
  dual.constructDualSurface(source, false);
  EXPECT_EQ(dual.Polygons, (std::vector<VertexIDList>{{4, 1, 0, 2, 3}}));
  ASSERT_EQ(dual.Vertices.size(), 5u);
  EXPECT_NEAR(dual.Vertices[3].pos.x, -0.5f, 1e-6f);
  EXPECT_NEAR(dual.Vertices[4].pos.x, 0.5f, 1e-6f);
  EXPECT_EQ(dual.Vertices[3].attr, 1);
  EXPECT_NEAR(dual.Vertices[3].n.z, 1.0f, 1e-6f) << "normals come from the dual polygons";
  // A fan that closes on two corners is emptied and leaves every index; around a non-manifold
  // vertex (three triangles on edge 0-3) each fan takes each of its polygons once.
  make(source, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {1, -1, 0}}, {{0, 1, 2}, {0, 2, 3}, {0, 1, 4}});
  dual.constructDualSurface(source, true);
  EXPECT_EQ(dual.Polygons, (std::vector<VertexIDList>{{}}));
  EXPECT_EQ(testmeshes::indexFault(dual), "");
  make(source, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}}, {{0, 1, 2}, {0, 3, 4}, {0, 2, 3}, {0, 4, 3}});
  dual.constructDualSurface(source, false);
  EXPECT_EQ(dual.Polygons[0], (VertexIDList{0, 2, 1, 3}));
}

// A pentagon loses a triangle; a hexagon becomes three quads around its centroid (the old id keeps
// the last piece); a heptagon first loses a triangle, then the hexagon left is fanned around its
// own centroid; a fan from a later start wraps past the list's end.
TEST(DegreeReduction, WorkedPolygons) {
  const struct {
    int Corners;
    std::vector<VertexIDList> Pieces;
    VertexIDList Centre;  // the corners whose centroid the added vertex is
  } cases[] = {{5, {{10, 12, 13, 14}, {10, 11, 12}}, {}},
               {6, {{10, 16, 14, 15}, {10, 11, 12, 16}, {12, 13, 14, 16}}, {10, 11, 12, 13, 14, 15}},
               {7, {{10, 17, 15, 16}, {10, 11, 12}, {10, 12, 13, 17}, {13, 14, 15, 17}}, {10, 12, 13, 14, 15, 16}}};
  for (const auto& c : cases) {
    PolygonStorage mesh;
    singlePolygon(mesh, c.Corners);
    mesh.reducePolygonDegree();
    EXPECT_EQ(mesh.Polygons, c.Pieces) << c.Corners << " corners";
    ASSERT_EQ(mesh.Vertices.size(), 10u + c.Corners + (c.Centre.empty() ? 0 : 1));
    float x = 0;
    for (int id : c.Centre) x += mesh.Vertices[id].pos.x / 6;
    EXPECT_NEAR(c.Centre.empty() ? x : mesh.Vertices.back().pos.x, x, 1e-6f) << c.Corners << " corners";
  }
  PolygonStorage mesh;
  singlePolygon(mesh, 6);
  mesh.splitPolygonAroundCenter(0, 3, 2, Vertex{{0, 0, 1}, {}, 2});
  EXPECT_EQ(mesh.Polygons, (std::vector<VertexIDList>{{10, 11, 12, 16, 15}, {12, 13, 16}, {13, 14, 16}, {14, 15, 16}}));
  EXPECT_EQ(mesh.Vertices[16].attr, 2) << "the centre record is taken over whole";
  EXPECT_TRUE(mesh.checkIntegrity());
}

// A flat patch around the quad (a, b, c, d) = (-1,0), (0,-1), (1,0), (0,1) of degrees 3, 5, 3, 5
// (drop takes triangles away to lower them): the quad is emptied, a merged into c, and c moved to
// the quad's centroid; a feature mark protects no corner. Starting at a degree-5 corner the quad
// is rotated first; other degrees, triangles, pentagons and empty polygons stay.
TEST(RhombusRemoval, QuadsOfDegreesThreeFiveThreeFiveCollapse) {
  enum : int { A = 0, B, C, D, G, H, K, M, N, O, Z, Y };
  auto patch = [](PolygonStorage& mesh, const VertexIDList& quad, std::vector<int> drop) {
    const std::vector<VertexIDList> others{{B, A, G, H}, {A, D, K, G}, {C, B, M, N}, {D, C, N, O},
                                           {B, Z, M},    {B, H, Z},    {K, D, Y},    {Y, D, O}};
    std::vector<VertexIDList> polygons{quad};
    for (int i = 0; i < 8; ++i)
      if (std::find(drop.begin(), drop.end(), i) == drop.end()) polygons.push_back(others[i]);
    make(mesh, testmeshes::positions("-1 0 0 0 -1 0 1 0 0 0 1 0 -2 0 0 -1 -2 0 -1 2 0 1 -2 0 2 0 0 1 2 0 0 -3 0 0 3 0"),
         polygons);
  };
  PolygonStorage mesh;
  patch(mesh, {A, B, C, D}, {});
  mesh.Vertices[C].attr = 1;
  const V3 centroid = mesh.Midpoints[0].pos;
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  mesh.removeRhombusPolygons();
  EXPECT_TRUE(mesh.Polygons[0].empty() && mesh.VIndex[A].empty());
  EXPECT_TRUE(testmeshes::sameBits(mesh.Vertices[C].pos, centroid));
  for (int v : {B, C, D}) EXPECT_EQ(mesh.VIndex[v].size(), 4u) << v;
  VertexIDList first = mesh.Polygons[1];
  std::rotate(first.begin(), std::min_element(first.begin(), first.end()), first.end());
  EXPECT_EQ(first, (VertexIDList{B, C, G, H})) << "c takes a's place";
  EXPECT_EQ(log.Tasks, std::vector<std::string>{"Removing rhombus polygons"});
  EXPECT_EQ(testmeshes::indexFault(mesh), "");
  mesh.setStatusOutput(nullptr);
  EXPECT_TRUE(mesh.checkIntegrity()) << "midpoints and normals around c are current";
  patch(mesh, {B, C, D, A}, {});
  mesh.removeRhombusPolygons();
  EXPECT_TRUE(mesh.Polygons[0].empty() && mesh.VIndex[C].empty()) << "rotated to c, d, a, b: c merged into a";
  patch(mesh, {A, B, C, D}, {4});  // 3, 4, 3, 5
  mesh.removeRhombusPolygons();
  EXPECT_EQ(mesh.Polygons[0], (VertexIDList{A, B, C, D})) << "not collapsed and not rotated";
  patch(mesh, {B, C, D, A}, {4, 6});  // 4, 3, 4, 3
  mesh.removeRhombusPolygons();
  EXPECT_EQ(mesh.Polygons[0], (VertexIDList{C, D, A, B})) << "rotated once, then rejected: stays rotated";
}

// Collapses that would damage the surface are skipped: a quad holding a corner twice; a and c
// both in one more polygon (it would hold c twice); a and c sharing an edge neighbour besides b
// and d (the merged vertex would get two edges to it).
TEST(RhombusRemoval, CollapsesThatWouldDamageTheSurfaceAreSkipped) {
  const std::vector<std::vector<VertexIDList>> cases = {
      testmeshes::polygons("0 1 0 3, 0 4 5, 0 6 7, 1 4 6, 1 5 7, 1 8 9, 1 10 11, 3 4 6, 3 5 7, 3 8 9, 3 10 11"),
      testmeshes::polygons(
          "0 1 2 3, 0 4 2 5, 0 6 7, 2 8 9, 1 4 6, 1 5 7, 1 8 10, 1 9 11, 3 4 6, 3 5 7, 3 8 10, 3 9 11"),
      {{0, 1, 2, 3}, {1, 0, 4}, {0, 3, 4}, {3, 2, 4}, {2, 1, 4}, {1, 5, 6}, {1, 7, 8}, {3, 5, 6}, {3, 7, 8}},
  };
  std::vector<V3> positions;
  for (int k = 0; k < 12; ++k) positions.push_back(V3{float(k % 4), float(k / 4), 0});
  for (const std::vector<VertexIDList>& polygons : cases) {
    PolygonStorage mesh;
    make(mesh, positions, polygons);
    ASSERT_EQ(mesh.VIndex[0].size() * 10 + mesh.VIndex[1].size(), 35u);
    mesh.removeRhombusPolygons();
    EXPECT_EQ(mesh.Polygons, polygons);
  }
}

// A flat 4 x 4 grid of unit quads, vertex (i, j) = id i + 5 j, the middle one raised: every inner
// vertex moves to the average of its edge neighbours, all at once from the old positions; boundary,
// feature and unused vertices stay; midpoints and normals follow.
TEST(Smoothing, VerticesMoveToTheAverageOfTheirNeighbours) {
  for (std::uint8_t feature : {0, 1}) {
    testmeshes::MeshData grid{"grid", {}, {}, 1};
    for (int j = 0; j <= 4; ++j)
      for (int i = 0; i <= 4; ++i) grid.Positions.push_back(V3{float(i), float(j), i == 2 && j == 2 ? 1.0f : 0.0f});
    for (int j = 0; j < 4; ++j)
      for (int i = 0; i < 4; ++i) grid.Polygons.push_back({i + 5 * j, i + 1 + 5 * j, i + 6 + 5 * j, i + 5 + 5 * j});
    grid.Positions.push_back({7, 8, 9});
    grid.Polygons.push_back({6, 18});  // two ids: emptied by the midpoint pass at the end
    PolygonStorage mesh;
    testmeshes::build(mesh, grid);
    mesh.Polygons[16] = {6, 18};
    mesh.addPolygonToIndex(16);
    mesh.buildEdgeIndex();
    mesh.Vertices[12].attr = feature;
    RecordingOutput log;
    mesh.setStatusOutput(&log);
    mesh.smooth();
    EXPECT_EQ(mesh.Vertices[12].pos.z, feature ? 1.0f : 0.0f) << "the raised vertex; its neighbours lie at height 0";
    for (int v : {11, 13, 7, 17}) EXPECT_EQ(mesh.Vertices[v].pos.z, 0.25f) << "neighbour " << v << " of the old height";
    for (int v : {0, 4, 10, 24})
      EXPECT_TRUE(testmeshes::sameBits(mesh.Vertices[v].pos, grid.Positions[v])) << "boundary";
    EXPECT_TRUE(testmeshes::sameBits(mesh.Vertices[25].pos, V3{7, 8, 9})) << "an unused vertex stays";
    EXPECT_EQ(log.Tasks, std::vector<std::string>{"Smoothing"});
    EXPECT_TRUE(mesh.Polygons[16].empty());
    EXPECT_EQ(testmeshes::indexFault(mesh), "");
    mesh.setStatusOutput(nullptr);
    EXPECT_TRUE(mesh.checkIntegrity()) << "midpoints and normals recomputed";
  }
}

// Ten triangles; vertex 3 lies in polygons 2, 7 and 9. A wrong vertex entry is reported, not
// repaired; ids without a vertex are reported, not read; a moved midpoint above the tolerance is
// reported and recomputed; a polygon of two ids is emptied and leaves every index.
TEST(IntegrityCheck, FaultsAreReported) {
  testmeshes::MeshData data{
      "", {}, testmeshes::polygons("0 1 2, 1 2 4, 3 4 5, 4 5 6, 5 6 7, 6 7 8, 7 8 9, 3 9 10, 9 10 11, 10 11 3"), 0};
  for (int k = 0; k < 13; ++k) data.Positions.push_back(V3{float(k), float(k * k % 7), float(k % 3)});
  PolygonStorage mesh;
  RecordingOutput log;
  auto check = [&](bool ok) {
    log.Lines.clear();
    EXPECT_EQ(mesh.checkIntegrity(), ok);
    return std::vector<std::string>(log.Lines.begin() + 2, log.Lines.end() - 2);
  };
  testmeshes::build(mesh, data);
  mesh.setStatusOutput(&log);
  mesh.VIndex[3].erase(7);
  mesh.Vertices[3].n = V3{0, 0.5f, -1};
  EXPECT_EQ(check(false),
            (std::vector<std::string>{"Vertex Index for Vertex 3 is wrong", "pos = (3|2|0) n = (0|0.5|-1)",
                                      "New VIndex", "2|7|9|", "Old VIndex", "2|9|", "VIndex corrupted"}));
  EXPECT_EQ(mesh.VIndex[3], (VertexIDSet{2, 9}));
  mesh.VIndex[3].insert(7);
  mesh.Polygons[5][1] = 40;
  EXPECT_EQ(check(false)[0], "Polygon 5 uses vertex 40, which has no index entry");
  mesh.Polygons[5][1] = 7;
  const Vertex right = mesh.Midpoints[4];
  mesh.Midpoints[4].pos.x += 0.001f;   // squared difference about 1e-06: reported
  mesh.Midpoints[6].pos.y += 0.0001f;  // about 1e-08: within the tolerance
  const std::vector<std::string> lines = check(false);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "VIndex OK");
  EXPECT_EQ(lines[1], "Midpoint wrong for Polygon 4. Follows old and new midpoint.");
  EXPECT_EQ(mesh.Midpoints[4].pos.x, right.pos.x) << "the stored midpoint is the recomputed one";
  mesh.Polygons[8] = VertexIDList{9, 11};
  mesh.VIndex[10].erase(8);
  mesh.buildEdgeIndex();
  EXPECT_EQ(check(true), (std::vector<std::string>{"VIndex OK", "PolygonStorage::buildEdgeIndex"}));
  EXPECT_TRUE(mesh.Polygons[8].empty());
  EXPECT_EQ(testmeshes::indexFault(mesh), "");
  // The set format: eleven ids of eight characters fill 88; the twelfth stops after six.
  VertexIDSet many;
  std::string expected;
  for (int id = 1000000; id < 1000020; ++id) many.insert(id);
  for (int id = 1000000; id < 1000011; ++id) expected += std::to_string(id) + "|";
  char buffer[100];
  PolygonStorage::formatIdSet(many, buffer, 100);
  EXPECT_EQ(std::string(buffer), expected + "100001");
}

// Over every closed mesh each stage keeps the surface closed, consistently oriented outwards, of
// the same Euler characteristic and with current indices: the dual has one polygon of as many
// corners as each source vertex has polygons; degree reduction leaves at most four corners;
// rhombus removal keeps every polygon id and collapses some quad.
TEST(PostProcessing, StagesKeepClosedMeshesClosedWithTheirEulerCharacteristic) {
  int collapsed = 0;
  for (const testmeshes::MeshData& m : testmeshes::closedMeshes()) {
    SCOPED_TRACE(m.Name);
    PolygonStorage source, mesh;
    testmeshes::build(source, m);
    mesh.constructDualSurface(source, false);
    ASSERT_EQ(mesh.Polygons.size(), source.Vertices.size());
    EXPECT_EQ(mesh.Vertices.size(), source.Polygons.size()) << "no edge midpoints on a closed mesh";
    for (std::size_t v = 0; v < source.VIndex.size(); ++v) EXPECT_EQ(mesh.Polygons[v].size(), source.VIndex[v].size());
    auto expectClosed = [&](const char* stage) {
      EXPECT_EQ(testmeshes::closedOrientedFault(mesh), "") << stage;
      EXPECT_GE(testmeshes::enclosedVolume(mesh), stage[0] == 's' ? 0.0 : 1e-3)
          << stage << " (the cube smooths to a point)";
      EXPECT_EQ(testmeshes::eulerCharacteristic(mesh), m.EulerCharacteristic) << stage;
      EXPECT_EQ(testmeshes::indexFault(mesh), "") << stage;
    };
    expectClosed("the dual surface");
    mesh.reducePolygonDegree();
    expectClosed("degree reduction");
    const std::size_t polygons = mesh.Polygons.size();
    mesh.removeRhombusPolygons();
    EXPECT_EQ(mesh.Polygons.size(), polygons) << "ids stay";
    expectClosed("rhombus removal");
    mesh.smooth();
    expectClosed("smoothing");
    EXPECT_TRUE(mesh.checkIntegrity());
    for (const VertexIDList& polygon : mesh.Polygons) {
      EXPECT_LE(polygon.size(), 4u);
      collapsed += polygon.empty() ? 1 : 0;
    }
  }
  EXPECT_GT(collapsed, 0) << "the meshes should exercise at least one collapse";
}
