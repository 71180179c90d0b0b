// tessellor-cli remesh with several inputs (--output-dir): parallel files, failures confined to their
// own file, the same files and logs as one run per file.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "support/MeshFileWriters.h"
#include "support/TestFiles.h"
#include "support/TestMeshes.h"

#include <map>
#include <string>
#include <vector>

namespace {

// A sphere and a cube without its last face, as ASCII PLY text.
std::string meshText(const testmeshes::MeshData& m) { return meshfiles::plyAscii({m.Positions, m.Polygons}); }
const std::string Sphere = meshText(testmeshes::icosphere({0, 0, 0}, 1.0f, 2)),
                  OpenCube = meshText(testmeshes::allMeshes()[7]);

// The log without its "Duration: N ms" lines, which differ run to run.
std::string withoutDurations(const std::string& log) {
  std::string kept;
  for (const std::string& line : lines(log))
    if (line.rfind("Duration: ", 0) != 0) kept += line + "\n";
  return kept;
}

}  // namespace

// Two good meshes and a truncated one on two jobs: the good outputs are written and equal what a
// single run writes, the damaged file is reported and written nowhere, each file's log is one
// block equal to its single run's log, the table names every file, and the exit status is 1.
TEST(BatchRemesh, DamagedFileFailsAloneAndTheOthersMatchSingleRuns) {
  testfiles::ScratchDir inputs, outputs, singles;
  const std::vector<std::string> names = {"sphere", "open_cube", "damaged"};
  writeFile(inputs.file("sphere.ply"), Sphere);
  writeFile(inputs.file("open_cube.ply"), OpenCube);
  writeFile(inputs.file("damaged.ply"),
            "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
            "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0\n");
  const std::string outDir = outputs.file("out");

  std::vector<std::string> args = {"remesh"};
  for (const std::string& name : names) args.push_back(inputs.file(name + ".ply"));
  args.insert(args.end(), {"--output-dir", outDir, "--jobs", "2", "--format", "obj"});
  const CliRun batch = runCli(args);
  ASSERT_EQ(batch.Exit, 1) << describe(batch);
  EXPECT_TRUE(hasLine(batch.Err, "tessellor-cli: 1 of 3 files failed")) << describe(batch);
  EXPECT_NE(batch.Err.find(inputs.file("damaged.ply")), std::string::npos) << "names the damaged file";
  EXPECT_FALSE(fileExists(outDir + "/damaged.obj"));

  // The log is the single runs' logs one after another, in whichever order the files finished,
  // then the table: header and one row per file.
  std::map<std::string, std::string> singleLogs;
  for (const std::string& name : names) {
    const CliRun single = runCli({"remesh", inputs.file(name + ".ply"), "-o", singles.file(name + ".obj")});
    ASSERT_EQ(single.Exit, name == "damaged" ? 1 : 0) << describe(single);
    singleLogs[name] = withoutDurations(single.Out);
    if (name != "damaged") {
      EXPECT_EQ(readFile(outDir + "/" + name + ".obj"), readFile(singles.file(name + ".obj"))) << name;
    }
  }
  std::string log = withoutDurations(batch.Out);
  while (!singleLogs.empty()) {
    auto block = singleLogs.begin();
    while (block != singleLogs.end() && log.compare(0, block->second.size(), block->second) != 0) ++block;
    ASSERT_NE(block, singleLogs.end()) << "a file's log is not one block equal to its single run:\n" << log;
    log.erase(0, block->second.size());
    singleLogs.erase(block);
  }
  const std::vector<std::string> table = lines(log);
  ASSERT_EQ(table.size(), 4u) << log;
  for (std::size_t row = 1; row < table.size(); ++row) {
    const bool damaged = table[row].find("damaged.ply") != std::string::npos;
    EXPECT_NE(table[row].find(damaged ? " failed " : " ok "), std::string::npos) << table[row];
  }
}

// Command lines the batch form refuses before any work: status 2, no output folder made.
TEST(BatchRemesh, UsageErrors) {
  testfiles::ScratchDir scratch, other;
  const std::string sphere = scratch.file("sphere.ply");
  writeFile(sphere, Sphere);
  writeFile(other.file("sphere.ply"), Sphere);
  const std::string outDir = scratch.file("out");
  const std::vector<std::vector<std::string>> refused = {
      {sphere, sphere, "-o", scratch.file("x.ply")},                             // several inputs, one -o
      {sphere, "-o", scratch.file("x.ply"), "--output-dir", outDir},             // both outputs
      {sphere, "--output-dir", outDir, "--save-volume", scratch.file("v.vol")},  // one volume for many
      {sphere, other.file("sphere.ply"), "--output-dir", outDir},                // same output twice
      {sphere, "--output-dir", scratch.file("")},                                // output replaces input
      {sphere, "-o", scratch.file("x.ply"), "--jobs", "2"},                      // --jobs without a batch
      {sphere, "--output-dir", outDir, "--jobs", "0"},
  };
  for (std::vector<std::string> args : refused) {
    args.insert(args.begin(), "remesh");
    const CliRun run = runCli(args);
    EXPECT_EQ(run.Exit, 2) << describe(run);
    EXPECT_FALSE(fileExists(outDir)) << describe(run);
    EXPECT_FALSE(fileExists(scratch.file("x.ply")));
  }
}
