#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "VoxelizerFixtures.h"

namespace {

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
      {"chain of three: the line reads from the far end", {{1, 2, 0, 1}, {2, 3, 2, 3}, {3, 4, 4, 5}}, {{4, 3, 2, 1}}},
      // 2-3 shares polygon 1 with 1-2: 1-2 alone gives two ids and is dropped.
      {"continuation stops at a shared polygon", {{1, 2, 0, 1}, {2, 3, 1, 3}, {3, 4, 4, 5}}, {{4, 3, 2}}},
      {"closed chain starts and ends at the upper end", {{0, 1, 10, 11}, {1, 2, 12, 13}, {0, 2, 14, 15}}, {{1, 0, 2, 1}}},
      {"first candidate in key order: (2, 5) before (5, 6)", {{1, 5, 0, 1}, {2, 5, 2, 3}, {5, 6, 4, 7}}, {{2, 5, 1}}},
      {"candidate sharing a polygon is passed over", {{1, 5, 0, 1}, {2, 5, 1, 3}, {5, 6, 4, 7}}, {{6, 5, 1}}},
      {"boundary edges continue along boundary edges of another polygon",
       {{1, 2, 0, -1}, {2, 3, 0, -1}, {3, 4, 1, -1}, {4, 5, 2, 6}},
       {{4, 3, 2}}},
  };
  for (const Case& c : cases) {
    SharpFeatures f;
    for (const auto& e : c.Edges) f.SharpEdges[PolygonStorage::makeEdgeKey(e[0], e[1])] = EdgeEntryData{e[2], e[3]};
    f.buildFeatureLines();
    EXPECT_EQ(f.FeatureLines, c.Lines) << c.Name;
    EXPECT_TRUE(f.SharpEdges.empty()) << c.Name << ": the chaining consumes the edges";
  }
}

// Edges whose face normals have |cos| below the threshold are sharp (the octahedron's 1/3 at
// 0.34, not at 0.3: its three great squares as closed lines), and so are boundary edges: the
// boundary of a square of two triangles, where 1-2 follows 0-1 in the same triangle.
TEST(SharpFeatures, SharpEdgesByThresholdAndBoundary) {
  PolygonStorage mesh;
  testmeshes::build(mesh, testmeshes::octahedron({6, 6, 6}, 4));
  SharpFeatures f;
  f.setMesh(&mesh);
  f.detectSharpEdges(0.3f);
  EXPECT_TRUE(f.FeatureLines.empty());
  f.detectSharpEdges(0.34f);
  ASSERT_EQ(f.FeatureLines.size(), 3u);
  for (const VertexIDList& line : f.FeatureLines) EXPECT_TRUE(line.size() == 5 && line.front() == line.back());
  testmeshes::build(mesh, {"", {{2, 2, 2}, {6, 2, 2}, {6, 6, 2}, {2, 6, 2}}, {{0, 1, 2}, {0, 2, 3}}, 1});
  f.detectSharpEdges(0.0f);
  EXPECT_EQ(f.FeatureLines, (VertexIDListList{{1, 0, 3}, {3, 2, 1}}));
}

// A corner mark wins over edge marks and the first corner in a cell stays; a nearer segment
// sample replaces an edge mark, a farther one does not. The feature stage writes no distances.
TEST(SharpFeatures, CornerAndEdgeMarks) {
  Rig rig(12);
  rig.mesh({{3.25f, 3.5f, 3.5f}, {3.75f, 3.5f, 3.5f}, {8.5f, 3.5f, 3.5f}, {2.5f, 4.9f, 4.5f}, {8.5f, 4.9f, 4.5f},
            {2.5f, 4.6f, 4.5f}, {8.5f, 4.6f, 4.5f}, {2.5f, 4.0f, 5.0f}, {7.5f, 4.0f, 5.0f}},
           {});
  PolygonStorageVoxelizerDual& v = rig.Voxelizer;
  v.markFeatureCorner(0);
  v.markFeatureCorner(1);  // same cell (3, 3, 3)
  EXPECT_EQ(rig.voxel(3, 3, 3).FeatureType, 2);
  EXPECT_FLOAT_EQ(rig.voxel(3, 3, 3).FeatureOffset[0], 0.25f) << "the first corner in a cell wins";
  v.rasterizeFeatureSegment(0, 2);
  EXPECT_EQ(rig.voxel(3, 3, 3).FeatureType, 2) << "a segment does not replace a corner";
  EXPECT_FLOAT_EQ(rig.voxel(3, 3, 3).FeatureOffset[0], 0.25f);
  EXPECT_EQ(rig.voxel(6, 3, 3).FeatureType, 1);
  EXPECT_NEAR(rig.voxel(6, 3, 3).FeatureOffset[0], 0.0f, 1e-3f);
  EXPECT_EQ(rig.distance(6, 3, 3), NoValue);
  v.markFeatureCorner(2);
  EXPECT_EQ(rig.voxel(8, 3, 3).FeatureType, 2) << "a corner replaces an edge mark";
  EXPECT_FLOAT_EQ(rig.voxel(8, 3, 3).FeatureOffset[0], 0.0f);

  v.rasterizeFeatureSegment(3, 4);  // passes 0.4 from the centres of the cells y = 4
  EXPECT_NEAR(rig.voxel(5, 4, 4).FeatureOffset[1], -0.4f, 1e-5f);
  v.rasterizeFeatureSegment(5, 6);  // 0.1 from them
  EXPECT_NEAR(rig.voxel(5, 4, 4).FeatureOffset[1], -0.1f, 1e-5f) << "nearer sample replaces";
  v.rasterizeFeatureSegment(3, 4);
  EXPECT_NEAR(rig.voxel(5, 4, 4).FeatureOffset[1], -0.1f, 1e-5f) << "farther sample does not";

  // y = 4 and z = 5 are integers: the box covers y 3..5 and z 4..6, so the four cells around the
  // segment are marked, not only the one starting at (x, 4, 5).
  Rig integer(12);
  integer.mesh({{2.5f, 4.0f, 5.0f}, {7.5f, 4.0f, 5.0f}}, {});
  integer.Voxelizer.rasterizeFeatureSegment(0, 1);
  for (int y : {3, 4})
    for (int z : {4, 5}) EXPECT_NEAR(std::fabs(integer.voxel(5, y, z).FeatureOffset[1]), 0.5f, 1e-5f) << y << " " << z;
  EXPECT_EQ(integer.voxel(5, 5, 5).FeatureType, 0) << "centre 1.5 away on y";
}
