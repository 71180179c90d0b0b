#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorage.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tessellor;

namespace {

// Ten triangles; vertex 3 lies in polygons 2, 7 and 9, vertex 12 in none.
void tenTriangles(PolygonStorage& mesh) {
  std::vector<V3> positions;
  for (int k = 0; k < 13; ++k)
    positions.push_back(V3{static_cast<float>(k), static_cast<float>(k * k % 7), static_cast<float>(k % 3)});
  postfixtures::buildMesh(mesh, positions,
                          {{0, 1, 2},
                           {1, 2, 4},
                           {3, 4, 5},
                           {4, 5, 6},
                           {5, 6, 7},
                           {6, 7, 8},
                           {7, 8, 9},
                           {3, 9, 10},
                           {9, 10, 11},
                           {10, 11, 3}});
}

// The log lines between the task name and the duration line.
std::vector<std::string> ownLines(const RecordingOutput& log) {
  return std::vector<std::string>(log.Lines.begin() + 2, log.Lines.end() - 2);
}

}  // namespace

TEST(IntegrityCheck, ReportsAMissingPolygonInAVertexEntryAndLeavesItAlone) {
  PolygonStorage mesh;
  tenTriangles(mesh);
  ASSERT_EQ(mesh.VIndex[3], (VertexIDSet{2, 7, 9}));
  mesh.VIndex[3].erase(7);
  mesh.Vertices[3].n = V3{0, 0.5f, -1};
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  EXPECT_FALSE(mesh.checkIntegrity());
  EXPECT_EQ(ownLines(log),
            (std::vector<std::string>{"Vertex Index for Vertex 3 is wrong", "pos = (3|2|0) n = (0|0.5|-1)",
                                      "New VIndex", "2|7|9|", "Old VIndex", "2|9|", "VIndex corrupted"}));
  EXPECT_EQ(mesh.VIndex[3], (VertexIDSet{2, 9})) << "the index is reported, not repaired";
}

TEST(IntegrityCheck, ReportsAMovedMidpointAboveTheToleranceAndRecomputesIt) {
  PolygonStorage mesh;
  tenTriangles(mesh);
  const Vertex right = mesh.Midpoints[4];
  mesh.Midpoints[4].pos.x += 0.001f;   // squared difference about 1e-06: reported
  mesh.Midpoints[6].pos.y += 0.0001f;  // about 1e-08: within the tolerance
  mesh.Midpoints.push_back(Vertex{});  // records beyond the polygons are not compared
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  EXPECT_FALSE(mesh.checkIntegrity());
  const std::vector<std::string> lines = ownLines(log);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "VIndex OK");
  EXPECT_EQ(lines[1], "Midpoint wrong for Polygon 4. Follows old and new midpoint.");
  EXPECT_EQ(lines[2].rfind("pos = (", 0), 0u);
  EXPECT_EQ(lines[3].rfind("pos = (", 0), 0u);
  EXPECT_NE(lines[2], lines[3]);
  EXPECT_EQ(mesh.Midpoints[4].pos.x, right.pos.x) << "the stored midpoint is the recomputed one";
  EXPECT_EQ(mesh.Midpoints.size(), mesh.Polygons.size());
  EXPECT_TRUE(mesh.checkIntegrity()) << "a second check finds nothing";
}

// A polygon of two ids passes the index comparison, is emptied by the recomputation and then must
// leave the vertex index and the edge index, so that the next check is clean.
TEST(IntegrityCheck, EmptiedPolygonLeavesEveryIndex) {
  PolygonStorage mesh;
  tenTriangles(mesh);
  mesh.Polygons[8] = VertexIDList{9, 11};
  mesh.VIndex[10].erase(8);
  mesh.buildEdgeIndex();
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  EXPECT_TRUE(mesh.checkIntegrity());
  EXPECT_TRUE(mesh.Polygons[8].empty());
  EXPECT_EQ(mesh.VIndex[9].count(8), 0u);
  EXPECT_EQ(mesh.VIndex[11].count(8), 0u);
  EXPECT_TRUE(postfixtures::edgeIndexCurrent(mesh));
  EXPECT_TRUE(mesh.checkIntegrity());
}

TEST(IntegrityCheck, VertexIdOutsideTheIndexIsReportedNotRead) {
  PolygonStorage mesh;
  tenTriangles(mesh);
  mesh.Polygons[5][1] = 40;
  mesh.Polygons[6][2] = -2;
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  EXPECT_FALSE(mesh.checkIntegrity());
  EXPECT_TRUE(log.hasLine("VIndex corrupted"));
  EXPECT_TRUE(log.hasLine("Polygon 5 uses vertex 40, which has no index entry"));
  EXPECT_TRUE(log.hasLine("Polygon 6 uses vertex -2, which has no index entry"));
  EXPECT_EQ(mesh.Polygons[5].size(), 3u) << "kept as it is, its corners are not read";
}

TEST(IntegrityCheck, IdSetFormatIsCutAtNinetyFourCharacters) {
  char buffer[100];
  PolygonStorage::formatIdSet(VertexIDSet{}, buffer, 100);
  EXPECT_STREQ(buffer, "");
  PolygonStorage::formatIdSet(VertexIDSet{12, 3, 7}, buffer, 100);
  EXPECT_STREQ(buffer, "3|7|12|");
  VertexIDSet many;
  for (int id = 1000000; id < 1000020; ++id) many.insert(id);
  PolygonStorage::formatIdSet(many, buffer, 100);
  // Eleven ids of eight characters fill 88; the twelfth stops after six of its characters.
  std::string expected;
  for (int id = 1000000; id < 1000011; ++id) expected += std::to_string(id) + "|";
  expected += "100001";
  EXPECT_EQ(std::string(buffer), expected);
  EXPECT_EQ(std::string(buffer).size(), 94u);
}
