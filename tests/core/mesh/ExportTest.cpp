#include "mesh/PolygonStorageExportOBJ.h"
#include "mesh/PolygonStorageExportPC.h"
#include "mesh/PolygonStorageExportPLY.h"

#include "MeshTestSupport.h"
#include "mesh/PolygonStorage.h"
#include "base/TessellorError.h"

#include <gtest/gtest.h>

using namespace tessellor;

using meshtest::makeVertex;

namespace {

// Scale 2 and Offset (1, 0, 0); polygons: quad, deleted, triangle, pentagon, quad, two ids.
void fillSample(PolygonStorage& mesh) {
  mesh.clear();
  mesh.addVertex(makeVertex(1, 1, 1));
  mesh.addVertex(makeVertex(0, 0, 0));
  mesh.addVertex(makeVertex(0.5f, -0.25f, 0));
  mesh.addVertex(makeVertex(-1, 100, 0.125f));
  mesh.addVertex(makeVertex(1234.5f, 0, 0));
  mesh.addVertex(makeVertex(0.1f, 0, 0));
  mesh.addVertex(makeVertex(-0.5f, 0, -3));
  mesh.Polygons = {{0, 1, 2, 3}, {}, {4, 5, 6}, {0, 1, 2, 3, 4}, {3, 2, 1, 0}, {5, 6}};
  mesh.setScale(2.0f);
  mesh.setOffset(1.0f, 0.0f, 0.0f);
}

const char* const MaterialBlock =
    "MATER /    13011     101 7.850000000E-09       0       0\n"
    "               0       0       0       0       0       0      1.\n"
    "                                                 \n"
    "        0.        0.        0.       1.2       0.0       0.0       0.0       0.0\n"
    "\n\n\n\n\n";

template <class Writer>
std::string saved(const PolygonStorage& mesh, const char* name) {
  meshtest::ScratchDir dir;
  const std::string path = dir.file(name);
  Writer().save(path, mesh);
  return meshtest::readFile(path);
}

}  // namespace

TEST(ExportPLY, SampleByteExact) {
  PolygonStorage mesh;
  fillSample(mesh);
  const std::string expected =
      "ply\n"
      "format ascii 1.0\n"
      "element vertex 7\n"
      "property float32 x\n"
      "property float32 y\n"
      "property float32 z\n"
      "element face 6\n"
      "property list uint8 int32 vertex_indices\n"
      "end_header\n"
      "3.000000 2.000000 2.000000\n"
      "1.000000 0.000000 0.000000\n"
      "2.000000 -0.500000 0.000000\n"
      "-1.000000 200.000000 0.250000\n"
      "2470.000000 0.000000 0.000000\n"
      "1.200000 0.000000 0.000000\n"
      "0.000000 0.000000 -6.000000\n"
      "4 0 1 2 3\n"
      "0\n"
      "3 4 5 6\n"
      "5 0 1 2 3 4\n"
      "4 3 2 1 0\n"
      "2 5 6\n";
  EXPECT_EQ(saved<PolygonStorageExportPLY>(mesh, "s.ply"), expected);
}

TEST(ExportOBJ, SampleByteExact) {
  PolygonStorage mesh;
  fillSample(mesh);
  const std::string expected =
      "v 3.000000 2.000000 2.000000\n"
      "v 1.000000 0.000000 0.000000\n"
      "v 2.000000 -0.500000 0.000000\n"
      "v -1.000000 200.000000 0.250000\n"
      "v 2470.000000 0.000000 0.000000\n"
      "v 1.200000 0.000000 0.000000\n"
      "v 0.000000 0.000000 -6.000000\n"
      "g obj1\n"
      "f 1 2 3 4\n"
      "f 5 6 7\n"
      "f 1 2 3 4 5\n"
      "f 4 3 2 1\n";
  EXPECT_EQ(saved<PolygonStorageExportOBJ>(mesh, "s.obj"), expected);
}

TEST(ExportPC, SampleByteExactWithFixedColumns) {
  PolygonStorage mesh;
  fillSample(mesh);
  const std::string expected = std::string(MaterialBlock) +
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
                               "SHELL /        3   13011       4       3       2       1       3     0.0\n";
  const std::string text = saved<PolygonStorageExportPC>(mesh, "s.pc");
  EXPECT_EQ(text, expected);
  // Every card has its fixed width: material 56 / 64 / 49 / 80, node and shell cards 72.
  std::size_t start = 0;
  std::vector<std::size_t> widths;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    widths.push_back(end - start);
  ASSERT_EQ(widths.size(), 4u + 5u + 7u + 1u + 3u);
  EXPECT_EQ(widths[0], 56u);
  EXPECT_EQ(widths[1], 64u);
  EXPECT_EQ(widths[2], 49u);
  EXPECT_EQ(widths[3], 80u);
  for (std::size_t i = 9; i < 16; ++i) EXPECT_EQ(widths[i], 72u) << "node card " << i - 8;
  for (std::size_t i = 17; i < 20; ++i) EXPECT_EQ(widths[i], 72u) << "shell card " << i - 16;
}

TEST(Export, EmptyMesh) {
  PolygonStorage mesh;
  EXPECT_EQ(saved<PolygonStorageExportPLY>(mesh, "e.ply"),
            "ply\nformat ascii 1.0\nelement vertex 0\nproperty float32 x\nproperty float32 y\nproperty float32 z\n"
            "element face 0\nproperty list uint8 int32 vertex_indices\nend_header\n");
  EXPECT_EQ(saved<PolygonStorageExportOBJ>(mesh, "e.obj"), "g obj1\n");
  EXPECT_EQ(saved<PolygonStorageExportPC>(mesh, "e.pc"), std::string(MaterialBlock) + "$\n");
}

TEST(Export, CoordinatesAreComputedInFloat) {
  // 0.1f * 12345.678f + 1000.3f is 2234.867676 in float, 2234.867780 in double.
  PolygonStorage mesh;
  mesh.addVertex(makeVertex(12345.678f, 0, 0));
  mesh.setScale(0.1f);
  mesh.setOffset(1000.3f, 0, 0);
  EXPECT_EQ(saved<PolygonStorageExportOBJ>(mesh, "f.obj"), "v 2234.867676 0.000000 0.000000\ng obj1\n");
  const std::string ply = saved<PolygonStorageExportPLY>(mesh, "f.ply");
  EXPECT_NE(ply.find("\n2234.867676 0.000000 0.000000\n"), std::string::npos);
  const std::string pc = saved<PolygonStorageExportPC>(mesh, "f.pc");
  EXPECT_NE(pc.find("NODE  /        1         2234.87               0               0       0\n"), std::string::npos);
}

TEST(Export, FailedSaveLeavesExistingFileUntouched) {
  meshtest::ScratchDir dir;
  PolygonStorage mesh;
  meshtest::makeSphere(mesh, 40, 80);
  for (const char* name : {"keep.ply", "keep.obj", "keep.pc"}) {
    const std::string path = dir.file(name);
    meshtest::writeFile(path, "precious\n");
    meshtest::FileSizeLimit limit(4096);  // the sphere needs far more
    const std::string extension = std::string(name).substr(5);
    try {
      if (extension == "ply") PolygonStorageExportPLY().save(path, mesh);
      if (extension == "obj") PolygonStorageExportOBJ().save(path, mesh);
      if (extension == "pc") PolygonStorageExportPC().save(path, mesh);
      ADD_FAILURE() << name << ": a save beyond the file size limit must fail";
    } catch (const FileError& error) {
      EXPECT_EQ(error.File, path);
    }
    EXPECT_EQ(meshtest::readFile(path), "precious\n") << name;
  }
  EXPECT_EQ(dir.entries().size(), 3u) << "temporary files left behind";

  // A file that cannot be created is reported with its name.
  const std::string nowhere = dir.file("missing/out.ply");
  try {
    PolygonStorageExportPLY().save(nowhere, mesh);
    FAIL() << "expected FileError";
  } catch (const FileError& error) {
    EXPECT_EQ(error.File, nowhere);
    EXPECT_NE(std::string(error.what()).find(nowhere), std::string::npos);
  }
  EXPECT_THROW(PolygonStorageExportOBJ().save(dir.Path, mesh), FileError);
  EXPECT_THROW(PolygonStorageExportPC().save(dir.Path, mesh), FileError);
}
