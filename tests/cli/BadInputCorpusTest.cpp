// Every malformed file we know of goes through the commands that read it: each run ends with exit
// status 0, or 1 and a message naming the file; never a crash, a hang or a large allocation.
#include <gtest/gtest.h>

#include "CliRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string CorpusDir = std::string(TESSELLOR_SOURCE_DIR) + "/tests/fuzz/corpus";
const std::string SharedBadPly = std::string(TESSELLOR_SHARED_DIR) + "/bad-inputs/ply";

// Memory a run may use: the commands hold a few small meshes and a volume of the given budget.
constexpr long long MaxResidentKiB = 512 * 1024;
constexpr int TimeoutSeconds = 30;

std::string scratchDir() {
  static const std::string dir = [] {
    std::string d = ::testing::TempDir() + "tessellor_badinput_" + std::to_string(getpid());
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

std::vector<fs::path> filesIn(const std::string& directory) {
  std::vector<fs::path> files;
  if (!fs::is_directory(directory)) return files;
  for (const auto& entry : fs::directory_iterator(directory))
    if (entry.is_regular_file() && entry.path().extension() != ".md") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// The input as a file of the given extension, so that the command reads it as that kind.
std::string asKind(const fs::path& file, const std::string& extension) {
  if (file.extension() == extension) return file.string();
  const std::string copy = scratchDir() + "/" + file.stem().string() + extension;
  fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
  return copy;
}

void expectCleanEnd(const std::vector<std::string>& args, const std::string& input) {
  CliLimits limits;
  limits.MemoryMiB = 1024;
  limits.TimeoutSeconds = TimeoutSeconds;
  const CliRun run = runCli(args, limits);
  std::string command;
  for (const std::string& arg : args) command += arg + " ";
  EXPECT_FALSE(run.TimedOut) << command;
  EXPECT_EQ(run.Signal, 0) << command << run.Err;
  EXPECT_TRUE(run.Exit == 0 || run.Exit == 1) << command << "exit " << run.Exit << "\n" << run.Err;
  if (run.Exit == 1) {
    EXPECT_NE(run.Err.find(input), std::string::npos) << command << run.Err;
    // Small files never need much memory: running out of it means a count drove an allocation.
    EXPECT_EQ(run.Err.find("memory"), std::string::npos) << command << run.Err;
  }
  EXPECT_LT(run.MaxResidentKiB, MaxResidentKiB) << command;
}

std::vector<fs::path> plyInputs() {
  std::vector<fs::path> files = filesIn(CorpusDir + "/ply");
  const std::vector<fs::path> shared = filesIn(SharedBadPly);
  files.insert(files.end(), shared.begin(), shared.end());
  return files;
}

TEST(BadInputCorpus, PlyFilesThroughInfoAndVoxelize) {
  const std::vector<fs::path> files = plyInputs();
  ASSERT_GT(files.size(), 40u);
  const std::string volume = scratchDir() + "/out.vol";
  for (const fs::path& file : files) {
    const std::string input = asKind(file, ".ply");
    expectCleanEnd({"info", input, "--quiet"}, input);
    expectCleanEnd({"voxelize", input, "-o", volume, "--max-voxels", "4000", "--features", "--quiet"}, input);
  }
}

TEST(BadInputCorpus, VolumeFilesThroughInfoAndMesh) {
  const std::vector<fs::path> files = filesIn(CorpusDir + "/volume");
  ASSERT_GT(files.size(), 40u);
  const std::string mesh = scratchDir() + "/out.ply";
  for (const fs::path& file : files) {
    const std::string input = asKind(file, ".vol");
    expectCleanEnd({"info", input}, input);
    expectCleanEnd({"mesh", input, "-o", mesh, "--quiet"}, input);
  }
}

TEST(BadInputCorpus, StlObjOffFilesThroughInfoConvertAndRemesh) {
  const std::string mesh = scratchDir() + "/out.ply";
  for (const std::string format : {"stl", "obj", "off"}) {
    const std::vector<fs::path> files = filesIn(CorpusDir + "/" + format);
    ASSERT_GT(files.size(), 5u) << format;
    for (const fs::path& file : files) {
      const std::string input = asKind(file, "." + format);
      expectCleanEnd({"info", input, "--quiet"}, input);
      expectCleanEnd({"convert", input, "-o", mesh, "--quiet"}, input);
      expectCleanEnd({"remesh", input, "-o", mesh, "--max-voxels", "4000", "--quiet"}, input);
    }
  }
}

TEST(BadInputCorpus, FilesOfTheOtherKindAreRefusedOrReadLikeAnyOther) {
  // A volume named .ply is text nonsense to the importer; a PLY named .vol has no "VOLUME".
  const std::string volume = scratchDir() + "/out.vol";
  const std::string mesh = scratchDir() + "/out.ply";
  for (const fs::path& file : filesIn(CorpusDir + "/volume")) {
    const std::string input = asKind(file, ".ply");
    expectCleanEnd({"info", input}, input);
    expectCleanEnd({"voxelize", input, "-o", volume, "--max-voxels", "4000", "--quiet"}, input);
  }
  for (const fs::path& file : filesIn(CorpusDir + "/ply")) {
    const std::string input = asKind(file, ".vol");
    CliLimits limits;
    limits.MemoryMiB = 1024;
    limits.TimeoutSeconds = TimeoutSeconds;
    const CliRun run = runCli({"mesh", input, "-o", mesh, "--quiet"}, limits);
    EXPECT_EQ(run.Exit, 1) << input << "\n" << run.Err;
    EXPECT_NE(run.Err.find(input + ": byte 0: "), std::string::npos) << run.Err;
  }
}

}  // namespace
