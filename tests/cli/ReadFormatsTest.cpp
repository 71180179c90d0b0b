// Every mesh format through the command line: any input converts to any output, and a file of no
// known format is refused with the formats that are read. What each reader makes of its format is
// checked on the library (ImportFormats).
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "support/TestMeshes.h"
#include "support/MeshFileWriters.h"

using namespace tessellor;

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
