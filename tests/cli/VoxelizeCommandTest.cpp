// tessellor-cli voxelize and remesh: what they write is what the library gives for the options on
// the command line, and every refusal. Usage mistakes: CliUsage.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "support/TestMeshes.h"
#include "tessellor/Tessellor.h"

#include <sstream>

using namespace tessellor;

namespace {

// The mesh as an ASCII PLY file in the scratch directory.
std::string plyFile(const std::string& name, const testmeshes::MeshData& mesh) {
  std::ostringstream out;
  out << "ply\nformat ascii 1.0\nelement vertex " << mesh.Positions.size() << "\nelement face " << mesh.Polygons.size()
      << "\nend_header\n";
  for (const V3& p : mesh.Positions) out << p.x << " " << p.y << " " << p.z << "\n";
  for (const VertexIDList& f : mesh.Polygons) {
    out << f.size();
    for (int id : f) out << " " << id;
    out << "\n";
  }
  writeFile(scratchPath(name), out.str());
  return scratchPath(name);
}

testmeshes::MeshData box(float sx, float sy, float sz) {
  testmeshes::MeshData data = testmeshes::triangulated(testmeshes::cube());
  for (V3& p : data.Positions) p = V3{p.x * sx, p.y * sy, p.z * sz};
  return data;
}

}  // namespace

// Default settings, then every option: the volume file and the remeshed mesh are the library's,
// byte for byte; the log frames the stages; --quiet prints nothing; --format wins over the
// extension of the output.
TEST(VoxelizeCommand, WritesWhatTheLibraryGivesForTheOptions) {
  const std::string in = plyFile("octa.ply", testmeshes::octahedron({10, -4, 7}, 3));
  const std::string vol = scratchPath("octa.vol"), saved = scratchPath("saved.vol");
  PolygonStorage mesh, remeshed;
  readMesh(in, mesh);
  const struct {
    std::vector<std::string> Options;
    RemeshOptions Library;
    bool Quiet, Obj;
  } cases[] = {{{}, RemeshOptions{}, false, false},
               {{"--max-voxels", "8000", "--features", "--psi", "0.34", "--exact-distance", "--quiet"},
                RemeshOptions{8000, true, 0.34f, true}, true, false},
               {{"--max-voxels=20000", "--features"}, RemeshOptions{20000, true}, false, true}};
  for (const auto& c : cases) {
    const std::string out = scratchPath(c.Obj ? "out.txt" : "out.ply");
    std::vector<std::string> voxelizeArgs{"voxelize", in, "-o", vol}, remeshArgs{"remesh", in, "-o", out, "--save-volume", saved};
    voxelizeArgs.insert(voxelizeArgs.end(), c.Options.begin(), c.Options.end());
    remeshArgs.insert(remeshArgs.end(), c.Options.begin(), c.Options.end());
    if (c.Obj) remeshArgs.insert(remeshArgs.end(), {"--format", "obj"});
    const CliRun a = runCli(voxelizeArgs), b = runCli(remeshArgs);
    ASSERT_EQ(a.Exit + b.Exit, 0) << describe(a) << describe(b);
    VolumeStorageDF volume;
    remesh(mesh, remeshed, c.Library, nullptr, &volume);
    writeVolume(scratchPath("library.vol"), volume);
    writeMesh(scratchPath("library.mesh"), remeshed, c.Obj ? MeshFormat::OBJ : MeshFormat::PLY);
    EXPECT_TRUE(readFile(vol) == readFile(scratchPath("library.vol"))) << "voxelize " << c.Options.size();
    EXPECT_TRUE(readFile(saved) == readFile(vol)) << "remesh --save-volume " << c.Options.size();
    EXPECT_TRUE(readFile(out) == readFile(scratchPath("library.mesh"))) << "remesh " << c.Options.size();
    if (c.Quiet) {
      EXPECT_EQ(a.Out + b.Out, "") << "--quiet";
      continue;
    }
    EXPECT_NE(a.Out.find("--------------- end\nVolume Size "), std::string::npos) << "the import frame, then the sizing";
    EXPECT_EQ(a.Out.find("Distance mode"), std::string::npos);
    std::size_t at = 0;
    for (const char* task : {"Importing", "Voxelization", "Marching", "Constructing Dual Surface", "Reducing polygon degree",
                             "Removing rhombus polygons", "Smoothing"})
      ASSERT_NE(at = b.Out.find(std::string("begin \n") + task + "\n", at), std::string::npos) << task << "\n" << b.Out;
    EXPECT_EQ(b.Out.find("Sharp features") == std::string::npos, c.Options.empty()) << "features are off by default";
  }
}

// Every refusal: exit status 1, one message naming the input, no output file, an existing one
// left alone. Quads only is no refusal: they are skipped and counted.
TEST(VoxelizeCommand, MeshesThatCannotBeVoxelizedAreRefused) {
  const struct {
    std::string Name;
    testmeshes::MeshData Mesh;
    std::string Message;
  } cases[] = {
      {"flat", {"", {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}, {{0, 1, 2}}, 1}, "no extent along z"},
      {"point", {"", {{2, 2, 2}}, {}, 1}, "no extent along x"},
      {"empty", {"", {}, {}, 0}, "no vertices"},
      {"thin", box(46, 46, 1), "only 3 voxels along z"},
      {"needle", box(1000, 1e-3f, 1e-3f), "along y"},
      {"quads", testmeshes::cube(), ""},
  };
  for (const auto& c : cases) {
    const std::string in = plyFile(c.Name + ".ply", c.Mesh), out = scratchPath(c.Name + ".vol"), mesh = scratchPath("out.ply");
    writeFile(out, "keep");
    const CliRun run = runCli({"voxelize", in, "-o", out});
    const CliRun remesh = runCli({"remesh", in, "-o", mesh, "--save-volume", out});
    if (c.Message.empty()) {
      EXPECT_EQ(run.Exit, 0) << describe(run);
      EXPECT_NE(run.Out.find("\n 6 Polygons skipped\n"), std::string::npos) << run.Out;
      continue;
    }
    for (const CliRun& r : {run, remesh}) {
      EXPECT_EQ(r.Exit, 1) << c.Name << "\n" << describe(r);
      EXPECT_EQ(r.Err.rfind("tessellor-cli: " + in + ": Cannot size the volume: ", 0), 0u) << r.Err;
      EXPECT_NE(r.Err.find(c.Message), std::string::npos) << c.Name << "\n" << r.Err;
    }
    EXPECT_EQ(readFile(out), "keep") << c.Name;
    EXPECT_FALSE(fileExists(mesh)) << c.Name;
  }
  // The thin box names the budget that gives its thin axis 5 voxels, and that budget works.
  const std::string in = scratchPath("thin.ply"), out = scratchPath("thin.vol");
  CliRun run = runCli({"voxelize", in, "-o", out});
  const std::size_t at = run.Err.find("a voxel budget of at least ");
  ASSERT_NE(at, std::string::npos) << describe(run);
  run = runCli({"voxelize", in, "-o", out, "--max-voxels", std::to_string(std::stol(run.Err.substr(at + 27)))});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  VolumeStorageDF volume;
  readVolume(out, volume);
  EXPECT_EQ(volume.ZSize, 5);
}

TEST(VoxelizeCommand, BudgetThatCannotBeAllocatedFailsCleanly) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address space limit that makes the allocation fail does not work with AddressSanitizer";
#endif
  const std::string in = plyFile("octa.ply", testmeshes::octahedron()), out = scratchPath("huge.vol");
  CliLimits limits;
  limits.MemoryMiB = 512;
  const CliRun run = runCli({"voxelize", in, "-o", out, "--max-voxels", "2000000000"}, limits);
  EXPECT_EQ(run.Exit, 1) << describe(run);
  EXPECT_NE(run.Err.find("Cannot allocate a volume of"), std::string::npos) << describe(run);
  EXPECT_FALSE(fileExists(out));
}
