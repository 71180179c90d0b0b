#include "mesh/AtomicFileWriter.h"
#include "mesh/PolygonStorageExportOBJ.h"
#include "mesh/PolygonStorageExportPC.h"
#include "mesh/PolygonStorageExportPLY.h"
#include "mesh/PolygonStorageImportPLY.h"

#include "base/TessellorError.h"
#include "support/DiagnosticsCapture.h"
#include "support/TestFiles.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

using namespace tessellor;

namespace {

const char* const MaterialBlock =
    "MATER /    13011     101 7.850000000E-09       0       0\n"
    "               0       0       0       0       0       0      1.\n"
    "                                                 \n"
    "        0.        0.        0.       1.2       0.0       0.0       0.0       0.0\n"
    "\n\n\n\n\n";

void save(const PolygonStorage& mesh, const std::string& path) {
  const std::string extension = path.substr(path.rfind('.') + 1);
  if (extension == "ply") PolygonStorageExportPLY().save(path, mesh);
  if (extension == "obj") PolygonStorageExportOBJ().save(path, mesh);
  if (extension == "pc") PolygonStorageExportPC().save(path, mesh);
}

std::string saved(const PolygonStorage& mesh, const char* name) {
  testfiles::ScratchDir dir;
  save(mesh, dir.file(name));
  return testfiles::readFile(dir.file(name));
}

// The generated meshes, and the small shared ones when they are there (read as they stand).
std::vector<testmeshes::MeshData> meshSet() {
  std::vector<testmeshes::MeshData> set = testmeshes::allMeshes();
  for (const char* name : {"cube_quad.ply", "open_cube.ply", "sphere.ply", "torus_quad.ply"}) {
    const std::string path = testfiles::sharedDir() + "/meshes/" + name;
    if (!testfiles::fileExists(path)) continue;
    PolygonStorage mesh;
    DiagnosticsCapture quiet;
    PolygonStorageImportPLY().import(path, mesh);
    testmeshes::MeshData data{
        name, {}, mesh.Polygons, std::string(name) == "open_cube.ply" ? 1 : 2 - 2 * (name[0] == 't')};
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

// Scale 2 and Offset (1, 0, 0); polygons: quad, deleted, triangle, pentagon, quad, two ids.
TEST(Export, EveryWriterByteForByte) {
  PolygonStorage mesh;
  for (V3 p : std::vector<V3>{
           {1, 1, 1}, {0, 0, 0}, {0.5f, -0.25f, 0}, {-1, 100, 0.125f}, {1234.5f, 0, 0}, {0.1f, 0, 0}, {-0.5f, 0, -3}})
    mesh.addVertex(Vertex{p, {}, 0});
  mesh.Polygons = {{0, 1, 2, 3}, {}, {4, 5, 6}, {0, 1, 2, 3, 4}, {3, 2, 1, 0}, {5, 6}};
  mesh.setScale(2.0f);
  mesh.setOffset(1.0f, 0.0f, 0.0f);
  const std::string coordinates[7] = {"3.000000 2.000000 2.000000",    "1.000000 0.000000 0.000000",
                                      "2.000000 -0.500000 0.000000",   "-1.000000 200.000000 0.250000",
                                      "2470.000000 0.000000 0.000000", "1.200000 0.000000 0.000000",
                                      "0.000000 0.000000 -6.000000"};
  std::string ply =
      "ply\nformat ascii 1.0\nelement vertex 7\nproperty float32 x\nproperty float32 y\nproperty float32 z\n"
      "element face 6\nproperty list uint8 int32 vertex_indices\nend_header\n";
  std::string obj;
  for (const std::string& c : coordinates) {
    ply += c + "\n";
    obj += "v " + c + "\n";
  }
  EXPECT_EQ(saved(mesh, "s.ply"), ply + "4 0 1 2 3\n0\n3 4 5 6\n5 0 1 2 3 4\n4 3 2 1 0\n2 5 6\n");
  EXPECT_EQ(saved(mesh, "s.obj"), obj + "g obj1\nf 1 2 3 4\nf 5 6 7\nf 1 2 3 4 5\nf 4 3 2 1\n");
  EXPECT_EQ(saved(mesh, "s.pc"), std::string(MaterialBlock) +
                                     "NODE  /        1               3               2               2       0\n"
                                     "NODE  /        2               1               0               0       0\n"
                                     "NODE  /        3               2            -0.5               0       0\n"
                                     "NODE  /        4              -1             200            0.25       0\n"
                                     "NODE  /        5            2470               0               0       0\n"
                                     "NODE  /        6             1.2               0               0       0\n"
                                     "NODE  /        7               0               0              -6       0\n"
                                     "$\n"
                                     "SHELL /        1   13011       1       2       3       4       3     0.0\n"
                                     "SHELL /        2   13011       5       6       7       0       3     0.0\n"
                                     "SHELL /        3   13011       4       3       2       1       3     0.0\n");
  // File coordinates in float: 0.1f * 12345.678f + 1000.3f is 2234.867676, in double 2234.867780.
  PolygonStorage single;
  single.addVertex(Vertex{{12345.678f, 0, 0}, {}, 0});
  single.setScale(0.1f);
  single.setOffset(1000.3f, 0, 0);
  EXPECT_EQ(saved(single, "f.obj"), "v 2234.867676 0.000000 0.000000\ng obj1\n");
  EXPECT_NE(saved(single, "f.pc").find("NODE  /        1         2234.87               0               0       0\n"),
            std::string::npos);
  PolygonStorage empty;
  EXPECT_EQ(saved(empty, "e.pc"), std::string(MaterialBlock) + "$\n");
}

// A save that fails part-way (as on a full disk) or cannot start leaves an existing file whole,
// and no temporary file behind; a replaced file keeps its permissions.
TEST(Export, FailedSaveLeavesTheExistingFileUntouched) {
  testfiles::ScratchDir dir;
  PolygonStorage mesh;
  testmeshes::build(mesh, testmeshes::icosphere({0, 0, 0}, 1, 4));
  for (const char* name : {"keep.ply", "keep.obj", "keep.pc"}) {
    const std::string path = dir.file(name);
    testfiles::writeFile(path, "precious\n");
    testfiles::FileSizeLimit limit(4096);  // the sphere needs far more
    try {
      save(mesh, path);
      ADD_FAILURE() << name << ": a save beyond the file size limit must fail";
    } catch (const FileError& error) {
      EXPECT_EQ(error.File, path);
    }
    EXPECT_EQ(testfiles::readFile(path), "precious\n") << name;
  }
  EXPECT_EQ(dir.entries().size(), 3u) << "temporary files left behind";
  for (const std::string& path : {dir.file("missing/out.ply"), dir.Path, std::string()})
    EXPECT_THROW(AtomicFileWriter{path}, FileError) << "'" << path << "' cannot be created";
  try {
    save(mesh, dir.file("missing/out.pc"));
    ADD_FAILURE() << "a file in a missing directory was written";
  } catch (const FileError& error) {
    EXPECT_EQ(error.File, dir.file("missing/out.pc"));
  }
  try {
    AtomicFileWriter out(dir.file("keep.ply"));
    out.print("never committed\n");
    throw std::runtime_error("save failed half way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(testfiles::readFile(dir.file("keep.ply")), "precious\n");
  ASSERT_EQ(::chmod(dir.file("keep.obj").c_str(), 0640), 0);
  save(mesh, dir.file("keep.obj"));
  struct stat info;
  ASSERT_EQ(::stat(dir.file("keep.obj").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(dir.entries().size(), 3u) << "temporary files left behind";
}

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
    const float extent =
        std::max({mesh.BBoxMax.x - mesh.BBoxMin.x, mesh.BBoxMax.y - mesh.BBoxMin.y, mesh.BBoxMax.z - mesh.BBoxMin.z});

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
      const V3 &got = back.Vertices[i].pos, &was = data.Positions[i],
               expected = mesh.fileCoordinates(mesh.Vertices[i].pos);
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
