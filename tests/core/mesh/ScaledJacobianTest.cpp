// The scaled Jacobian of quads and triangles: worked values of shapes an engineer knows.
#include "mesh/PolygonStorage.h"
#include "mesh/ScaledJacobian.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <vector>

using namespace tessellor;

TEST(ScaledJacobian, WorkedShapes) {
  struct Case {
    const char* name;
    std::vector<V3> corners;  // counter-clockwise seen from +z unless the name says otherwise
    float expected;
  };
  const float s60 = std::sqrt(3.0f) / 2.0f;
  const Case cases[] = {
      {"unit square", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, 1.0f},
      {"rectangle 4 x 1 (shape, not size)", {{0, 0, 0}, {4, 0, 0}, {4, 1, 0}, {0, 1, 0}}, 1.0f},
      {"square run clockwise", {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, 1.0f},
      {"rhombus of 60 degrees", {{0, 0, 0}, {1, 0, 0}, {1.5f, s60, 0}, {0.5f, s60, 0}}, s60},
      {"dart (one corner turned inwards)", {{0, 0, 0}, {2, 1, 0}, {0, 2, 0}, {1, 1, 0}}, -1.0f},
      {"equilateral triangle", {{0, 0, 0}, {1, 0, 0}, {0.5f, s60, 0}}, 1.0f},
      {"right isosceles triangle", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, std::sqrt(0.5f) / s60},
      {"quad with a repeated corner", {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 0.0f},
      {"square standing in the x-z plane", {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}, 1.0f},
  };
  PolygonStorage mesh;
  for (const Case& c : cases) {
    VertexIDList ids;
    for (const V3& p : c.corners) {
      Vertex v;
      v.pos = p;
      ids.push_back(mesh.addVertex(v));
    }
    mesh.Polygons.push_back(ids);
  }
  mesh.Polygons.push_back({});  // a deleted polygon
  const std::vector<float> values = scaledJacobians(mesh);
  ASSERT_EQ(values.size(), std::size(cases) + 1);
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_NEAR(values[i], cases[i].expected, 1e-5f) << cases[i].name;
  EXPECT_EQ(values.back(), 0.0f) << "deleted polygon";
}
