#include "mesh/PolygonStorage.h"

#include "support/RecordingOutput.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

using namespace tessellor;

// A fan of 10 triangles around vertex 0, a 12-gon over the rim, a deleted polygon and an unused
// vertex: every bucket edge of the block (0, 1, >= 9) is reached. No task frame around it.
TEST(Diagnostics, StatisticsBlockCountsValencesAndPolygonSizes) {
  PolygonStorage mesh;
  for (int i = 0; i < 14; ++i) mesh.addVertex(Vertex{{float(i), float(i % 3), 0}, {}, 0});
  for (int i = 1; i <= 10; ++i) mesh.Polygons.push_back({0, i, i + 1});
  mesh.Polygons.push_back({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  mesh.Polygons.push_back({});
  mesh.buildIndex();
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  mesh.printStatistics();
  // Valence: vertex 13 none, 12 one (the rim), 1 and 11 two, 2 .. 10 three, 0 ten.
  EXPECT_EQ(log.Lines, testmeshes::statisticsBlock({1, 1, 2, 9, 0, 0, 0, 0, 0, 1}, {1, 0, 0, 10, 0, 0, 0, 0, 0, 1}));
  EXPECT_TRUE(log.Tasks.empty());
  // Valence 8 is its own bucket.
  testmeshes::build(mesh, testmeshes::torus(8, 4));
  log.Lines.clear();
  mesh.printStatistics();
  EXPECT_EQ(log.Lines[10], " 16 grad 8") << "half the vertices of the triangulated torus";
}

TEST(Diagnostics, IdListsAreCutAt94CharactersAndIdsOutsideTheMeshAreReported) {
  auto formatted = [](const VertexIDList& list, int size = 100) {
    std::vector<char> buffer(static_cast<std::size_t>(size) + 16, 'X');
    PolygonStorage::formatIdList(list, buffer.data(), size);
    return std::string(buffer.data());
  };
  EXPECT_EQ(formatted({-1, 0, 7}), "-1|0|7|");
  // 31 ids of two digits fill 93 characters; the 32nd ("41|") is cut after its first character.
  VertexIDList list;
  std::string first;
  for (int id = 10; id <= 45; ++id) list.push_back(id);
  for (int id = 10; id <= 40; ++id) first += std::to_string(id) + "|";
  EXPECT_EQ(formatted(list), first + "4");
  EXPECT_EQ(formatted(VertexIDList(60, 1)).size(), 94u) << "47 ids of '1|' fill 94; the 48th does not start";
  EXPECT_EQ(formatted({123456, 7}, 10), "1234") << "size - 6 characters";

  PolygonStorage mesh;
  RecordingOutput log;
  mesh.setStatusOutput(&log);
  testmeshes::build(mesh, testmeshes::cube());
  mesh.Polygons.push_back(VertexIDList(list.begin(), list.end()));
  ASSERT_TRUE(mesh.fitIntoVolume(20, 20, 20));
  log.Lines.clear();
  mesh.printPolygon(6);
  mesh.printVertex(7);
  for (int id : {-1, 8}) mesh.printVertex(id);
  for (int id : {-5, 7}) mesh.printPolygon(id);
  ASSERT_EQ(log.Lines.size(), 7u);
  EXPECT_EQ(log.Lines[0], "Polygon 6");
  EXPECT_EQ(log.Lines[1], first + "4") << "cut the same way inside Msg";
  EXPECT_EQ(log.Lines[2], "pos = (17.5|17.5|17.5) n = (0.57735|0.57735|0.57735)") << "stored, not file coordinates";
  for (std::size_t i = 3; i < 7; ++i) EXPECT_NE(log.Lines[i].find("out of range"), std::string::npos) << log.Lines[i];
}
