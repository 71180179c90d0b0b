#include "postprocess/MeshCleanup.h"

#include "mesh/MeshQuality.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

using namespace tessellor;

namespace {

using Corners = std::vector<std::array<float, 3>>;

// Every polygon of three or more corners, as its corner positions in order.
std::vector<Corners> polygonsByPosition(const PolygonStorage& mesh) {
  std::vector<Corners> result;
  for (const VertexIDList& polygon : mesh.Polygons) {
    if (polygon.size() < 3) continue;
    Corners corners;
    for (int id : polygon)
      corners.push_back({mesh.Vertices[id].pos.x, mesh.Vertices[id].pos.y, mesh.Vertices[id].pos.z});
    result.push_back(corners);
  }
  return result;
}

const std::vector<testmeshes::MeshData> Meshes = {testmeshes::cube(), testmeshes::uvSphere(),
                                                  testmeshes::torus(16, 8, false), testmeshes::torus(),
                                                  testmeshes::icosphere({0, 0, 0}, 1, 2)};

// A closed mesh whose every vertex is used and every polygon a valid shell element.
void expectSound(const PolygonStorage& mesh, int euler, const std::string& name) {
  const MeshQualityReport r = measureMeshQuality(mesh);
  EXPECT_EQ(r.UsedVertices, r.Vertices) << name << ": no unused vertex";
  EXPECT_EQ(r.Polygons, r.PolygonEntries) << name << ": no emptied polygon";
  EXPECT_EQ(r.RepeatedVertexPolygons, 0) << name;
  EXPECT_TRUE(r.Closed && r.ConsistentlyOriented) << name << "\n" << formatQualityText(r);
  EXPECT_EQ(r.NonManifoldVertices, 0) << name;
  EXPECT_EQ(r.EulerCharacteristic, euler) << name;
  for (const auto* shapes : {&r.QuadShape, &r.TriangleShape}) {
    for (const ShapeStatistics& s : *shapes) {
      if (std::string(s.Name) == "scaled_jacobian" && s.Count > 0) {
        EXPECT_GT(s.Min, MeshCleanup::MinScaledJacobian) << name;
      }
    }
  }
}

}  // namespace

TEST(MeshCleanup, CompactionKeepsEveryPolygonAndLeavesNothingUnused) {
  for (const testmeshes::MeshData& data : Meshes) {
    // Every third vertex gets an unused twin before it, every fourth polygon an emptied one.
    testmeshes::MeshData padded{data.Name, {}, {}, data.EulerCharacteristic};
    std::vector<int> moved;
    for (std::size_t v = 0; v < data.Positions.size(); ++v) {
      if (v % 3 == 0) padded.Positions.push_back({-7, -7, static_cast<float>(v)});
      moved.push_back(static_cast<int>(padded.Positions.size()));
      padded.Positions.push_back(data.Positions[v]);
    }
    for (std::size_t p = 0; p < data.Polygons.size(); ++p) {
      if (p % 4 == 0) padded.Polygons.push_back({});
      VertexIDList polygon;
      for (int id : data.Polygons[p]) polygon.push_back(moved[id]);
      padded.Polygons.push_back(polygon);
    }
    PolygonStorage original, mesh;
    testmeshes::build(original, data);
    testmeshes::build(mesh, padded);
    mesh.Polygons.push_back({0, 1});  // two corners: no polygon
    const MeshCleanup::Result result = MeshCleanup::compact(mesh);
    EXPECT_EQ(result.RemovedVertices, static_cast<int>(padded.Positions.size() - data.Positions.size())) << data.Name;
    EXPECT_EQ(mesh.Vertices.size(), data.Positions.size()) << data.Name;
    EXPECT_EQ(polygonsByPosition(mesh), polygonsByPosition(original)) << data.Name << ": same polygons, in order";
    EXPECT_TRUE(mesh.checkIntegrity()) << data.Name;
    expectSound(mesh, data.EulerCharacteristic, data.Name);
  }
}

TEST(MeshCleanup, RepairMendsDegenerateElementsAtTheirCause) {
  struct Damage {
    const char* Name;
    std::function<void(PolygonStorage&)> Apply;
  };
  // Quad 0 of the quad torus is (0, 8, 9, 1); vertex 8 has the neighbours 0, 9, 7 and 16.
  const Damage damages[] = {
      {"edge of zero length", [](PolygonStorage& m) { m.Vertices[8].pos = m.Vertices[0].pos; }},
      {"polygon repeating a vertex",
       [](PolygonStorage& m) {
         // As a collapse across quad 0 leaves it: its corner 0 merged into its corner 9.
         for (VertexIDList& polygon : m.Polygons)
           for (int& id : polygon)
             if (id == 0) id = 9;
       }},
      {"quad folded over a corner",
       [](PolygonStorage& m) {
         V3& p = m.Vertices[8].pos;
         const V3 &a = m.Vertices[0].pos, &c = m.Vertices[9].pos, &b = m.Vertices[1].pos;
         // past the diagonal 0-9, a third of the way towards corner 1
         const V3 mid{(a.x + c.x) / 2, (a.y + c.y) / 2, (a.z + c.z) / 2};
         p = V3{mid.x + (b.x - mid.x) / 3, mid.y + (b.y - mid.y) / 3, mid.z + (b.z - mid.z) / 3};
       }},
      {"two corners in one place, one on a third",
       [](PolygonStorage& m) {
         m.Vertices[8].pos = m.Vertices[0].pos;
         m.Vertices[9].pos = m.Vertices[1].pos;
       }},
  };
  for (const Damage& damage : damages) {
    PolygonStorage mesh;
    testmeshes::build(mesh, testmeshes::torus(16, 8, false));
    damage.Apply(mesh);
    const MeshQualityReport before = measureMeshQuality(mesh);
    EXPECT_GT(before.QuadsNonPositiveJacobian + before.RepeatedVertexPolygons, 0) << damage.Name << ": damaged";
    const MeshCleanup::Result result = MeshCleanup::repair(mesh);
    EXPECT_EQ(result.RemainingDegenerate, 0) << damage.Name;
    EXPECT_GT(result.CollapsedEdges + result.SplitPolygons + result.RemovedPolygons, 0) << damage.Name;
    expectSound(mesh, 0, damage.Name);
    EXPECT_TRUE(mesh.checkIntegrity()) << damage.Name;
  }
}

TEST(MeshCleanup, SoundMeshesKeepTheirGeometry) {
  for (const testmeshes::MeshData& data : Meshes) {
    PolygonStorage original, mesh;
    testmeshes::build(original, data);
    testmeshes::build(mesh, data);
    const MeshCleanup::Result result = MeshCleanup::repair(mesh);
    EXPECT_EQ(result.CollapsedEdges + result.SplitPolygons + result.RemovedPolygons + result.RemovedVertices, 0)
        << data.Name;
    EXPECT_EQ(polygonsByPosition(mesh), polygonsByPosition(original)) << data.Name;
  }
}

TEST(MeshCleanup, FansTouchingInOneVertexArePartedThere) {
  // Two cubes that meet at the corner (1, 1, 1): first through one shared vertex (vertex 7 of the
  // first is vertex 0 of the second), then through two vertices in that one place.
  for (const bool shared : {true, false}) {
    testmeshes::MeshData a = testmeshes::cube(0.0f, 1.0f), b = testmeshes::cube(1.0f, 2.0f);
    testmeshes::MeshData both{shared ? "two cubes on one corner" : "two cubes with corners in one place", a.Positions,
                              a.Polygons, 4};
    for (int v = shared ? 1 : 0; v < 8; ++v) both.Positions.push_back(b.Positions[v]);
    for (const VertexIDList& polygon : b.Polygons) {
      VertexIDList moved;
      for (int id : polygon) moved.push_back(shared && id == 0 ? 7 : id + (shared ? 7 : 8));
      both.Polygons.push_back(moved);
    }
    PolygonStorage mesh;
    testmeshes::build(mesh, both);
    EXPECT_EQ(measureMeshQuality(mesh).NonManifoldVertices, shared ? 1 : 0);
    const MeshCleanup::Result result = MeshCleanup::repair(mesh);
    EXPECT_EQ(result.SeparatedFans, shared ? 1 : 0);
    // The two corners in one place are moved apart, each towards its own cube.
    EXPECT_EQ(result.PartedVertices, shared ? 0 : 2);
    ASSERT_EQ(mesh.Vertices.size(), 16u);
    // The first cube keeps vertex 7; a separated fan's vertex comes last.
    const V3 &first = mesh.Vertices[7].pos, &second = mesh.Vertices[shared ? 15 : 8].pos;
    EXPECT_TRUE(first.x < 1.0f && first.y < 1.0f && first.z < 1.0f) << both.Name;
    EXPECT_TRUE(second.x > 1.0f && second.y > 1.0f && second.z > 1.0f) << both.Name;
    expectSound(mesh, 4, both.Name);
  }
}

TEST(MeshCleanup, ManyVerticesInOnePlaceArePartedTogether) {
  // 64 separate triangles around the z axis, each with a corner of its own at the origin; one of
  // those corners is at -0.0, which is the same place.
  testmeshes::MeshData fan{"triangles meeting at the origin", {}, {}, 64};
  for (int i = 0; i < 64; ++i) {
    const float a = 0.09817477f * static_cast<float>(i), b = a + 0.05f;
    const int first = static_cast<int>(fan.Positions.size());
    fan.Positions.push_back(i == 0 ? V3{-0.0f, -0.0f, -0.0f} : V3{0.0f, 0.0f, 0.0f});
    fan.Positions.push_back(V3{std::cos(a), std::sin(a), 0.0f});
    fan.Positions.push_back(V3{std::cos(b), std::sin(b), 0.1f});
    fan.Polygons.push_back({first, first + 1, first + 2});
  }
  PolygonStorage mesh;
  testmeshes::build(mesh, fan);
  const MeshCleanup::Result result = MeshCleanup::repair(mesh);
  EXPECT_EQ(result.PartedVertices, 64);
  for (int i = 0; i < 64; ++i)
    for (int j = i + 1; j < 64; ++j) {
      const V3 &p = mesh.Vertices[3 * i].pos, &q = mesh.Vertices[3 * j].pos;
      ASSERT_FALSE(p.x == q.x && p.y == q.y && p.z == q.z) << i << " " << j;
    }
}
