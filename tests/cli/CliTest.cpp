// The built tessellor-cli as a user runs it: info, convert, help, and every command line mistake.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "support/TestMeshes.h"
#include "tessellor/Tessellor.h"

#include <sys/stat.h>

#include <algorithm>

using namespace tessellor;

namespace {

const std::string DataDir = std::string(TESSELLOR_SOURCE_DIR) + "/tests/data/cli/";
const std::string Sample = DataDir + "sample.ply";

// tests/data/cli/sample.ply: a square pyramid (apex in four triangles, base corners in three
// polygons), a detached pentagon, a two-corner face that the import empties, an unused vertex.
const std::vector<std::string> SampleStatistics =
    testmeshes::statisticsBlock({1, 5, 0, 4, 1, 0, 0, 0, 0, 0}, {1, 0, 0, 4, 1, 1, 0, 0, 0, 0});

}  // namespace

TEST(CliInfo, MeshPrintsTheImportLogThenTheStatistics) {
  const CliRun run = runCli({"info", Sample});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(run.Err, "") << "no progress bar or diagnostics when standard error is no terminal";
  const std::vector<std::string> out = lines(run.Out);
  ASSERT_EQ(out.size(), 9u + SampleStatistics.size()) << run.Out;
  // The import's task frame, in file coordinates (no fitting).
  const std::vector<std::string> head{"--------------- begin ",
                                      "Importing",
                                      Sample,
                                      "Mesh Bounding Box (-1.5|-0.2|-1) - (2|2.25|3.75)",
                                      "Mesh Size (3.5|2.45|4.75)",
                                      "PolygonStorage::buildEdgeIndex",
                                      "PolygonStorage::buildEdgeIndex"};
  EXPECT_EQ(std::vector<std::string>(out.begin(), out.begin() + 7), head);
  EXPECT_EQ(out[7].rfind("Duration: ", 0), 0u);
  EXPECT_EQ(out[8], "--------------- end");
  EXPECT_EQ(std::vector<std::string>(out.begin() + 9, out.end()), SampleStatistics);
  const CliRun quiet = runCli({"info", "--quiet", Sample});
  EXPECT_EQ(lines(quiet.Out), SampleStatistics) << "--quiet leaves out the log, not the result";
  // Diagnostics go to standard error, the log to standard output.
  const std::string notPly = scratchPath("notply.ply");
  writeFile(notPly, "PLY\nelement vertex 3\nelement face 1\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
  const CliRun diagnosed = runCli({"info", notPly});
  ASSERT_EQ(diagnosed.Exit, 0) << describe(diagnosed);
  EXPECT_EQ(diagnosed.Err, "This is not a PLY file.\n");
  EXPECT_TRUE(hasLine(diagnosed.Out, " 1 with 3 edges"));
}

TEST(CliInfo, VolumePrintsSizesPlacementAndCountsOrRefusesWithTheByte) {
  // 3 x 2 x 2, two voxels without a distance, two with a feature.
  VolumeStorageDF volume;
  volume.resize(3, 2, 2);
  volume.clear();
  for (VoxelData& v : volume.Voxels) v.Distance = 0.5f;
  volume.Voxels[0].Distance = volume.Voxels[11].Distance = NoValue;
  volume.Voxels[1].FeatureType = 1;
  volume.Voxels[10].FeatureType = 2;
  volume.setScale(0.5f);
  volume.setOffset(1, -2, 0.25f);
  const std::string path = scratchPath("small.vol");
  writeVolume(path, volume);
  CliRun run = runCli({"info", path, "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(lines(run.Out), (std::vector<std::string>{"Volume Size 3 x 2 x 2", "Scale 0.5", "Offset (1|-2|0.25)",
                                                      "Voxels with distance: 10", "Voxels with feature: 2"}));
  const std::string good = readFile(path);
  const struct {
    std::string Bytes, Message;
  } damaged[] = {{good.substr(0, 100), "byte 97: read == 1"},
                 {good.substr(0, 6) + std::string(4, '\xff') + good.substr(10), "byte 6: isfinite(Scale)"},
                 {good.substr(0, good.size() - 1) + "X", "byte 238: strcmp(endtag,\"END\") == 0"}};
  for (const auto& d : damaged) {
    writeFile(path, d.Bytes);
    run = runCli({"info", path});
    EXPECT_EQ(run.Exit, 1) << describe(run);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, "tessellor-cli: " + path + ": " + d.Message + "\n");
  }
}

TEST(CliConvert, WritesTheFormatOfTheExtensionOrOptionByteForByte) {
  const std::string out = scratchPath("out");
  const struct {
    std::vector<std::string> Args;  // after "convert IN"
    std::string Output, Expected;
  } cases[] = {
      {{"-o", out + ".ply"}, out + ".ply", "sample.expected.ply"},
      {{"-o", out + ".obj", "--quiet"}, out + ".obj", "sample.expected.obj"},
      {{"-o", out + ".pc"}, out + ".pc", "sample.expected.pc"},
      {{"-o", out + ".OBJ"}, out + ".OBJ", "sample.expected.obj"},
      {{"--format", "pc", "-o", out + ".ply"}, out + ".ply", "sample.expected.pc"},
      {{"-o", out + ".txt", "--format=obj"}, out + ".txt", "sample.expected.obj"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"convert", Sample, "--raw"};  // every entry, in the specified number formats
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const CliRun run = runCli(args);
    ASSERT_EQ(run.Exit, 0) << c.Output << "\n" << describe(run);
    EXPECT_EQ(readFile(c.Output), readFile(DataDir + c.Expected)) << c.Output;
    const bool quiet = std::find(c.Args.begin(), c.Args.end(), "--quiet") != c.Args.end();
    EXPECT_EQ(run.Out.find("Importing") == std::string::npos, quiet) << "the import log unless --quiet";
  }
  // A bad input writes nothing: exit 1 and one line naming the file and the line.
  const std::string bad = scratchPath("bad.ply");
  writeFile(bad, "ply\nformat ascii 1.0\nelement vertex 3\nelement face 1\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n");
  const CliRun run = runCli({"convert", bad, "-o", out + "-never.ply"});
  EXPECT_EQ(run.Exit, 1) << describe(run);
  EXPECT_EQ(run.Err, "tessellor-cli: " + bad + ":9: vertex index 7 outside the vertex range 0..2\n");
  EXPECT_FALSE(fileExists(out + "-never.ply"));
}

TEST(CliUsage, MistakesOnTheCommandLineAreExitTwoAndWriteNothing) {
  const std::string out = scratchPath("never.ply"), vol = scratchPath("never.vol"), volume = scratchPath("v.vol");
  writeVolume(volume, VolumeStorageDF());
  const std::vector<std::vector<std::string>> mistakes = {
      {},
      {"frobnicate", Sample},
      {"info"},
      {"info", Sample, Sample},
      {"info", Sample, "--no-such-option"},
      {"convert", Sample},
      {"convert", Sample, "-o"},
      {"convert", Sample, "-o", scratchPath("never.stl")},
      {"convert", Sample, "-o", out, "--format", "stl"},
      {"convert", Sample, "-o", out, "--quiet=yes"},
      {"convert", volume, "-o", out},
      {"voxelize", Sample, "-o", vol, "--max-voxels", "0"},
      {"voxelize", Sample, "-o", vol, "--max-voxels", "lots"},
      {"voxelize", Sample, "-o", vol, "--max-voxels", "3000000000"},
      {"voxelize", Sample, "-o", vol, "--psi", "sharp"},
      {"voxelize", Sample, "-o", vol, "--mode", "fast"},
      {"voxelize", Sample, "-o", vol, "--mode", "robust", "--exact-distance"},
      {"voxelize", Sample, "-o", out},
      {"mesh", Sample, "-o", out},
      {"mesh", volume},
      {"mesh", volume, "-o", out, "--mc-mesh", scratchPath("mc.xyz")},
      {"mesh", volume, "-o", out, "--mc-mesh", out},
      {"remesh", Sample, "-o", out, "--max-voxels", "-5"},
      {"remesh", Sample, "-o", out, "--save-volume", scratchPath("volume.ply")},
      {"remesh", volume, "-o", out},
      {"remesh", Sample, "-o", scratchPath("out.xyz")},
  };
  for (const std::vector<std::string>& args : mistakes) {
    std::string shown;
    for (const std::string& arg : args) shown += arg + " ";
    const CliRun run = runCli(args);
    EXPECT_EQ(run.Exit, 2) << shown << "\n" << describe(run);
    EXPECT_EQ(run.Out, "") << shown;
    EXPECT_NE(run.Err.find("tessellor-cli"), std::string::npos) << shown;
  }
  EXPECT_FALSE(fileExists(out) || fileExists(vol)) << "a usage error wrote an output";
}

TEST(CliUsage, HelpAndVersionAreExitZero) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--help"},
                                             {"info", "--help"},
                                             {"convert", "x.ply", "-o", "y.stl", "--help"},
                                             {"voxelize", "--help"},
                                             {"remesh", "-h"}}) {
    const CliRun run = runCli(args);
    EXPECT_EQ(run.Exit, 0) << args[0] << "\n" << describe(run);
    EXPECT_EQ(run.Out.rfind("Usage: tessellor-cli", 0), 0u) << run.Out;
    EXPECT_EQ(run.Err, "");
    for (const char* command : {"  info ", "  convert ", "  mesh ", "  voxelize ", "  remesh "})
      EXPECT_TRUE(args[0] != "--help" || run.Out.find(command) != std::string::npos) << command;
    EXPECT_EQ(run.Out.find("[--mode classic|exact|robust]") != std::string::npos,
              args[0] == "voxelize" || args[0] == "remesh");
  }
  const CliRun version = runCli({"--version"});
  EXPECT_EQ(version.Out, std::string("tessellor-cli ") + tessellor::version() + "\n");
}
