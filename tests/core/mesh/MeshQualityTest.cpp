#include "mesh/ElementShape.h"
#include "mesh/MeshQuality.h"

#include "mesh/PolygonStorage.h"
#include "mesh/SurfaceDistance.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

using namespace tessellor;

namespace {

// Worked by hand from the definitions: a unit square, a rhombus of 60 degrees, a quad with one
// corner raised by its edge length, an arrow-shaped quad folded over its reflex corner, an
// equilateral triangle and a needle triangle (legs 10 and 0.1 at a right angle).
struct ShapeCase {
  const char* Name;
  std::vector<std::array<double, 3>> Corners;
  ElementShape Expected;
};

const double S3 = std::sqrt(3.0);

const ShapeCase ShapeCases[] = {
    // name, corners, {min angle, max angle, aspect ratio, skew, taper, warpage, scaled Jacobian}
    {"unit square", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {90, 90, 1, 0, 0, 0, 1}},
    {"rhombus", {{0, 0, 0}, {1, 0, 0}, {1.5, S3 / 2, 0}, {0.5, S3 / 2, 0}}, {60, 120, 2 / S3, 0.5, 0, 0, S3 / 2}},
    // corner normals (0,0,1), (0,-1,1)/sqrt2, (-1,-1,1)/sqrt3, (-1,0,1)/sqrt2: opposite corners
    // agree by 1/sqrt3 and 1/2, warpage 1 - (1/2)^3;
    // centre normal (-1,-1,2)/sqrt6, smallest corner area 2/sqrt6 over edges of 1 and 1
    {"warped quad", {{0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 0}}, {0, 0, 0, 0, 0, 0.875, 2 / std::sqrt(6.0)}},
    // reflex at (0.5, 0.5): corner area -2 over edges of sqrt(2.5) and sqrt(2.5)
    {"arrow",
     {{0, 0, 0}, {2, 0, 0}, {0.5, 0.5, 0}, {0, 2, 0}},
     {0, 360 - std::acos(-0.6) * 180 / M_PI, 0, 0, 0, 0, -0.8}},
    {"equilateral triangle", {{0, 0, 0}, {1, 0, 0}, {0.5, S3 / 2, 0}}, {60, 60, 1, 0, 0, 0, 1}},
    {"needle triangle",
     {{0, 0, 0}, {10, 0, 0}, {10, 0.1, 0}},
     {std::atan(0.01) * 180 / M_PI, 90, 10.0005 * 20.1005 / (4 * S3 * 0.5), 0, 0, 0, 2 / S3 * 0.1 / 10.0005}},
};

ElementShape shapeOf(const ShapeCase& c) {
  double p[4][3];
  for (std::size_t i = 0; i < c.Corners.size(); ++i)
    for (int k = 0; k < 3; ++k) p[i][k] = c.Corners[i][k];
  return c.Corners.size() == 3 ? ElementShape::triangle(p) : ElementShape::quad(p);
}

}  // namespace

TEST(ElementShape, HandMadeElementsHaveTheirKnownMeasures) {
  for (const ShapeCase& c : ShapeCases) {
    const ElementShape s = shapeOf(c);
    const ElementShape& e = c.Expected;
    const std::string name = c.Name;
    EXPECT_NEAR(s.ScaledJacobian, e.ScaledJacobian, 1e-6) << name;
    if (name == "warped quad") {
      EXPECT_NEAR(s.Warpage, e.Warpage, 1e-9) << name;
      EXPECT_GT(s.Skew, 0.0) << name;
      continue;
    }
    if (name == "arrow") {
      EXPECT_NEAR(s.MaxAngle, e.MaxAngle, 1e-9) << "the reflex corner is measured past 180 degrees";
      continue;
    }
    EXPECT_NEAR(s.MinAngle, e.MinAngle, 1e-6) << name;
    EXPECT_NEAR(s.MaxAngle, e.MaxAngle, 1e-6) << name;
    EXPECT_NEAR(s.AspectRatio, e.AspectRatio, 1e-3 * e.AspectRatio) << name;
    EXPECT_NEAR(s.Skew, e.Skew, 1e-9) << name;
    EXPECT_NEAR(s.Taper, e.Taper, 1e-9) << name;
    EXPECT_NEAR(s.Warpage, e.Warpage, 1e-9) << name;
  }
}

TEST(ElementShape, CollapsedElementsHaveNoJacobian) {
  const double quad[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const double flat[4][3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
  const double line[3][3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
  EXPECT_EQ(ElementShape::quad(quad).ScaledJacobian, 0.0);
  EXPECT_LE(ElementShape::quad(flat).ScaledJacobian, 0.0);
  EXPECT_EQ(ElementShape::triangle(line).ScaledJacobian, 0.0);
  EXPECT_EQ(ElementShape::triangle(line).AspectRatio, ElementShape::ShapeMax);
}

TEST(MeshQuality, TopologyOfGeneratedMeshes) {
  struct Case {
    testmeshes::MeshData Data;
    int Components;
    int Genus;
  };
  const Case cases[] = {{testmeshes::cube(), 1, 0},
                        {testmeshes::uvSphere(), 1, 0},
                        {testmeshes::torus(16, 8, false), 1, 1},
                        {testmeshes::icosphere({0, 0, 0}, 1, 2), 1, 0}};
  for (const Case& c : cases) {
    PolygonStorage mesh;
    testmeshes::build(mesh, c.Data);
    // An unused vertex and an emptied polygon are counted, not measured.
    mesh.addVertex(Vertex{{5, 5, 5}, {}, 0});
    mesh.Polygons.emplace_back();
    const MeshQualityReport r = measureMeshQuality(mesh);
    const std::string name = c.Data.Name;
    EXPECT_EQ(r.UsedVertices, static_cast<int>(c.Data.Positions.size())) << name;
    EXPECT_EQ(r.Vertices, r.UsedVertices + 1) << name;
    EXPECT_EQ(r.Polygons, static_cast<int>(c.Data.Polygons.size())) << name;
    EXPECT_EQ(r.DegeneratePolygons, 1) << name;
    EXPECT_TRUE(r.Closed) << name;
    EXPECT_TRUE(r.ConsistentlyOriented) << name;
    EXPECT_EQ(r.OpenEdges + r.NonManifoldEdges + r.NonManifoldVertices, 0) << name;
    EXPECT_EQ(r.EulerCharacteristic, c.Data.EulerCharacteristic) << name;
    EXPECT_EQ(r.Genus, c.Genus) << name;
    EXPECT_EQ(r.Components, c.Components) << name;
    int cornerSum = 0, valenceSum = 0;
    for (const auto& bin : r.PolygonsByCorners) cornerSum += bin.first * bin.second;
    for (const auto& bin : r.Valence) valenceSum += bin.first * bin.second;
    EXPECT_EQ(cornerSum, 2 * r.Edges) << name << ": every edge of a closed mesh has two polygons";
    EXPECT_EQ(valenceSum, 2 * r.Edges) << name;
  }
}

TEST(MeshQuality, DefectsAreCounted) {
  PolygonStorage mesh;
  testmeshes::build(mesh, testmeshes::cube());
  mesh.Polygons[0] = {1, 3, 2, 0};       // turned over: its edges run as their neighbours' do
  mesh.Polygons.push_back({0, 1, 8});    // a third polygon on edge 0-1, open edges 1-8 and 8-0
  mesh.Polygons.push_back({9, 10, 11});  // a second component, without area
  for (const V3& p : {V3{0.5f, -1, 0}, V3{5, 0, 0}, V3{6, 0, 0}, V3{7, 0, 0}}) mesh.addVertex(Vertex{p, {}, 0});
  const MeshQualityReport r = measureMeshQuality(mesh);
  EXPECT_FALSE(r.ConsistentlyOriented);
  EXPECT_EQ(r.InconsistentEdges, 3) << "the turned quad's edges but 0-1, which has three polygons";
  EXPECT_EQ(r.NonManifoldEdges, 1);
  EXPECT_EQ(r.OpenEdges, 5);
  EXPECT_EQ(r.Components, 2);
  EXPECT_FALSE(r.Closed);
  EXPECT_EQ(r.Genus, -1);
  EXPECT_EQ(r.TrianglesNonPositiveJacobian, 1) << "the triangle without area";
  // The summary's part of the report alone prints the same summary.
  const auto summaryOf = [](const PolygonStorage& m, const PolygonStorage* reference = nullptr) {
    return formatQualitySummary(measureMeshQuality(m, reference, 0.5, QualityDetail::Summary));
  };
  EXPECT_EQ(summaryOf(mesh), formatQualitySummary(measureMeshQuality(mesh, nullptr, 0.5)));

  // Two triangles meeting at one corner, a quad and a triangle that name a vertex twice, and a
  // pentagon on its own.
  PolygonStorage pinched;
  for (const V3& p : {V3{0, 0, 0}, V3{1, 0, 0}, V3{0, 1, 0}, V3{-1, 0, 0}, V3{0, -1, 0}, V3{2, 1, 0}, V3{2, -1, 0},
                      V3{0, 0, 5}, V3{1, 0, 5}, V3{1.3f, 1, 5}, V3{0.5f, 1.6f, 5}, V3{-0.3f, 1, 5}, V3{-2, 0, 1}})
    pinched.addVertex(Vertex{p, {}, 0});
  pinched.Polygons = {{0, 1, 2}, {0, 3, 4}, {1, 5, 1, 6}, {7, 8, 9, 10, 11}, {3, 3, 12}};
  const MeshQualityReport q = measureMeshQuality(pinched);
  EXPECT_EQ(q.Polygons, 5);
  EXPECT_EQ(q.PolygonsByCorners, (std::map<int, int>{{3, 3}, {4, 1}, {5, 1}}));
  EXPECT_EQ(q.MoreThanFourCorners, 1);
  EXPECT_EQ(q.RepeatedVertexPolygons, 2);
  EXPECT_EQ(q.Edges, 14) << "3-3 is no edge; 1-5, 1-6 and 3-12 are run once each way";
  EXPECT_EQ(q.OpenEdges, 11);
  EXPECT_EQ(q.NonManifoldEdges + q.InconsistentEdges, 0);
  EXPECT_EQ(q.NonManifoldVertices, 3) << "0, and 1 and 3, whose repeating polygon forms a fan of its own";
  EXPECT_EQ(q.Components, 2);
  EXPECT_EQ(q.EulerCharacteristic, 13 - 14 + 5);
  EXPECT_EQ(q.Valence, (std::map<int, int>{{1, 3}, {2, 7}, {3, 1}, {4, 2}}));
  const double shortSide = std::hypot(0.3f, 1.0);
  EXPECT_NEAR(q.EdgeLengthMin, 1.0, 1e-6);
  EXPECT_NEAR(q.EdgeLengthMedian, shortSide, 1e-6);
  EXPECT_NEAR(q.EdgeLengthMean, (7 + 2 * shortSide + 5 * std::sqrt(2.0)) / 14, 1e-6);
  EXPECT_NEAR(q.EdgeLengthMax, std::sqrt(2.0), 1e-6);
  EXPECT_EQ(summaryOf(pinched, &mesh), formatQualitySummary(measureMeshQuality(pinched, &mesh, 0.5)));
}

TEST(MeshQuality, DistancesBetweenNestedCubes) {
  PolygonStorage inner, outer;
  testmeshes::build(inner, testmeshes::cube(0.25f, 1.25f));
  testmeshes::build(outer, testmeshes::cube(0.0f, 1.5f));
  // The outer cube stored at half size: distances are measured in file coordinates.
  for (Vertex& v : outer.Vertices) v.pos = V3{v.pos.x / 2, v.pos.y / 2, v.pos.z / 2};
  outer.setScale(2.0f);
  const MeshQualityReport r = measureMeshQuality(inner, &outer, 0.125);
  ASSERT_TRUE(r.HasReference);
  EXPECT_NEAR(r.ToReference.Max, 0.25, 1e-6);
  EXPECT_NEAR(r.ToReference.Mean, 0.25, 1e-6);
  EXPECT_EQ(r.ToReference.Samples, 8 + 6);
  EXPECT_NEAR(r.FromReference.Max, 0.25 * std::sqrt(3.0), 1e-6) << "a corner of the outer cube";
  const std::string json = formatQualityJson(r);
  EXPECT_NE(json.find("\"max_voxels\": 2"), std::string::npos) << json;
}

TEST(SurfaceDistance, BucketSearchFindsTheNearestOfAllTriangles) {
  // A sphere of 320 triangles over a few buckets, and a long sliver that spans many of them.
  PolygonStorage mesh;
  testmeshes::build(mesh, testmeshes::icosphere({0, 0, 0}, 1, 2));
  const int a = mesh.addVertex(Vertex{{-1.7f, -0.2f, 0.1f}, {}, 0});
  const int b = mesh.addVertex(Vertex{{1.8f, 0.3f, -0.2f}, {}, 0});
  const int c = mesh.addVertex(Vertex{{1.8f, 0.35f, -0.1f}, {}, 0});
  mesh.Polygons.push_back({a, b, c});
  const SurfaceDistance surface(mesh);
  // Each triangle on its own: one bucket, so its distance is measured directly.
  std::vector<SurfaceDistance> single;
  for (const VertexIDList& polygon : mesh.Polygons) {
    PolygonStorage one;
    for (int id : polygon) one.addVertex(mesh.Vertices[id]);
    one.Polygons.push_back({0, 1, 2});
    single.emplace_back(one);
  }
  int hint = -1, samples = 0;
  for (double x = -3.1; x < 3.2; x += 0.41)
    for (double y = -2.9; y < 3.0; y += 0.37)
      for (double z = -3.0; z < 3.1; z += 0.43) {
        const std::array<double, 3> p{x, y, z};
        double nearest = std::numeric_limits<double>::infinity();
        for (const SurfaceDistance& s : single) nearest = std::min(nearest, s.distance(p));
        ASSERT_EQ(surface.distance(p), nearest) << x << " " << y << " " << z;
        // Whatever triangle the search starts from, it ends at the same distance.
        ASSERT_EQ(surface.distance(p, hint), nearest) << x << " " << y << " " << z;
        int other = samples % 400;
        ASSERT_EQ(surface.distance(p, other), nearest) << x << " " << y << " " << z;
        ++samples;
      }
  // Points on the surface: the corners.
  for (const Vertex& v : mesh.Vertices) EXPECT_EQ(surface.distance({v.pos.x, v.pos.y, v.pos.z}), 0.0);
}
