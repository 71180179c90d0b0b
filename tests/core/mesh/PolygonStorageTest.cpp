#include "mesh/PolygonStorage.h"

#include "support/RecordingOutput.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>
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

// s = min(96 / 2, 46 / 1, 46 / 1) = 46 with a border of 1.5; fitting again composes Scale and
// Offset, so file coordinates still come back; a flat axis does not limit the scale. A mesh that
// cannot be fitted (all points in one place, no vertices, no room inside the border) is left alone.
// The bulk build (by vertex buckets, or one sort when the ids are far apart) gives the index that
// adding every edge use in turn gives: the same keys in the same order, the same two polygons.
TEST(PolygonStorage, EdgeIndexBuiltInBulkEqualsOneBuiltEdgeByEdge) {
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    // Rounds 1, 5, ...: ids too far apart for buckets; 2, 6, ...: built with the bound of the ids;
    // 3, 7, ...: with a bound some ids exceed.
    const int spread = round % 4 == 1 ? 1000003 : 1;
    std::vector<VertexIDList> polygons(1 + random() % 60);
    for (VertexIDList& polygon : polygons) {
      const int corners = static_cast<int>(random() % 9);  // some empty, some with repeated ids
      for (int c = 0; c < corners; ++c) polygon.push_back(static_cast<int>(random() % 25) * spread);
    }
    EdgeIndexTable bulk, single;
    bulk.build(polygons, round % 4 == 2 ? 25 : round % 4 == 3 ? 20 : 0);
    for (int p = 0; p < static_cast<int>(polygons.size()); ++p) {
      const VertexIDList& polygon = polygons[p];
      for (std::size_t i = 0; i < polygon.size(); ++i)
        single.insert(p, polygon[(i + polygon.size() - 1) % polygon.size()], polygon[i]);
    }
    ASSERT_EQ(bulk.size(), single.size());
    for (auto a = bulk.begin(), b = single.begin(); a != bulk.end(); ++a, ++b) {
      EXPECT_EQ(a->first.Lower, b->first.Lower);
      EXPECT_EQ(a->first.Upper, b->first.Upper);
      EXPECT_EQ(a->second.First, b->second.First);
      EXPECT_EQ(a->second.Second, b->second.Second);
      const EdgeEntryData* found = bulk.find(a->first);
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(found->First, a->second.First);
    }
    EXPECT_EQ(bulk.find(EdgeEntryKey{-5, 3}), nullptr);
    EXPECT_EQ(bulk.find(EdgeEntryKey{30 * spread, 31 * spread}), nullptr);
  }
}

// The inline polygon list against std::vector under the edits the passes make, across the switch
// from inline ids to an array and with ranges taken from the list itself.
TEST(PolygonStorage, PolygonListsBehaveLikeVectors) {
  std::mt19937 random(11);
  IdList list;
  std::vector<int> model;
  for (int step = 0; step < 4000; ++step) {
    const int op = static_cast<int>(random() % 8);
    const int id = static_cast<int>(random() % 100);
    const std::size_t at = model.empty() ? 0 : random() % (model.size() + 1);
    if (op <= 1 || model.size() < 2) {
      list.push_back(id);
      model.push_back(id);
    } else if (op == 2) {
      list.insert(list.begin() + at, id);
      model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), id);
    } else if (op == 3 && at < model.size()) {
      list.erase(list.begin() + at, list.begin() + std::min(model.size(), at + 2));
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(at),
                  model.begin() + static_cast<std::ptrdiff_t>(std::min(model.size(), at + 2)));
    } else if (op == 4) {
      // A part of the list itself, assigned to it or inserted into it.
      const std::size_t from = random() % model.size(), to = from + random() % (model.size() - from);
      const std::vector<int> part(model.begin() + static_cast<std::ptrdiff_t>(from),
                                  model.begin() + static_cast<std::ptrdiff_t>(to));
      if (random() % 2) {
        list.assign(list.begin() + from, list.begin() + to);
        model = part;
      } else {
        list.insert(list.begin() + at, list.begin() + from, list.begin() + to);
        model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), part.begin(), part.end());
      }
    } else if (op == 5) {
      IdList moved(std::move(list));
      list = IdList(moved);  // a copy of a moved list
    } else if (op == 6 && model.size() > 12) {
      list.resize(model.size() / 3);
      model.resize(model.size() / 3);
    } else {
      IdList other{1, 2, 3};
      other.swap(list);
      list.swap(other);
    }
    ASSERT_EQ(std::vector<int>(list.begin(), list.end()), model) << "step " << step;
  }
}

TEST(PolygonStorage, FitIntoVolume) {
  PolygonStorage mesh;
  make(mesh, {{0, 0, 0}, {2, 0, 0}, {2, 1, 1}, {0.5f, 0.25f, 0.75f}}, {{0, 1, 2}, {0, 2, 3}});
  ASSERT_TRUE(mesh.fitIntoVolume(100, 50, 50));
  EXPECT_EQ(mesh.BBoxMax.x, 93.5f);
  EXPECT_EQ(mesh.Vertices[3].pos.y, 0.25f * 46 + 1.5f);
  EXPECT_FLOAT_EQ(mesh.Offset.x, -1.5f / 46.0f);
  EXPECT_FLOAT_EQ(mesh.Midpoints[0].pos.x, (1.5f + 93.5f + 93.5f) / 3) << "midpoints move along";
  ASSERT_TRUE(mesh.fitIntoVolume(30, 30, 30));
  EXPECT_NEAR(mesh.fileCoordinates(mesh.Vertices[3].pos).z, 0.75f, 1e-6f);
  make(mesh, {{0, 0, 3}, {4, 0, 3}, {0, 2, 3}}, {{0, 1, 2}});
  ASSERT_TRUE(mesh.fitIntoVolume(50, 50, 50));
  EXPECT_EQ(mesh.BBoxMax.y, 2 * 11.5f + 1.5f);
}

TEST(PolygonStorage, FitIntoVolumeRefusesWithoutChangingAnything) {
  RecordingOutput log;
  PolygonStorage point, before, empty;
  point.setStatusOutput(&log);
  make(point, {{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, {{0, 1, 2}});
  before.copyContents(point);
  EXPECT_FALSE(point.fitIntoVolume(50, 50, 50));
  EXPECT_EQ(testmeshes::meshDifference(before, point), "");
  EXPECT_NE(log.Lines.back().find("cannot be fitted"), std::string::npos) << log.Lines.back();
  EXPECT_FALSE(empty.fitIntoVolume(50, 50, 50));
  testmeshes::build(point, testmeshes::cube());
  EXPECT_FALSE(point.fitIntoVolume(4, 50, 50));
  EXPECT_EQ(point.Vertices[7].pos.x, 1.0f);
}

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
