// tessellor-cli mesh: a volume file in, the extracted surface out, every vertex kept.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "volume/VolumeStorageDF.h"
#include "volume/VolumeStorageDF_IO.h"

namespace {

struct MeshRun {
  int Exit = -1;
  std::string Out;
  std::string Err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string temp(const std::string& name) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + "tessellor_mesh_" + test->name() + "_" + std::to_string(getpid()) + "_" + name;
}

MeshRun mesh(std::vector<std::string> args) {
  const std::string outPath = temp("stdout"), errPath = temp("stderr");
  args.insert(args.begin(), "mesh");
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    static std::string program = TESSELLOR_CLI;
    argv.push_back(&program[0]);
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  MeshRun run;
  if (WIFEXITED(status)) run.Exit = WEXITSTATUS(status);
  run.Out = slurp(outPath);
  run.Err = slurp(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return run;
}

std::string describe(const MeshRun& run) {
  return "exit " + std::to_string(run.Exit) + "\nstdout:\n" + run.Out.substr(0, 3000) + "\nstderr:\n" + run.Err;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

bool hasLine(const std::string& text, const std::string& line) {
  const std::vector<std::string> all = lines(text);
  return std::find(all.begin(), all.end(), line) != all.end();
}

int countPrefix(const std::string& text, const std::string& prefix) {
  int n = 0;
  for (const std::string& line : lines(text)) n += line.rfind(prefix, 0) == 0;
  return n;
}

// A 5 x 5 x 5 volume of distance 1 with one negative grid point at (2, 2, 2); Scale 2, Offset
// (1, 2, 3). mark: also leave (3, 2, 2) without a distance.
std::string writeVolume(const std::string& name, bool mark) {
  VolumeStorageDF volume;
  volume.resize(5, 5, 5);
  volume.clear();
  for (VoxelData& v : volume.Voxels) v.Distance = 1.0f;
  volume.Voxels[volume.index(2, 2, 2)].Distance = -1.0f;
  if (mark) volume.Voxels[volume.index(3, 2, 2)].Distance = NoValue;
  volume.setScale(2.0f);
  volume.setOffset(1.0f, 2.0f, 3.0f);
  const std::string path = temp(name);
  VolumeStorageDF_IO io;
  io.setFileName(path);
  io.setVolume(&volume);
  io.write();
  return path;
}

TEST(MeshCommand, ExtractsTheSurfaceAndLogsTheStatistics) {
  const std::string in = writeVolume("point.vol", false), out = temp("out.ply"), mc = temp("mc.obj");
  const MeshRun run = mesh({in, "-o", out, "--mc-mesh", mc});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "Flip candidates: 0")) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "Detailed cases statistics")) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "       56 cases 0")) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "        8 cases 1")) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "        0 cases 13.5.2")) << describe(run);

  const std::string ply = slurp(out);
  EXPECT_TRUE(hasLine(ply, "element vertex 6")) << ply;
  EXPECT_TRUE(hasLine(ply, "element face 8")) << ply;
  // Grid point (2, 2, 2) +- half a step, in file coordinates: p * 2 + (1, 2, 3).
  EXPECT_TRUE(hasLine(ply, "4.000000 6.000000 7.000000")) << ply;
  EXPECT_TRUE(hasLine(ply, "6.000000 6.000000 7.000000")) << ply;
  EXPECT_TRUE(hasLine(ply, "5.000000 6.000000 6.000000")) << ply;
  EXPECT_TRUE(hasLine(ply, "5.000000 7.000000 7.000000")) << ply;
  EXPECT_EQ(countPrefix(ply, "3 "), 8) << ply;

  // The Marching Cubes mesh in the format of its own extension.
  const std::string obj = slurp(mc);
  EXPECT_EQ(countPrefix(obj, "v "), 6) << obj;
  EXPECT_EQ(countPrefix(obj, "f "), 8) << obj;
  for (const std::string& path : {in, out, mc}) std::remove(path.c_str());
}

TEST(MeshCommand, KeepsVerticesThatNoPolygonUses) {
  // The edge towards the unmarked neighbour gets a vertex, but all four cubes around it are
  // skipped: 6 vertices, 4 triangles, nothing cleaned up.
  const std::string in = writeVolume("marked.vol", true), out = temp("out.obj");
  const MeshRun run = mesh({in, "-o", out, "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(run.Out, "") << "--quiet";
  const std::string obj = slurp(out);
  EXPECT_EQ(countPrefix(obj, "v "), 6) << obj;
  EXPECT_EQ(countPrefix(obj, "f "), 4) << obj;
  std::remove(in.c_str());
  std::remove(out.c_str());
}

TEST(MeshCommand, FormatOptionOverridesTheExtension) {
  const std::string in = writeVolume("fmt.vol", false), out = temp("out.txt");
  const MeshRun run = mesh({in, "-o", out, "--format", "ply", "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(slurp(out).rfind("ply\n", 0), 0u);
  std::remove(in.c_str());
  std::remove(out.c_str());
}

TEST(MeshCommand, RefusesWhatItCannotRead) {
  const std::string in = writeVolume("ok.vol", false), out = temp("out.ply");
  // Not a volume file name: usage error.
  MeshRun run = mesh({temp("mesh.ply"), "-o", out});
  EXPECT_EQ(run.Exit, 2) << describe(run);
  // A missing file: exit 1 with a message naming it.
  const std::string missing = temp("missing.vol");
  run = mesh({missing, "-o", out});
  EXPECT_EQ(run.Exit, 1) << describe(run);
  EXPECT_NE(run.Err.find(missing), std::string::npos) << describe(run);
  // A file that is not a volume: exit 1.
  const std::string junk = temp("junk.vol");
  std::ofstream(junk, std::ios::binary) << "VOLUME but not really";
  run = mesh({junk, "-o", out});
  EXPECT_EQ(run.Exit, 1) << describe(run);
  // An --mc-mesh name with no known format is refused before anything is written.
  run = mesh({in, "-o", out, "--mc-mesh", temp("mc.xyz")});
  EXPECT_EQ(run.Exit, 2) << describe(run);
  EXPECT_FALSE(exists(out));
  // -o is required.
  run = mesh({in});
  EXPECT_EQ(run.Exit, 2) << describe(run);
  for (const std::string& path : {in, junk, out}) std::remove(path.c_str());
}

}  // namespace
