#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "VoxelizerFixtures.h"

using fixtures::vertex;

namespace {

void addEdge(SharpFeatures& f, int a, int b, int first, int second) {
  f.SharpEdges[PolygonStorage::makeEdgeKey(a, b)] = EdgeEntryData{first, second};
}

// The chaining as a plain full scan of the remaining edges at every step.
VertexIDListList chainByScanning(EdgeIndexMap edges) {
  auto next = [&edges](int& v, int& q1, int& q2) {
    for (auto it = edges.begin(); it != edges.end(); ++it) {
      const EdgeEntryKey& k = it->first;
      const EdgeEntryData& e = it->second;
      if (k.Lower != v && k.Upper != v) continue;
      const bool ok = q2 == -1 ? (e.First != q1 && e.Second == -1)
                               : (e.First != q1 && e.First != q2 && e.Second != q1 && e.Second != q2);
      if (!ok) continue;
      v = k.Lower == v ? k.Upper : k.Lower;
      q1 = e.First;
      q2 = e.Second;
      return it;
    }
    return edges.end();
  };
  VertexIDListList lines;
  while (!edges.empty()) {
    const auto e = *edges.begin();
    VertexIDList line;
    int v = e.first.Lower, q1 = e.second.First, q2 = e.second.Second;
    for (auto c = edges.begin(); c != edges.end(); c = next(v, q1, q2)) {
      line.push_back(v);
      edges.erase(c);
    }
    v = e.first.Upper;
    q1 = e.second.First;
    q2 = e.second.Second;
    edges.insert(e);
    for (auto c = edges.begin(); c != edges.end(); c = next(v, q1, q2)) {
      line.insert(line.begin(), v);
      edges.erase(c);
    }
    if (line.size() >= 3) lines.push_back(line);
  }
  return lines;
}

using Rig = fixtures::VoxelizerRig;

}  // namespace

// Worked chains: edges (a, b, first polygon, second polygon) and the lines they give.
TEST(SharpFeatures, ChainingExamples) {
  struct Case {
    const char* Name;
    std::vector<std::array<int, 4>> Edges;
    VertexIDListList Lines;
  };
  const Case cases[] = {
      // a-b, b-c, c-d: the line reads from the far end.
      {"chain of three", {{1, 2, 0, 1}, {2, 3, 2, 3}, {3, 4, 4, 5}}, {{4, 3, 2, 1}}},
      // 2-3 shares polygon 1 with 1-2: 1-2 alone gives two ids and is dropped.
      {"continuation stops at a shared polygon", {{1, 2, 0, 1}, {2, 3, 1, 3}, {3, 4, 4, 5}}, {{4, 3, 2}}},
      {"closed chain starts and ends at the upper end",
       {{0, 1, 10, 11}, {1, 2, 12, 13}, {0, 2, 14, 15}},
       {{1, 0, 2, 1}}},
      // (2, 5) comes before (5, 6) in key order.
      {"first candidate in key order", {{1, 5, 0, 1}, {2, 5, 2, 3}, {5, 6, 4, 7}}, {{2, 5, 1}}},
      {"candidate sharing a polygon is passed over", {{1, 5, 0, 1}, {2, 5, 1, 3}, {5, 6, 4, 7}}, {{6, 5, 1}}},
  };
  for (const Case& c : cases) {
    SharpFeatures f;
    for (const auto& e : c.Edges) addEdge(f, e[0], e[1], e[2], e[3]);
    f.buildFeatureLines();
    EXPECT_EQ(f.FeatureLines, c.Lines) << c.Name;
    EXPECT_TRUE(f.SharpEdges.empty()) << c.Name << ": the chaining consumes the edges";
  }
}

// The fast continuation search must give exactly the lines of a full scan, boundary edges (one
// polygon) and interior edges mixed.
TEST(SharpFeatures, ChainingMatchesAFullScan) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    const int vertices = 4 + round % 20;
    const int polygons = 3 + round % 7;
    std::uniform_int_distribution<int> vid(0, vertices - 1), pid(0, polygons - 1), coin(0, 3);
    SharpFeatures f;
    const int edges = 1 + round % 40;
    for (int e = 0; e < edges; ++e) {
      const int a = vid(random), b = vid(random);
      if (a == b) continue;
      const int first = pid(random);
      int second = coin(random) == 0 ? -1 : pid(random);
      if (second == first) second = -1;
      addEdge(f, a, b, first, second);
    }
    const VertexIDListList expected = chainByScanning(f.SharpEdges);
    f.buildFeatureLines();
    ASSERT_EQ(f.FeatureLines, expected) << "round " << round;
  }
}

TEST(SharpFeatures, OctahedronCreasesDependOnThreshold) {
  PolygonStorage mesh;
  fixtures::octahedron(mesh, 6, 6, 6, 4);
  SharpFeatures f;
  f.setMesh(&mesh);
  // Face normals 70.5 degrees apart: |cos| = 1/3.
  f.detectSharpEdges(0.3f);
  EXPECT_TRUE(f.FeatureLines.empty());
  f.detectSharpEdges(0.0f);
  EXPECT_TRUE(f.FeatureLines.empty()) << "closed mesh: no boundary edges";
  f.detectSharpEdges(0.34f);
  // Every edge is sharp; at each corner the walk goes on along the opposite edge, so the
  // three great squares come out as closed lines.
  ASSERT_EQ(f.FeatureLines.size(), 3u);
  for (const VertexIDList& line : f.FeatureLines) {
    ASSERT_EQ(line.size(), 5u);
    EXPECT_EQ(line.front(), line.back());
    int onAxis[3] = {0, 0, 0};
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
      const V3& p = mesh.Vertices[static_cast<std::size_t>(line[i])].pos;
      onAxis[0] += p.x == 6.0f;
      onAxis[1] += p.y == 6.0f;
      onAxis[2] += p.z == 6.0f;
    }
    EXPECT_TRUE(onAxis[0] == 4 || onAxis[1] == 4 || onAxis[2] == 4) << "a line lies in a coordinate plane";
  }
  EXPECT_TRUE(f.SharpEdges.empty());
}

TEST(SharpFeatures, BoundaryOfASquareAtThresholdZero) {
  PolygonStorage mesh;
  vertex(mesh, 2, 2, 2);
  vertex(mesh, 6, 2, 2);
  vertex(mesh, 6, 6, 2);
  vertex(mesh, 2, 6, 2);
  mesh.addTriangle(0, 1, 2);
  mesh.addTriangle(0, 2, 3);
  fixtures::finish(mesh);
  SharpFeatures f;
  f.setMesh(&mesh);
  f.detectSharpEdges(0.0f);
  // 1-2 follows 0-1 in the same triangle: the chain stops at vertex 1.
  ASSERT_EQ(f.FeatureLines.size(), 2u);
  EXPECT_EQ(f.FeatureLines[0], (VertexIDList{1, 0, 3}));
  EXPECT_EQ(f.FeatureLines[1], (VertexIDList{3, 2, 1}));
}

TEST(SharpFeatures, ClosestSegmentSampleTwoPasses) {
  bool found = false;
  vec3 o;
  float sq = -1;
  PolygonStorageVoxelizerDual::closestSegmentSample(vec3(1, 0, 0), vec3(0.5037f, 0.3f, 0), found, o, sq);
  ASSERT_TRUE(found);
  // Coarse best t = 0.5, fine best t = 0.504: the residual 0.0003 along x shows one fine pass
  // with step 0.001 and no finer one.
  EXPECT_NEAR(o.v[0], -0.0003f, 2e-5f);
  EXPECT_FLOAT_EQ(o.v[1], 0.3f);
  EXPECT_FLOAT_EQ(sq, o.length2());

  // The coarse pass ends just below t = 1, so the end point is effectively a sample.
  PolygonStorageVoxelizerDual::closestSegmentSample(vec3(2, 0, 0), vec3(2.6f, 0, 0), found, o, sq);
  ASSERT_TRUE(found);
  EXPECT_NEAR(o.v[0], 0.6f, 1e-5f);

  // Nothing within 0.7 on every axis: no sample found.
  PolygonStorageVoxelizerDual::closestSegmentSample(vec3(1, 0, 0), vec3(0.5f, 0.75f, 0), found, o, sq);
  EXPECT_FALSE(found);
  PolygonStorageVoxelizerDual::closestSegmentSample(vec3(1, 0, 0), vec3(-0.71f, 0, 0), found, o, sq);
  EXPECT_FALSE(found);
  PolygonStorageVoxelizerDual::closestSegmentSample(vec3(1, 0, 0), vec3(-0.7f, 0.7f, -0.7f), found, o, sq);
  EXPECT_TRUE(found) << "the box boundary belongs to the box";
}

TEST(SharpFeatures, CornersWinOverEdgesAndTheFirstCornerStays) {
  Rig rig(12);
  PolygonStorage& m = rig.Mesh;
  vertex(m, 3.25f, 3.5f, 3.5f);  // 0
  vertex(m, 3.75f, 3.5f, 3.5f);  // 1, same cell (3, 3, 3)
  vertex(m, 8.5f, 3.5f, 3.5f);   // 2
  rig.Voxelizer.markFeatureCorner(0);
  const VoxelData first = rig.voxel(3, 3, 3);
  EXPECT_EQ(first.FeatureType, 2);
  EXPECT_FLOAT_EQ(first.FeatureOffset[0], 0.25f);
  EXPECT_FLOAT_EQ(first.FeatureOffset[1], 0.0f);
  rig.Voxelizer.markFeatureCorner(1);
  EXPECT_FLOAT_EQ(rig.voxel(3, 3, 3).FeatureOffset[0], 0.25f) << "the first corner in a cell wins";

  rig.Voxelizer.rasterizeFeatureSegment(0, 2);
  EXPECT_EQ(rig.voxel(3, 3, 3).FeatureType, 2) << "a segment does not replace a corner";
  EXPECT_FLOAT_EQ(rig.voxel(3, 3, 3).FeatureOffset[0], 0.25f);
  EXPECT_EQ(rig.voxel(6, 3, 3).FeatureType, 1);
  EXPECT_NEAR(rig.voxel(6, 3, 3).FeatureOffset[0], 0.0f, 1e-3f);
  EXPECT_EQ(rig.voxel(6, 3, 3).Distance, NoValue) << "the feature stage never writes distances";

  // A corner replaces an edge mark.
  rig.Voxelizer.markFeatureCorner(2);
  EXPECT_EQ(rig.voxel(8, 3, 3).FeatureType, 2);
  EXPECT_FLOAT_EQ(rig.voxel(8, 3, 3).FeatureOffset[0], 0.0f);
}

TEST(SharpFeatures, NearerSegmentSampleReplacesAnEdgeMark) {
  Rig rig(12);
  PolygonStorage& m = rig.Mesh;
  vertex(m, 2.5f, 4.9f, 4.5f);  // 0
  vertex(m, 8.5f, 4.9f, 4.5f);  // 1: passes 0.4 from the centres of the cells y = 4
  vertex(m, 2.5f, 4.6f, 4.5f);  // 2
  vertex(m, 8.5f, 4.6f, 4.5f);  // 3: passes 0.1 from them
  rig.Voxelizer.rasterizeFeatureSegment(0, 1);
  EXPECT_EQ(rig.voxel(5, 4, 4).FeatureType, 1);
  EXPECT_NEAR(rig.voxel(5, 4, 4).FeatureOffset[1], -0.4f, 1e-5f);
  rig.Voxelizer.rasterizeFeatureSegment(2, 3);
  EXPECT_NEAR(rig.voxel(5, 4, 4).FeatureOffset[1], -0.1f, 1e-5f) << "nearer sample replaces";
  rig.Voxelizer.rasterizeFeatureSegment(0, 1);
  EXPECT_NEAR(rig.voxel(5, 4, 4).FeatureOffset[1], -0.1f, 1e-5f) << "farther sample does not";
}

TEST(SharpFeatures, SegmentOnAnIntegerCoordinateWidensTheBox) {
  Rig rig(12);
  vertex(rig.Mesh, 2.5f, 4.0f, 5.0f);
  vertex(rig.Mesh, 7.5f, 4.0f, 5.0f);
  rig.Voxelizer.rasterizeFeatureSegment(0, 1);
  // y = 4 and z = 5 are integers: the box covers y 3..5 and z 4..6, so the four cells around
  // the segment are marked, not only the one starting at (x, 4, 5).
  for (int y : {3, 4})
    for (int z : {4, 5}) {
      EXPECT_EQ(rig.voxel(5, y, z).FeatureType, 1) << "cell (5, " << y << ", " << z << ")";
      EXPECT_NEAR(std::fabs(rig.voxel(5, y, z).FeatureOffset[1]), 0.5f, 1e-5f);
    }
  EXPECT_EQ(rig.voxel(5, 5, 5).FeatureType, 0) << "centre 1.5 away on y";
}

TEST(SharpFeatures, StageMarksEndsAsCornersAndTheRestAsEdges) {
  Rig rig(16);
  PolygonStorage& m = rig.Mesh;
  // Four vertices along a bent path; edges are fed directly as sharp with distinct polygons.
  vertex(m, 2.5f, 2.5f, 2.5f);   // a = 0
  vertex(m, 6.5f, 2.5f, 2.5f);   // b = 1
  vertex(m, 6.5f, 6.5f, 2.5f);   // c = 2
  vertex(m, 6.5f, 6.5f, 10.5f);  // d = 3
  // Three triangles whose edges a-b, b-c, c-d are boundary edges of different polygons.
  vertex(m, 4.5f, 1.5f, 2.5f);  // 4
  vertex(m, 7.5f, 4.5f, 2.5f);  // 5
  vertex(m, 7.5f, 6.5f, 6.5f);  // 6
  m.Polygons.push_back({0, 1, 4});
  m.Polygons.push_back({1, 2, 5});
  m.Polygons.push_back({2, 3, 6});
  fixtures::finish(m);
  rig.Voxelizer.setThresholdPsi(0.0f);
  rig.Voxelizer.detectSharpFeatures();
  EXPECT_EQ(rig.Output.Tasks, (std::vector<std::string>{"Sharp features"}));
  // The only chain through all four points is d, c, b, a (its other boundary edges end in
  // short lines of the same triangle).
  bool found = false;
  for (const VertexIDList& line : rig.Features.FeatureLines) found |= line == VertexIDList{3, 2, 1, 0};
  ASSERT_TRUE(found);
  EXPECT_EQ(rig.voxel(2, 2, 2).FeatureType, 2) << "a";
  EXPECT_EQ(rig.voxel(6, 6, 10).FeatureType, 2) << "d";
  EXPECT_EQ(rig.voxel(4, 2, 2).FeatureType, 1) << "on a-b";
  EXPECT_EQ(rig.voxel(6, 4, 2).FeatureType, 1) << "on b-c";
  EXPECT_EQ(rig.voxel(6, 6, 7).FeatureType, 1) << "on c-d";
  EXPECT_NE(rig.voxel(6, 2, 2).FeatureType, 2) << "b is not a corner";
  EXPECT_NE(rig.voxel(6, 6, 2).FeatureType, 2) << "c is not a corner";
  for (const VoxelData& v : rig.Volume.Voxels) {
    ASSERT_EQ(v.Distance, NoValue);
    if (v.FeatureType != 0) {
      for (float o : v.FeatureOffset) ASSERT_LE(std::fabs(o), 0.7f);
    }
  }
}
