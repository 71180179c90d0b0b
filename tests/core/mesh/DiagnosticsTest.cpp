#include "mesh/PolygonStorage.h"

#include "MeshTestSupport.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

using namespace tessellor;

namespace {

std::string formatted(const VertexIDList& list, int size = 100) {
  std::vector<char> buffer(static_cast<std::size_t>(size) + 16, 'X');
  PolygonStorage::formatIdList(list, buffer.data(), size);
  return std::string(buffer.data());
}

}  // namespace

TEST(Diagnostics, CubeStatisticsBlock) {
  PolygonStorage mesh;
  meshtest::makeCube(mesh);
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  mesh.printStatistics();
  const std::vector<std::string> expected{"------ Polygon Storage Statistics -------- begin",
                                          "Vertex grad statistics",
                                          " 0 grad 0",
                                          " 0 grad 1",
                                          " 0 grad 2",
                                          " 8 grad 3",
                                          " 0 grad 4",
                                          " 0 grad 5",
                                          " 0 grad 6",
                                          " 0 grad 7",
                                          " 0 grad 8",
                                          " 0 grad >=9",
                                          "Total vertices: 8",
                                          "Polygon edge statistics",
                                          " 0 with 0 edges",
                                          " 0 with 1 edges",
                                          " 0 with 2 edges",
                                          " 0 with 3 edges",
                                          " 6 with 4 edges",
                                          " 0 with 5 edges",
                                          " 0 with 6 edges",
                                          " 0 with 7 edges",
                                          " 0 with 8 edges",
                                          " 0 with >=9 edges",
                                          "Total : 6",
                                          "------ Polygon Storage Statistics -------- end"};
  EXPECT_EQ(log.Lines, expected);
  EXPECT_TRUE(log.Tasks.empty()) << "no task frame around the statistics";
}

TEST(Diagnostics, StatisticsCountHighValenceDeletedAndUnusedEntries) {
  // A fan of 10 triangles around vertex 0, one 12-gon over the rim, one deleted polygon and an
  // unreferenced vertex.
  PolygonStorage mesh;
  mesh.addVertex(meshtest::makeVertex(0, 0, 0));
  for (int i = 0; i < 12; ++i) mesh.addVertex(meshtest::makeVertex(static_cast<float>(i), 1, 0));
  mesh.addVertex(meshtest::makeVertex(9, 9, 9));
  for (int i = 1; i <= 10; ++i) mesh.Polygons.push_back({0, i, i + 1});
  VertexIDList rim;
  for (int i = 1; i <= 12; ++i) rim.push_back(i);
  mesh.Polygons.push_back(rim);
  mesh.Polygons.push_back({});
  mesh.buildIndex();
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  mesh.printStatistics();
  ASSERT_EQ(log.Lines.size(), 26u);
  EXPECT_EQ(log.Lines[2], " 1 grad 0") << "the unreferenced vertex";
  EXPECT_EQ(log.Lines[3], " 1 grad 1") << "vertex 12: only the rim";
  EXPECT_EQ(log.Lines[4], " 2 grad 2") << "vertices 1 and 11: one triangle and the rim";
  EXPECT_EQ(log.Lines[5], " 9 grad 3") << "vertices 2 .. 10";
  EXPECT_EQ(log.Lines[11], " 1 grad >=9") << "the fan centre with 10 polygons";
  EXPECT_EQ(log.Lines[12], "Total vertices: 14");
  EXPECT_EQ(log.Lines[14], " 1 with 0 edges");
  EXPECT_EQ(log.Lines[17], " 10 with 3 edges");
  EXPECT_EQ(log.Lines[23], " 1 with >=9 edges");
  EXPECT_EQ(log.Lines[24], "Total : 12");
}

TEST(Diagnostics, PrintPolygonAndVertex) {
  PolygonStorage mesh;
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  for (int i = 0; i < 13; ++i) mesh.addVertex(meshtest::makeVertex(static_cast<float>(i), 0, 0));
  mesh.Polygons = {{10, 11, 12}, {}};
  mesh.printPolygon(0);
  mesh.printPolygon(1);
  EXPECT_EQ(log.Lines, (std::vector<std::string>{"Polygon 0", "10|11|12|", "Polygon 1", ""}));

  meshtest::makeCube(mesh);
  ASSERT_TRUE(mesh.fitIntoVolume(20, 20, 20));
  log.Lines.clear();
  mesh.printVertex(7);
  // Stored (voxel) coordinates, not file coordinates.
  EXPECT_EQ(log.Lines, std::vector<std::string>{"pos = (17.5|17.5|17.5) n = (0.57735|0.57735|0.57735)"});

  // Ids outside the mesh are reported, never read.
  log.Lines.clear();
  for (int id : {-1, 8, 1000000}) mesh.printVertex(id);
  for (int id : {-5, 6}) mesh.printPolygon(id);
  ASSERT_EQ(log.Lines.size(), 5u);
  for (const std::string& line : log.Lines) EXPECT_NE(line.find("out of range"), std::string::npos) << line;
  EXPECT_NE(log.Lines[1].find("8"), std::string::npos);
}

TEST(Diagnostics, FormatIdListIsCutAt94Characters) {
  EXPECT_EQ(formatted({}), "");
  EXPECT_EQ(formatted({-1, 0, 7}), "-1|0|7|");

  // 31 ids of two digits fill 93 characters; the 32nd ("41|") is cut after its first character.
  VertexIDList list;
  std::string firstPart;
  for (int id = 10; id <= 45; ++id) list.push_back(id);
  for (int id = 10; id <= 40; ++id) firstPart += std::to_string(id) + "|";
  ASSERT_EQ(firstPart.size(), 93u);
  EXPECT_EQ(formatted(list), firstPart + "4");

  // 47 ids of "1|" fill exactly 94 characters; the 48th does not start.
  std::string ones;
  for (int i = 0; i < 47; ++i) ones += "1|";
  EXPECT_EQ(formatted(VertexIDList(60, 1)), ones);

  // A smaller buffer keeps size - 6 characters.
  EXPECT_EQ(formatted({123456, 7}, 10), "1234");

  // printPolygon cuts the same way inside Msg.
  PolygonStorage mesh;
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  VertexIDList big;
  for (int i = 0; i < 20; ++i) big.push_back(1000000 + i);
  mesh.Polygons = {big};
  mesh.printPolygon(0);
  ASSERT_EQ(log.Lines.size(), 2u);
  EXPECT_EQ(log.Lines[1].size(), 94u);
  EXPECT_EQ(log.Lines[1].substr(80), "1000010|100001") << "cut inside an id";
}
