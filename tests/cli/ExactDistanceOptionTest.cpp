// tessellor-cli voxelize and remesh with --exact-distance, run as a user would.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "volume/VolumeStorageDF.h"
#include "volume/VolumeStorageDF_IO.h"

namespace {

const std::string Joint = std::string(TESSELLOR_SHARED_DIR) + "/meshes/joint.ply";

struct CliRun {
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
  return ::testing::TempDir() + "tessellor_exact_" + test->name() + "_" + std::to_string(getpid()) + "_" + name;
}

CliRun cli(std::vector<std::string> args) {
  const std::string outPath = temp("stdout"), errPath = temp("stderr");
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
  CliRun run;
  if (WIFEXITED(status)) run.Exit = WEXITSTATUS(status);
  run.Out = slurp(outPath);
  run.Err = slurp(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return run;
}

std::string describe(const CliRun& run) {
  return "exit " + std::to_string(run.Exit) + "\nstdout:\n" + run.Out.substr(0, 3000) + "\nstderr:\n" + run.Err;
}

void readVolume(const std::string& path, VolumeStorageDF& volume) {
  VolumeStorageDF_IO io;
  io.setVolume(&volume);
  io.setFileName(path);
  io.read();
}

}  // namespace

TEST(ExactDistanceOption, ListedInTheHelpOfBothCommands) {
  for (const char* command : {"voxelize", "remesh"}) {
    const CliRun run = cli({command, "--help"});
    EXPECT_EQ(run.Exit, 0) << describe(run);
    EXPECT_NE(run.Out.find("--exact-distance"), std::string::npos) << command << "\n" << run.Out;
  }
}

// The same mesh voxelized in both modes: same sizes, frame and skip count; the log names the exact
// mode; every voxel with a value in the default mode has one in the exact mode, never larger in
// magnitude (the exact closest point of a triangle is never farther than the chosen point), and
// beside the joint's slanted edges many are smaller.
TEST(ExactDistanceOption, VoxelizeWritesTheExactField) {
  if (!exists(Joint)) GTEST_SKIP() << Joint << " is not available";
  const std::string plain = temp("plain.vol"), exact = temp("exact.vol");
  const CliRun a = cli({"voxelize", Joint, "-o", plain});
  const CliRun b = cli({"voxelize", Joint, "-o", exact, "--exact-distance"});
  ASSERT_EQ(a.Exit, 0) << describe(a);
  ASSERT_EQ(b.Exit, 0) << describe(b);
  EXPECT_EQ(a.Out.find("Distance mode"), std::string::npos) << "the default log is unchanged\n" << a.Out;
  EXPECT_NE(b.Out.find("Distance mode: exact\n"), std::string::npos) << b.Out;
  EXPECT_NE(b.Out.find(" 0 Polygons skipped"), std::string::npos) << b.Out;

  VolumeStorageDF p, e;
  readVolume(plain, p);
  readVolume(exact, e);
  ASSERT_EQ(p.getXSize(), e.getXSize());
  ASSERT_EQ(p.getYSize(), e.getYSize());
  ASSERT_EQ(p.getZSize(), e.getZSize());
  EXPECT_EQ(p.getScale(), e.getScale());
  EXPECT_EQ(p.getOffset()[0], e.getOffset()[0]);
  int smaller = 0, gained = 0;
  for (std::size_t i = 0; i < p.Voxels.size(); ++i) {
    const float dp = p.Voxels[i].Distance, de = e.Voxels[i].Distance;
    if (dp != NoValue) {
      ASSERT_NE(de, NoValue) << "voxel " << i;
      ASSERT_LE(std::fabs(de), std::fabs(dp) + 1e-5f) << "voxel " << i;
      if (std::fabs(de) < std::fabs(dp) - 1e-3f) ++smaller;
    } else if (de != NoValue) {
      ++gained;
    }
  }
  EXPECT_GT(smaller, 500) << "voxels nearer in the exact mode";
  EXPECT_GT(gained, 0) << "voxels that only the exact mode brings into the band";
  std::remove(plain.c_str());
  std::remove(exact.c_str());
}

// remesh --exact-distance on the joint at the default budget writes a closed, consistently
// oriented mesh of Euler characteristic -2 (genus 2).
TEST(ExactDistanceOption, RemeshWritesAClosedJoint) {
  if (!exists(Joint)) GTEST_SKIP() << Joint << " is not available";
  const std::string output = temp("joint.ply");
  const CliRun run = cli({"remesh", Joint, "-o", output, "--exact-distance", "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  PolygonStorage mesh;
  PolygonStorageImportPLY importer;
  importer.import(output, mesh);
  std::string problem;
  EXPECT_TRUE(postfixtures::closedAndOriented(mesh, &problem)) << problem;
  EXPECT_EQ(postfixtures::eulerCharacteristic(mesh), -2);
  std::remove(output.c_str());
}
