// Every mesh format through the command line: a shared mesh written in each format remeshes to
// the output of its ASCII PLY original, any input converts to any output, and a file of no known
// format is refused with the formats that are read.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "support/MeshFileWriters.h"

#include <sys/stat.h>

using namespace tessellor;

namespace {

const std::string SharedMeshes = std::string(TESSELLOR_SHARED_DIR) + "/meshes";

void importPly(const std::string& path, PolygonStorage& mesh) { PolygonStorageImportPLY().import(path, mesh); }

meshfiles::Shape shapeOf(const PolygonStorage& mesh) { return {{}, mesh.Polygons}; }

CliRun remesh(const std::string& input, const std::string& output) {
  return runCli({"remesh", input, "-o", output, "--max-voxels", "20000", "--quiet"});
}

}  // namespace

TEST(CliReadFormats, EveryFormatRemeshesLikeTheAsciiPlyOriginal) {
  struct stat info;
  if (stat(SharedMeshes.c_str(), &info) != 0) GTEST_SKIP() << SharedMeshes << " is not present";
  for (const std::string name : {"joint.ply", "suzanne.ply"}) {
    SCOPED_TRACE(name);
    const std::string original = SharedMeshes + "/" + name;
    PolygonStorage mesh;
    importPly(original, mesh);
    meshfiles::Shape shape = shapeOf(mesh);
    for (const Vertex& v : mesh.Vertices) shape.Positions.push_back(v.pos);
    bool triangles = true;
    for (const VertexIDList& polygon : shape.Polygons) triangles = triangles && polygon.size() == 3;

    const std::string reference = scratchPath("reference.ply");
    ASSERT_EQ(remesh(original, reference).Exit, 0);
    struct Case {
      std::string Name, Contents;
    };
    std::vector<Case> cases = {{"le.ply", meshfiles::plyBinary(shape, false)},
                               {"be.ply", meshfiles::plyBinary(shape, true, "double", "uchar", "uint")},
                               {"part.obj", meshfiles::obj(shape)},
                               {"part.off", meshfiles::off(shape, "COFF")}};
    if (triangles) {
      cases.push_back({"ascii.stl", meshfiles::stlAscii(shape)});
      cases.push_back({"binary.stl", meshfiles::stlBinary(shape)});
    }
    for (const Case& c : cases) {
      const std::string input = scratchPath(c.Name), output = scratchPath("out-" + c.Name + ".ply");
      writeFile(input, c.Contents);
      const CliRun run = remesh(input, output);
      ASSERT_EQ(run.Exit, 0) << c.Name << "\n" << describe(run);
      if (c.Name.find(".stl") == std::string::npos) {
        EXPECT_TRUE(readFile(output) == readFile(reference)) << c.Name << ": output differs from the PLY original's";
        continue;
      }
      // STL numbers its vertices by their first use: the same mesh up to the order of its elements.
      PolygonStorage expected, got;
      importPly(reference, expected);
      importPly(output, got);
      EXPECT_EQ(got.Vertices.size(), expected.Vertices.size()) << c.Name;
      EXPECT_EQ(got.Polygons.size(), expected.Polygons.size()) << c.Name;
      EXPECT_EQ(postfixtures::closedAndOriented(got), postfixtures::closedAndOriented(expected)) << c.Name;
      EXPECT_EQ(postfixtures::eulerCharacteristic(got), postfixtures::eulerCharacteristic(expected)) << c.Name;
    }
  }
}

TEST(CliReadFormats, ConvertReadsAnyFormatAndUnknownFilesAreRefusedNamingTheFormats) {
  const testmeshes::MeshData octahedron = testmeshes::octahedron();
  const meshfiles::Shape shape = meshfiles::numberedByFirstUse({octahedron.Positions, octahedron.Polygons});
  const std::string stl = scratchPath("part.stl"), ply = scratchPath("part.ply"), fromStl = scratchPath("from-stl.ply");
  writeFile(stl, meshfiles::stlBinary(shape));
  writeFile(ply, meshfiles::plyAscii(shape));
  const CliRun run = runCli({"convert", stl, "-o", fromStl});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "Mesh Size (2|2|2)")) << run.Out;
  const std::string fromPly = scratchPath("from-ply.ply");
  ASSERT_EQ(runCli({"convert", ply, "-o", fromPly}).Exit, 0);
  EXPECT_EQ(readFile(fromStl), readFile(fromPly));

  for (const std::string name : {"notes.txt", "scan.obj", "part.stl.bak"}) {
    const std::string path = scratchPath(name);
    writeFile(path, "these are notes, not a mesh\n");
    for (const char* command : {"info", "convert", "remesh"}) {
      std::vector<std::string> args = {command, path};
      if (std::string(command) != "info") args.insert(args.end(), {"-o", scratchPath("out.ply")});
      const CliRun refused = runCli(args);
      EXPECT_EQ(refused.Exit, 1) << command << " " << name << "\n" << describe(refused);
      const std::vector<std::string> err = lines(refused.Err);
      ASSERT_EQ(err.size(), 1u) << refused.Err;
      EXPECT_EQ(err[0].rfind("tessellor-cli: " + path + ": unknown file format", 0), 0u) << err[0];
      for (const char* format : {"PLY", "STL", "OBJ", "OFF"}) EXPECT_NE(err[0].find(format), std::string::npos);
      EXPECT_EQ(refused.Out.find("Statistics"), std::string::npos);
    }
  }
}
