// Properties that hold over every mesh of the asset suite and the small shared meshes.
#include "mesh/PolygonStorage.h"
#include "mesh/PolygonStorageExportPLY.h"
#include "mesh/PolygonStorageImportPLY.h"

#include "support/DiagnosticsCapture.h"
#include "support/TestFiles.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace tessellor;

namespace {

// The generated meshes, and the small shared ones when they are there (read as they stand).
std::vector<testmeshes::MeshData> meshSet() {
  std::vector<testmeshes::MeshData> set = testmeshes::allMeshes();
  for (const char* name : {"cube_quad.ply", "open_cube.ply", "sphere.ply", "torus_quad.ply"}) {
    const std::string path = testfiles::sharedDir() + "/meshes/" + name;
    if (!testfiles::fileExists(path)) continue;
    PolygonStorage mesh;
    DiagnosticsCapture quiet;
    PolygonStorageImportPLY().import(path, mesh);
    testmeshes::MeshData data{name, {}, mesh.Polygons, std::string(name) == "open_cube.ply" ? 1 : 2 - 2 * (name[0] == 't')};
    for (const Vertex& v : mesh.Vertices) data.Positions.push_back(v.pos);
    set.push_back(data);
  }
  return set;
}

std::string withoutNegativeZeros(std::string text) {
  for (std::size_t pos; (pos = text.find("-0.000000")) != std::string::npos;) text.erase(pos, 1);
  return text;
}

}  // namespace

// Every mesh keeps its index invariants and its Euler characteristic; the closed ones are closed
// and oriented. Fitted into a 50 x 40 x 60 volume it lies in [1.5, n - 2.5] with its tightest
// axis filled; its PLY file holds the original file coordinates, polygons (deleted ones written as
// "0" come back deleted) and edges; written again, the file is the same.
TEST(MeshSet, EveryMeshIsConsistentAndItsFittedFileReadsBackAsTheOriginal) {
  testfiles::ScratchDir dir;
  const std::vector<testmeshes::MeshData> set = meshSet();
  EXPECT_GE(set.size(), testmeshes::allMeshes().size());
  for (const testmeshes::MeshData& data : set) {
    SCOPED_TRACE(data.Name);
    PolygonStorage mesh;
    testmeshes::build(mesh, data);
    EXPECT_EQ(testmeshes::indexFault(mesh), "");
    EXPECT_EQ(testmeshes::eulerCharacteristic(mesh), data.EulerCharacteristic);
    EXPECT_EQ(data.Name.find("open") == std::string::npos ? testmeshes::closedOrientedFault(mesh) : "", "");
    const float extent = std::max({mesh.BBoxMax.x - mesh.BBoxMin.x, mesh.BBoxMax.y - mesh.BBoxMin.y,
                                   mesh.BBoxMax.z - mesh.BBoxMin.z});

    ASSERT_TRUE(mesh.fitIntoVolume(50, 40, 60));
    float lowest = 1e30f;
    for (const Vertex& v : mesh.Vertices) lowest = std::min({lowest, v.pos.x, v.pos.y, v.pos.z});
    EXPECT_GE(lowest, 1.5f - 1e-4f);
    const float highest[3] = {mesh.BBoxMax.x - 47.5f, mesh.BBoxMax.y - 37.5f, mesh.BBoxMax.z - 57.5f};
    EXPECT_LE(*std::max_element(highest, highest + 3), 1e-3f);
    EXPECT_GE(*std::max_element(highest, highest + 3), -1e-3f) << "the tightest axis is filled";

    const std::string first = dir.file("first.ply"), second = dir.file("second.ply");
    PolygonStorageExportPLY().save(first, mesh);
    PolygonStorage back;
    PolygonStorageImportPLY().import(first, back);
    EXPECT_EQ(back.Polygons, mesh.Polygons);
    EXPECT_EQ(back.EdgeIndex.size(), mesh.EdgeIndex.size());
    ASSERT_EQ(back.Vertices.size(), data.Positions.size());
    for (std::size_t i = 0; i < data.Positions.size(); ++i) {
      const V3 &got = back.Vertices[i].pos, &was = data.Positions[i], expected = mesh.fileCoordinates(mesh.Vertices[i].pos);
      ASSERT_NEAR(got.x, expected.x, 2e-6f * std::max(1.0f, std::fabs(expected.x))) << "vertex " << i;
      ASSERT_NEAR(got.y, expected.y, 2e-6f * std::max(1.0f, std::fabs(expected.y))) << "vertex " << i;
      ASSERT_NEAR(got.z, was.z, 1e-5f * extent + 1e-6f) << "vertex " << i;
      ASSERT_NEAR(got.x, was.x, 1e-5f * extent + 1e-6f) << "vertex " << i;
    }
    // The same bytes again, except that a tiny negative value printed as -0.000000 comes back as
    // -0, and -0 * Scale + 0 is +0.
    PolygonStorageExportPLY().save(second, back);
    EXPECT_EQ(withoutNegativeZeros(testfiles::readFile(second)), withoutNegativeZeros(testfiles::readFile(first)));
  }
}
