// tessellor-cli remesh: the stages it runs, the files it writes and every refusal.
#include <gtest/gtest.h>

#include "CliRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/postprocess/MeshFixtures.h"
#include "volume/VolumeStorageDF.h"
#include "volume/VolumeStorageDF_IO.h"

using namespace tessellor;

namespace {

CliRun remesh(std::vector<std::string> args) {
  args.insert(args.begin(), "remesh");
  return runCli(args);
}

// Writes an ASCII PLY file of the given triangles.
void writePly(const std::string& path, const std::vector<V3>& positions, const std::vector<VertexIDList>& polygons) {
  std::ofstream out(path);
  out << "ply\nformat ascii 1.0\nelement vertex " << positions.size()
      << "\nproperty float x\nproperty float y\nproperty float z\nelement face " << polygons.size()
      << "\nproperty list uchar int vertex_indices\nend_header\n";
  for (const V3& p : positions) out << p.x << " " << p.y << " " << p.z << "\n";
  for (const VertexIDList& polygon : polygons) {
    out << polygon.size();
    for (int id : polygon) out << " " << id;
    out << "\n";
  }
}

// A torus of radii 2 and 0.7, shifted so that file coordinates differ from voxel coordinates.
std::string torusFile() {
  postfixtures::NamedMesh torus = postfixtures::torus(36, 18);
  for (V3& p : torus.Positions) {
    p.x += 10.0f;
    p.z -= 5.0f;
  }
  const std::string path = scratchPath("torus.ply");
  writePly(path, torus.Positions, torus.Polygons);
  return path;
}

}  // namespace

TEST(RemeshCommand, RunsEveryStageAndWritesTheOutputInFileCoordinates) {
  const std::string input = torusFile();
  const std::string output = scratchPath("out.obj");
  const std::string volume = scratchPath("volume.vol");
  const CliRun run = remesh({input, "-o", output, "--max-voxels", "30000", "--save-volume", volume});
  ASSERT_EQ(run.Exit, 0) << describe(run);

  std::size_t at = 0;
  for (const char* task : {"Importing", "Voxelization", "Marching", "Constructing Dual Surface",
                           "Reducing polygon degree", "Removing rhombus polygons", "Smoothing"}) {
    const std::size_t found = run.Out.find(std::string("\n") + task + "\n", at);
    ASSERT_NE(found, std::string::npos) << task << " missing or out of order\n" << describe(run);
    at = found + 1;
  }

  std::istringstream obj(readFile(output));
  std::string line;
  int vertices = 0, faces = 0;
  while (std::getline(obj, line)) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "v") {
      float x = 0, y = 0, z = 0;
      fields >> x >> y >> z;
      ++vertices;
      // Within the torus's box in the file's frame, give or take a voxel.
      EXPECT_NEAR(z, -5.0f, 0.85f) << line;
      EXPECT_GT(x, 10.0f - 2.85f) << line;
      EXPECT_LT(x, 10.0f + 2.85f) << line;
    } else if (kind == "f") {
      int corners = 0;
      std::string corner;
      while (fields >> corner) ++corners;
      ++faces;
      EXPECT_TRUE(corners == 3 || corners == 4) << line;
    }
  }
  EXPECT_GT(faces, 200);
  EXPECT_GT(vertices, 0);

  VolumeStorageDF read;
  VolumeStorageDF_IO io;
  io.setVolume(&read);
  io.setFileName(volume);
  ASSERT_NO_THROW(io.read());
  EXPECT_LE(static_cast<long long>(read.getXSize()) * read.getYSize() * read.getZSize(), 30000);
  EXPECT_GT(read.getXSize(), 5);
  std::remove(input.c_str());
  std::remove(output.c_str());
  std::remove(volume.c_str());
}

TEST(RemeshCommand, FormatOptionAndQuietLog) {
  const std::string input = torusFile();
  const std::string output = scratchPath("out.txt");
  const CliRun run = remesh({input, "-o", output, "--format", "ply", "--quiet", "--features", "--psi", "0.5"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(run.Out, "") << "--quiet silences the log";
  EXPECT_EQ(readFile(output).rfind("ply\n", 0), 0u) << "--format wins over the extension";
  std::remove(input.c_str());
  std::remove(output.c_str());
}

// A refused mesh writes nothing at all: neither the output nor the volume.
TEST(RemeshCommand, MeshThatCannotBeSizedIsRefusedAndNothingIsWritten) {
  const std::string input = scratchPath("flat.ply");
  writePly(input, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {1, 3, 2}});
  const std::string output = scratchPath("out.ply");
  const std::string volume = scratchPath("volume.vol");
  const CliRun run = remesh({input, "-o", output, "--save-volume", volume});
  EXPECT_EQ(run.Exit, 1) << describe(run);
  EXPECT_NE(run.Err, "");
  EXPECT_FALSE(fileExists(output));
  EXPECT_FALSE(fileExists(volume));
  std::remove(input.c_str());
}

TEST(RemeshCommand, UsageErrors) {
  const std::string input = torusFile();
  const std::string output = scratchPath("out.ply");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{input, "-o", output, "--max-voxels", "0"},
        std::vector<std::string>{input, "-o", output, "--max-voxels", "many"},
        std::vector<std::string>{input, "-o", output, "--save-volume", scratchPath("volume.ply")},
        std::vector<std::string>{scratchPath("volume.vol"), "-o", output}, std::vector<std::string>{input},
        std::vector<std::string>{input, "-o", scratchPath("out.xyz")}}) {
    const CliRun run = remesh(args);
    EXPECT_EQ(run.Exit, 2) << describe(run);
    EXPECT_FALSE(fileExists(output));
  }
  const CliRun missing = remesh({scratchPath("missing.ply"), "-o", output});
  EXPECT_EQ(missing.Exit, 1) << describe(missing);
  EXPECT_NE(missing.Err.find("missing.ply"), std::string::npos) << "names the file";
  EXPECT_FALSE(fileExists(output));
  std::remove(input.c_str());
}

TEST(RemeshCommand, CtrlCStopsCleanlyWithoutAnOutputFile) {
  const std::string input = torusFile();
  const std::string output = scratchPath("stopped.ply");
  CliLimits limits;
  limits.InterruptWhenOut = "--------------- end";  // the input is read; the remesh has begun
  const CliRun run = runCli({"remesh", input, "-o", output, "--max-voxels", "5000000"}, limits);
  EXPECT_EQ(run.Exit, 130) << describe(run);
  EXPECT_EQ(run.Signal, 0) << "stopped by the program, not killed by the signal";
  EXPECT_NE(run.Err.find("Cancelled"), std::string::npos) << run.Err;
  EXPECT_FALSE(fileExists(output)) << "no output file";
}
