// End-to-end tests of the command line: output, exit status and messages of the built binary.
#include <gtest/gtest.h>

#include "CliRunner.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

CliLimits timeLimit(int seconds) {
  CliLimits limits;
  limits.TimeoutSeconds = seconds;
  return limits;
}

const std::string DataDir = std::string(TESSELLOR_SOURCE_DIR) + "/tests/data";

std::vector<std::string> directoryEntries(const std::string& directory) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(directory.c_str())) {
    while (dirent* entry = readdir(dir))
      if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.emplace_back(entry->d_name);
    closedir(dir);
  }
  return names;
}

// "Duration: N ms" with N a decimal number.
bool isDurationLine(const std::string& line) {
  const std::string head = "Duration: ", tail = " ms";
  if (line.size() <= head.size() + tail.size() || line.compare(0, head.size(), head) != 0 ||
      line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  for (std::size_t i = head.size(); i < line.size() - tail.size(); ++i)
    if (line[i] < '0' || line[i] > '9') return false;
  return true;
}

// True when text holds ":<digits>: ", a line number in a message.
bool hasLineNumber(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ':') continue;
    std::size_t j = i + 1;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
    if (j > i + 1 && text.compare(j, 2, ": ") == 0) return true;
  }
  return false;
}

bool sharedPresent() {
  struct stat info;
  return stat((std::string(TESSELLOR_SHARED_DIR) + "/bad-inputs/ply").c_str(), &info) == 0;
}

// The statistics block of tests/data/cli/sample.ply: a square pyramid (apex in four triangles,
// base corners in three polygons), a detached pentagon, a two-corner face that the import
// empties and takes out of the vertex index, and one unused vertex.
const std::vector<std::string> SampleStatistics = {"------ Polygon Storage Statistics -------- begin",
                                                   "Vertex grad statistics",
                                                   " 1 grad 0",
                                                   " 5 grad 1",
                                                   " 0 grad 2",
                                                   " 4 grad 3",
                                                   " 1 grad 4",
                                                   " 0 grad 5",
                                                   " 0 grad 6",
                                                   " 0 grad 7",
                                                   " 0 grad 8",
                                                   " 0 grad >=9",
                                                   "Total vertices: 11",
                                                   "Polygon edge statistics",
                                                   " 1 with 0 edges",
                                                   " 0 with 1 edges",
                                                   " 0 with 2 edges",
                                                   " 4 with 3 edges",
                                                   " 1 with 4 edges",
                                                   " 1 with 5 edges",
                                                   " 0 with 6 edges",
                                                   " 0 with 7 edges",
                                                   " 0 with 8 edges",
                                                   " 0 with >=9 edges",
                                                   "Total : 7",
                                                   "------ Polygon Storage Statistics -------- end"};

}  // namespace

// --- info

TEST(CliInfo, MeshPrintsTheImportLogThenTheStatistics) {
  const std::string input = DataDir + "/cli/sample.ply";
  const CliRun run = runCli({"info", input});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(run.Err, "") << "no progress bar or diagnostics when standard error is no terminal";
  const std::vector<std::string> out = lines(run.Out);
  ASSERT_GE(out.size(), 9u + SampleStatistics.size()) << run.Out;
  // The import's task frame, with file coordinates (no fitting).
  EXPECT_EQ(out[0], "--------------- begin ");
  EXPECT_EQ(out[1], "Importing");
  EXPECT_EQ(out[2], input);
  EXPECT_EQ(out[3], "Mesh Bounding Box (-1.5|-0.2|-1) - (2|2.25|3.75)");
  EXPECT_EQ(out[4], "Mesh Size (3.5|2.45|4.75)");
  const std::size_t statsBegin = out.size() - SampleStatistics.size();
  EXPECT_TRUE(isDurationLine(out[statsBegin - 2])) << out[statsBegin - 2];
  EXPECT_EQ(out[statsBegin - 1], "--------------- end");
  for (std::size_t i = 5; i + 2 < statsBegin; ++i) EXPECT_EQ(out[i], "PolygonStorage::buildEdgeIndex");
  EXPECT_EQ(std::vector<std::string>(out.begin() + static_cast<long>(statsBegin), out.end()), SampleStatistics);
}

TEST(CliInfo, QuietLeavesOutTheLogButNotTheStatistics) {
  const CliRun run = runCli({"info", "--quiet", DataDir + "/cli/sample.ply"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(lines(run.Out), SampleStatistics);
}

TEST(CliInfo, VolumePrintsSizesPlacementAndCounts) {
  CliRun run = runCli({"info", DataDir + "/volumes/small.vol"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(lines(run.Out), (std::vector<std::string>{"Volume Size 3 x 2 x 2", "Scale 0.5", "Offset (1|-2|0.25)",
                                                      "Voxels with distance: 10", "Voxels with feature: 2"}));
  EXPECT_EQ(run.Err, "");

  run = runCli({"info", DataDir + "/volumes/empty.vol", "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(lines(run.Out), (std::vector<std::string>{"Volume Size 4 x 0 x 3", "Scale 1", "Offset (0|0|0)",
                                                      "Voxels with distance: 0", "Voxels with feature: 0"}));
}

TEST(CliInfo, DamagedVolumeIsExitOneWithFileAndByteOffset) {
  const std::string good = readFile(DataDir + "/volumes/small.vol");
  ASSERT_EQ(good.size(), 37u + 17u * 12u);
  struct Case {
    std::string Name;
    std::string Bytes;
    std::string Message;
  };
  std::string wrongTag = good;
  wrongTag[good.size() - 1] = 'X';
  std::string wrongHeader = good;
  wrongHeader[0] = 'W';
  std::string huge = good;
  huge[24] = 0x7f;  // XSize 3 + 0x7f << 16: more records than the file holds
  const std::vector<Case> cases = {
      {"truncated.vol", good.substr(0, 100), "byte 97: read == 1"},
      {"wrongtag.vol", wrongTag, "byte 238: strcmp(endtag,\"END\") == 0"},
      {"wrongheader.vol", wrongHeader, "byte 0: strcmp(header,\"VOLUME\") == 0"},
      {"huge.vol", huge, "read == 1"},
  };
  for (const Case& c : cases) {
    const std::string path = scratchPath(c.Name);
    writeFile(path, c.Bytes);
    const CliRun run = runCli({"info", path});
    EXPECT_EQ(run.Exit, 1) << c.Name << "\n" << describe(run);
    EXPECT_EQ(run.Out, "") << c.Name;
    const std::vector<std::string> err = lines(run.Err);
    ASSERT_EQ(err.size(), 1u) << c.Name << ": one line\n" << run.Err;
    EXPECT_NE(err[0].find(path), std::string::npos) << err[0];
    EXPECT_NE(err[0].find(c.Message), std::string::npos) << err[0];
    std::remove(path.c_str());
  }
}

TEST(CliInfo, DiagnosticsGoToStandardErrorAndTheLogToStandardOutput) {
  const std::string path = scratchPath("notply.ply");
  writeFile(path,
            "PLY\nformat ascii 1.0\nelement vertex 3\nelement face 1\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
  const CliRun run = runCli({"info", path});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_NE(run.Err.find("This is not a PLY file."), std::string::npos) << run.Err;
  EXPECT_EQ(run.Out.find("This is not a PLY file."), std::string::npos);
  EXPECT_NE(run.Out.find(" 1 with 3 edges"), std::string::npos);
  std::remove(path.c_str());
}

TEST(CliInfo, EveryMalformedPlyIsImportedOrRefusedWithFileAndLine) {
  if (!sharedPresent()) GTEST_SKIP() << "../shared/bad-inputs is not present";
  const std::string directory = std::string(TESSELLOR_SHARED_DIR) + "/bad-inputs/ply";
  std::vector<std::string> names = directoryEntries(directory);
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) {
    const std::string path = directory + "/" + name;
    const CliRun run = runCli({"info", path}, timeLimit(20));
    ASSERT_FALSE(run.TimedOut) << name << " hangs";
    ASSERT_EQ(run.Signal, 0) << name << " crashes\n" << describe(run);
    ASSERT_TRUE(run.Exit == 0 || run.Exit == 1) << name << "\n" << describe(run);
    if (run.Exit == 0) {
      EXPECT_NE(run.Out.find("------ Polygon Storage Statistics -------- end"), std::string::npos) << name;
      continue;
    }
    const std::vector<std::string> err = lines(run.Err);
    ASSERT_FALSE(err.empty()) << name;
    // The last line is the one message; diagnostics ("This is not a PLY file.") may precede it.
    EXPECT_EQ(err.back().rfind("tessellor-cli: " + path + ":", 0), 0u) << name << ": " << err.back();
    EXPECT_TRUE(hasLineNumber(err.back()) || err.back().find(": byte ") != std::string::npos)
        << name << ": no line or byte in " << err.back();
    EXPECT_EQ(err.back().find("out of memory"), std::string::npos) << name << " allocates for a count it does not back";
    EXPECT_EQ(run.Out.find("Polygon Storage Statistics"), std::string::npos) << name;
  }
}

// --- convert

TEST(CliConvert, WritesEachFormatByteForByte) {
  const std::string input = DataDir + "/cli/sample.ply";
  struct Case {
    std::vector<std::string> Args;  // after "convert IN"
    std::string Output;
    std::string Expected;
  };
  const std::string out = scratchPath("out");
  const std::vector<Case> cases = {
      {{"-o", out + ".ply"}, out + ".ply", "sample.expected.ply"},
      {{"-o", out + ".obj"}, out + ".obj", "sample.expected.obj"},
      {{"-o", out + ".pc"}, out + ".pc", "sample.expected.pc"},
      {{"-o", out + ".OBJ"}, out + ".OBJ", "sample.expected.obj"},
      // --format wins over the extension.
      {{"--format", "pc", "-o", out + ".ply"}, out + ".ply", "sample.expected.pc"},
      {{"-o", out + ".txt", "--format=obj"}, out + ".txt", "sample.expected.obj"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"convert", input};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const CliRun run = runCli(args);
    ASSERT_EQ(run.Exit, 0) << c.Output << "\n" << describe(run);
    EXPECT_EQ(readFile(c.Output), readFile(DataDir + "/cli/" + c.Expected)) << c.Output;
    EXPECT_NE(run.Out.find("Importing"), std::string::npos) << "the import log is printed";
    std::remove(c.Output.c_str());
  }
}

TEST(CliConvert, QuietPrintsNothing) {
  const std::string out = scratchPath("quiet.obj");
  const CliRun run = runCli({"convert", DataDir + "/cli/sample.ply", "-o", out, "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(readFile(out), readFile(DataDir + "/cli/sample.expected.obj"));
  std::remove(out.c_str());
}

TEST(CliConvert, FailedWriteLeavesTheExistingOutputUntouched) {
  const std::string directory = scratchPath("dir");
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  const std::string out = directory + "/kept.obj";
  writeFile(out, "previous contents\n");
  // The bundled sample's OBJ is some 400 kB; a 16 kB file-size limit fails the write part-way.
  CliLimits limits;
  limits.FileSize = 16 * 1024;
  const CliRun run =
      runCli({"convert", std::string(TESSELLOR_SOURCE_DIR) + "/examples/fandisk.ply", "-o", out}, limits);
  EXPECT_EQ(run.Exit, 1) << describe(run);
  const std::vector<std::string> err = lines(run.Err);
  ASSERT_EQ(err.size(), 1u) << run.Err;
  EXPECT_NE(err[0].find(out), std::string::npos) << err[0];
  EXPECT_EQ(readFile(out), "previous contents\n");
  EXPECT_EQ(directoryEntries(directory), std::vector<std::string>{"kept.obj"}) << "temporary file left behind";

  // A bad input writes nothing either.
  const std::string bad = directory + "/bad.ply";
  writeFile(bad, "ply\nformat ascii 1.0\nelement vertex 3\nelement face 1\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n");
  const CliRun refused = runCli({"convert", bad, "-o", out});
  EXPECT_EQ(refused.Exit, 1) << describe(refused);
  EXPECT_NE(refused.Err.find(bad + ":9:"), std::string::npos) << refused.Err;
  EXPECT_EQ(readFile(out), "previous contents\n");

  // An output in a directory that does not exist.
  const std::string missing = directory + "/no/such/dir/out.ply";
  const CliRun uncreatable = runCli({"convert", DataDir + "/cli/sample.ply", "-o", missing});
  EXPECT_EQ(uncreatable.Exit, 1) << describe(uncreatable);
  EXPECT_NE(uncreatable.Err.find(missing), std::string::npos) << uncreatable.Err;

  std::remove(bad.c_str());
  std::remove(out.c_str());
  rmdir(directory.c_str());
}

// --- usage

TEST(CliUsage, MistakesOnTheCommandLineAreExitTwo) {
  const std::string sample = DataDir + "/cli/sample.ply";
  const std::string out = scratchPath("never.ply");
  const std::vector<std::vector<std::string>> mistakes = {
      {},
      {"frobnicate", sample},
      {"info"},
      {"info", sample, sample},
      {"info", sample, "--no-such-option"},
      {"info", sample, "-o"},
      {"convert", sample},
      {"convert", sample, "-o"},
      {"convert", sample, "-o", scratchPath("never.stl")},
      {"convert", sample, "-o", out, "--format", "stl"},
      {"convert", sample, "-o", out, "--quiet=yes"},
      {"convert", DataDir + "/volumes/small.vol", "-o", out},
  };
  for (const std::vector<std::string>& args : mistakes) {
    std::string shown;
    for (const std::string& arg : args) shown += arg + " ";
    const CliRun run = runCli(args);
    EXPECT_EQ(run.Exit, 2) << shown << "\n" << describe(run);
    EXPECT_EQ(run.Out, "") << shown;
    EXPECT_NE(run.Err.find("tessellor-cli"), std::string::npos) << shown;
  }
  struct stat info;
  EXPECT_NE(stat(out.c_str(), &info), 0) << "a usage error wrote the output";
}

TEST(CliUsage, HelpOnEveryCommandIsExitZero) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"info", "--help"}, {"convert", "--help"}, {"convert", "x.ply", "-o", "y.stl", "--help"}}) {
    const CliRun run = runCli(args);
    EXPECT_EQ(run.Exit, 0) << args[0] << "\n" << describe(run);
    EXPECT_EQ(run.Out.rfind("Usage: tessellor-cli", 0), 0u) << run.Out;
    EXPECT_EQ(run.Err, "");
  }
  const CliRun overview = runCli({"--help"});
  EXPECT_NE(overview.Out.find("  info "), std::string::npos);
  EXPECT_NE(overview.Out.find("  convert "), std::string::npos);
}
