// The robust mode's parts: polygons cut into triangles that cover them once, and inside/outside
// from lattice lines that run exactly through corners and along edges and faces.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/MeshVariants.h"
#include "support/TestMeshes.h"
#include "volume/RobustVoxelizer.h"

using namespace tessellor;

namespace {

double area(const PolygonTriangulation& t) {
  double sum = 0;
  for (std::size_t i = 0; i < t.Triangles.size(); ++i) sum += t.doubleArea(i) / 2;
  return sum;
}

}  // namespace

// Triangles keep the polygon's area (an L-shape cut into ears, not a fan that would overlap),
// a folded quad is cut along its shorter diagonal, corners at one position are joined, and
// polygons without area are counted and left out.
TEST(RobustTriangulation, CoversEachPolygonOnceAndCountsTheDegenerateOnes) {
  struct Row {
    const char* Name;
    std::vector<V3> Positions;
    std::vector<VertexIDList> Polygons;
    std::size_t Triangles, Corners;
    double Area;
    int Degenerate;
  };
  const std::vector<Row> rows = {
      {"L-shape, reflex corner last",
       {{0, 1, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 0}, {1, 0, 0}, {1, 1, 0}},
       {{0, 1, 2, 3, 4, 5}},
       4,
       6,
       3.0,
       0},
      {"folded quad", {{0, 0, 0}, {4, 0, 1}, {5, 1, 0}, {0, 1, 1}}, {{0, 1, 2, 3}}, 2, 4, -1, 0},
      {"two triangles given as a soup",
       {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
       {{0, 1, 2}, {3, 4, 5}},
       2,
       4,
       1.0,
       0},
      {"a line, a repeated corner, an index out of range",
       {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 0, 0}},
       {{0, 1, 2}, {0, 3, 3}, {0, 1, 3}},
       1,
       4,
       -1,
       3},
  };
  for (const Row& row : rows) {
    PolygonStorage mesh;
    testmeshes::build(mesh, {row.Name, row.Positions, row.Polygons, 0});
    // The importer refuses such indices; the triangulation must not trust them either.
    if (row.Degenerate > 0) mesh.Polygons.push_back({0, 1, 2, 3, 7});
    PolygonTriangulation t;
    t.build(mesh);
    EXPECT_EQ(t.Triangles.size(), row.Triangles) << row.Name;
    EXPECT_EQ(t.Positions.size(), row.Corners) << row.Name;
    EXPECT_EQ(t.DegeneratePolygons, row.Degenerate) << row.Name;
    if (row.Area > 0) {
      EXPECT_NEAR(area(t), row.Area, 1e-9) << row.Name;
    }
  }
  // The folded quad is cut along its shorter diagonal, 1-3 (length^2 17 against 26).
  PolygonStorage folded;
  testmeshes::build(folded, {"", rows[1].Positions, rows[1].Polygons, 0});
  PolygonTriangulation t;
  t.build(folded);
  for (const PolygonTriangulation::Triangle& triangle : t.Triangles)
    EXPECT_EQ((triangle[0] == 1 || triangle[1] == 1 || triangle[2] == 1) +
                  (triangle[0] == 3 || triangle[1] == 3 || triangle[2] == 3),
              2);
}

// Bodies whose corners are lattice points and whose edges and faces lie on lattice lines and
// planes, given with a third of their faces flipped: every lattice point off the surface is
// classified as its position says, so crossings through corners and edges count once and faces
// along a line count never.
TEST(RobustInsideOutside, LatticeLinesThroughCornersEdgesAndFaces) {
  struct Body {
    testmeshes::MeshData Mesh;
    // > 0 inside, 0 on the surface, < 0 outside, for lattice point (x, y, z).
    int (*Side)(int x, int y, int z);
  };
  const std::vector<Body> bodies = {
      {testmeshes::octahedron({5, 5, 5}, 3.0f),
       [](int x, int y, int z) { return 3 - std::abs(x - 5) - std::abs(y - 5) - std::abs(z - 5); }},
      {testmeshes::cube(2.0f, 7.0f),
       [](int x, int y, int z) {
         const int d = std::min({x - 2, 7 - x, y - 2, 7 - y, z - 2, 7 - z});
         return d;
       }},
  };
  for (const Body& body : bodies) {
    PolygonStorage clean, mesh;
    testmeshes::build(clean, body.Mesh);
    testmeshes::build(mesh, meshvariants::flipped(clean, 0.35, 3));
    RobustVoxelizer robust;
    const int size[3] = {11, 11, 11};
    robust.repair(mesh, 11);
    robust.Winding.build(robust.Rays, robust.Triangulation.Positions, robust.Triangulation.Triangles, size);
    EXPECT_EQ(robust.Winding.OpenLines, 0) << body.Mesh.Name;
    int checked = 0;
    for (int x = 0; x < 11; ++x)
      for (int y = 0; y < 11; ++y)
        for (int z = 0; z < 11; ++z) {
          const int side = body.Side(x, y, z);
          if (side == 0) continue;
          ++checked;
          ASSERT_EQ(robust.Winding.inside(x, y, z), side > 0) << body.Mesh.Name << " at " << x << " " << y << " " << z;
        }
    EXPECT_GT(checked, 1000);
  }
}
