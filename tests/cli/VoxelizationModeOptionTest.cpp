// tessellor-cli voxelize and remesh with --mode and --exact-distance, run as a user would.
#include <gtest/gtest.h>

#include "CliRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "volume/VolumeStorageDF.h"
#include "volume/VolumeStorageDF_IO.h"

using namespace tessellor;

namespace {

const std::string Joint = std::string(TESSELLOR_SHARED_DIR) + "/meshes/joint.ply";
const std::string OpenCube = std::string(TESSELLOR_SHARED_DIR) + "/meshes/open_cube.ply";

void readVolume(const std::string& path, VolumeStorageDF& volume) {
  VolumeStorageDF_IO io;
  io.setVolume(&volume);
  io.setFileName(path);
  io.read();
}

}  // namespace

TEST(VoxelizationModeOption, ListedInTheHelpOfBothCommandsAndCheckedBeforeAnyWork) {
  for (const char* command : {"voxelize", "remesh"}) {
    const CliRun run = runCli({command, "--help"});
    EXPECT_EQ(run.Exit, 0) << describe(run);
    EXPECT_NE(run.Out.find("[--mode classic|exact|robust]"), std::string::npos) << command << "\n" << run.Out;
    EXPECT_NE(run.Out.find("--exact-distance"), std::string::npos) << command << "\n" << run.Out;
    for (std::vector<std::string> wrong : {std::vector<std::string>{"--mode", "fast"},
                                           std::vector<std::string>{"--mode", "robust", "--exact-distance"}}) {
      const std::string never = scratchPath(std::string("never.") + (command[0] == 'v' ? "vol" : "ply"));
      std::vector<std::string> args{command, Joint, "-o", never};
      args.insert(args.end(), wrong.begin(), wrong.end());
      const CliRun refused = runCli(args);
      EXPECT_EQ(refused.Exit, 2) << describe(refused);
      EXPECT_NE(refused.Err.find("mode"), std::string::npos) << refused.Err;
      EXPECT_FALSE(fileExists(never));
    }
  }
}

// The same mesh voxelized in both modes: same sizes, frame and skip count; the log names the exact
// mode; every voxel with a value in the default mode has one in the exact mode, never larger in
// magnitude (the exact closest point of a triangle is never farther than the chosen point), and
// beside the joint's slanted edges many are smaller.
TEST(VoxelizationModeOption, VoxelizeWritesTheExactField) {
  if (!fileExists(Joint)) GTEST_SKIP() << Joint << " is not available";
  const std::string plain = scratchPath("plain.vol"), exact = scratchPath("exact.vol"), mode = scratchPath("mode.vol");
  const CliRun a = runCli({"voxelize", Joint, "-o", plain, "--mode", "classic"});
  const CliRun b = runCli({"voxelize", Joint, "-o", exact, "--exact-distance"});
  const CliRun c = runCli({"voxelize", Joint, "-o", mode, "--mode=exact", "--exact-distance"});
  ASSERT_EQ(a.Exit, 0) << describe(a);
  ASSERT_EQ(b.Exit, 0) << describe(b);
  ASSERT_EQ(c.Exit, 0) << describe(c);
  EXPECT_EQ(readFile(mode), readFile(exact)) << "--exact-distance is --mode exact";
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
  std::remove(mode.c_str());
}

// remesh --exact-distance on the joint at the default budget writes a closed, consistently
// oriented mesh of Euler characteristic -2 (genus 2).
TEST(VoxelizationModeOption, RemeshWritesAClosedJoint) {
  if (!fileExists(Joint)) GTEST_SKIP() << Joint << " is not available";
  const std::string output = scratchPath("joint.ply");
  const CliRun run = runCli({"remesh", Joint, "-o", output, "--exact-distance", "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  PolygonStorage mesh;
  PolygonStorageImportPLY importer;
  importer.import(output, mesh);
  std::string problem;
  EXPECT_TRUE(postfixtures::closedAndOriented(mesh, &problem)) << problem;
  EXPECT_EQ(postfixtures::eulerCharacteristic(mesh), -2);
  std::remove(output.c_str());
}

// An output that is not closed is written (status 0), with a log line and a warning on standard
// error that count its open edges.
TEST(VoxelizationModeOption, OpenOutputIsWrittenWithAWarning) {
  if (!fileExists(OpenCube)) GTEST_SKIP() << OpenCube << " is not available";
  const std::string output = scratchPath("open.ply");
  const CliRun run = runCli({"remesh", OpenCube, "-o", output});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_TRUE(fileExists(output));
  EXPECT_NE(run.Out.find("\nOutput mesh not closed: "), std::string::npos) << run.Out;
  const std::string warning = "tessellor-cli: warning: " + output + ": the output mesh is not closed (";
  const std::size_t at = run.Err.find(warning);
  ASSERT_NE(at, std::string::npos) << run.Err;
  EXPECT_GT(std::atoi(run.Err.c_str() + at + warning.size()), 0) << run.Err;
  std::remove(output.c_str());
}
