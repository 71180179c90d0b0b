// tessellor-cli voxelize and remesh: what they write is what the library gives for the options on
// the command line (the robust mode and a cleaned output by default), every refusal, Ctrl-C and
// the warning for an open output. Usage mistakes: CliUsage.
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

// Default settings, then every option: the volume file and the remeshed mesh are the library's
// (cleaned with nine digits unless --raw), byte for byte; the log frames the stages; --quiet prints
// nothing; --format wins over the extension of the output; --exact-distance is --mode exact.
TEST(VoxelizeCommand, WritesWhatTheLibraryGivesForTheOptions) {
  const std::string in = plyFile("octa.ply", testmeshes::octahedron({10, -4, 7}, 3));
  const std::string vol = scratchPath("octa.vol"), saved = scratchPath("saved.vol");
  PolygonStorage mesh, remeshed;
  readMesh(in, mesh);
  const struct {
    std::vector<std::string> Options;
    RemeshOptions Library;
    bool Quiet, Obj;
  } cases[] = {
      {{}, RemeshOptions{100000, 0, 0, false, 0.3f, VoxelizationMode::Robust}, false, false},
      {{"--max-voxels", "8000", "--features", "--psi", "0.34", "--exact-distance", "--quiet"},
       RemeshOptions{8000, 0, 0, true, 0.34f, VoxelizationMode::Exact},
       true,
       false},
      {{"--max-voxels=20000", "--features", "--mode", "classic"}, RemeshOptions{20000, 0, 0, true}, false, true}};
  for (const auto& c : cases) {
    const std::string out = scratchPath(c.Obj ? "out.txt" : "out.ply");
    std::vector<std::string> voxelizeArgs{"voxelize", in, "-o", vol},
        remeshArgs{"remesh", in, "-o", out, "--save-volume", saved};
    voxelizeArgs.insert(voxelizeArgs.end(), c.Options.begin(), c.Options.end());
    remeshArgs.insert(remeshArgs.end(), c.Options.begin(), c.Options.end());
    if (c.Obj) remeshArgs.insert(remeshArgs.end(), {"--format", "obj", "--raw"});
    const CliRun a = runCli(voxelizeArgs), b = runCli(remeshArgs);
    ASSERT_EQ(a.Exit + b.Exit, 0) << describe(a) << describe(b);
    VolumeStorageDF volume;
    remesh(mesh, remeshed, c.Library, nullptr, &volume);
    if (!c.Obj) cleanMesh(remeshed);
    writeVolume(scratchPath("library.vol"), volume);
    writeMesh(scratchPath("library.mesh"), remeshed, c.Obj ? MeshFormat::OBJ : MeshFormat::PLY, WriteOptions{!c.Obj});
    EXPECT_TRUE(readFile(vol) == readFile(scratchPath("library.vol"))) << "voxelize " << c.Options.size();
    EXPECT_TRUE(readFile(saved) == readFile(vol)) << "remesh --save-volume " << c.Options.size();
    EXPECT_TRUE(readFile(out) == readFile(scratchPath("library.mesh"))) << "remesh " << c.Options.size();
    if (c.Quiet) {
      EXPECT_EQ(a.Out + b.Out, "") << "--quiet";
      continue;
    }
    EXPECT_NE(a.Out.find("--------------- end\nVolume Size "), std::string::npos)
        << "the import frame, then the sizing";
    EXPECT_EQ(a.Out.find("Distance mode: robust\nTriangles: 8, pieces: 1 (closed 1, cavities 0), turned: 0\n") ==
                  std::string::npos,
              c.Obj);
    std::size_t at = 0;
    for (const char* task :
         {"Importing", "Voxelization", "Marching", "Constructing Dual Surface", "Reducing polygon degree",
          "Removing rhombus polygons", "Smoothing", c.Obj ? "Smoothing" : "Cleaning up mesh"})
      ASSERT_NE(at = b.Out.find(std::string("begin \n") + task + "\n", at), std::string::npos) << task << "\n" << b.Out;
    EXPECT_EQ(b.Out.find("Sharp features") == std::string::npos, c.Options.empty()) << "features are off by default";
  }
}

// Every refusal: exit status 1, one message naming the input, no output file, an existing one
// left alone. Quads only: the robust mode triangulates them, the triangle modes refuse them.
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
      {"quads, classic", testmeshes::cube(), "--mode robust"},
  };
  for (const auto& c : cases) {
    const std::string in = plyFile(c.Name + ".ply", c.Mesh), out = scratchPath(c.Name + ".vol"),
                      mesh = scratchPath(c.Name + "-out.ply");
    const std::string mode = c.Name.find("classic") == std::string::npos ? "robust" : "classic";
    writeFile(out, "keep");
    const CliRun run = runCli({"voxelize", in, "-o", out, "--mode", mode});
    const CliRun remesh = runCli({"remesh", in, "-o", mesh, "--save-volume", out, "--mode", mode});
    if (c.Message.empty()) {
      EXPECT_EQ(run.Exit, 0) << describe(run);
      EXPECT_NE(run.Out.find("\n 0 Polygons skipped\n"), std::string::npos) << run.Out;
      continue;
    }
    for (const CliRun& r : {run, remesh}) {
      EXPECT_EQ(r.Exit, 1) << c.Name << "\n" << describe(r);
      EXPECT_EQ(r.Err.rfind("tessellor-cli: " + in + ": ", 0), 0u) << r.Err;
      EXPECT_NE(r.Err.find(c.Message), std::string::npos) << c.Name << "\n" << r.Err;
    }
    EXPECT_EQ(readFile(out), "keep") << c.Name;
    EXPECT_FALSE(fileExists(mesh)) << c.Name;
  }
}

// Ctrl-C once the input is read: exit 130 from the program itself, no output file.
TEST(VoxelizeCommand, CtrlCStopsCleanlyWithoutAnOutputFile) {
  const std::string in = plyFile("torus.ply", testmeshes::torus(36, 18)), out = scratchPath("stopped.ply");
  CliLimits limits;
  limits.InterruptWhenOut = "--------------- end";
  const CliRun run = runCli({"remesh", in, "-o", out, "--max-voxels", "5000000"}, limits);
  EXPECT_EQ(run.Exit, 130) << describe(run);
  EXPECT_NE(run.Err.find("Cancelled"), std::string::npos) << run.Err;
  EXPECT_FALSE(fileExists(out));
}

// An output that is not closed is written (status 0), with a log line and a warning on standard
// error that count its open edges.
TEST(VoxelizeCommand, OpenOutputIsWrittenWithAWarning) {
  const std::string in = plyFile("open.ply", testmeshes::allMeshes()[7]), out = scratchPath("open.ply");
  const CliRun run = runCli({"remesh", in, "-o", out, "--max-voxels", "20000"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_NE(run.Out.find("\nOutput mesh not closed: "), std::string::npos) << run.Out;
  EXPECT_NE(run.Err.find("tessellor-cli: warning: " + out + ": the output mesh is not closed ("), std::string::npos)
      << run.Err;
  EXPECT_TRUE(fileExists(out));
}
