// tessellor-cli voxelize: the log, the volume file it writes and every refusal.
#include <gtest/gtest.h>

#include "CliRunner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "volume/VolumeStorageDF.h"
#include "volume/VolumeStorageDF_IO.h"

using namespace tessellor;

namespace {

// memoryLimit in MiB (0: none).
CliRun voxelize(std::vector<std::string> args, long memoryLimit = 0) {
  args.insert(args.begin(), "voxelize");
  CliLimits limits;
  limits.MemoryMiB = memoryLimit;
  return runCli(args, limits);
}

// An ASCII PLY file from vertices and faces.
std::string ply(const std::vector<std::vector<float>>& vertices, const std::vector<std::vector<int>>& faces) {
  std::ostringstream out;
  out << "ply\nformat ascii 1.0\nelement vertex " << vertices.size()
      << "\nproperty float x\nproperty float y\nproperty float z\nelement face " << faces.size()
      << "\nproperty list uchar int vertex_indices\nend_header\n";
  for (const auto& v : vertices) out << v[0] << " " << v[1] << " " << v[2] << "\n";
  for (const auto& f : faces) {
    out << f.size();
    for (int id : f) out << " " << id;
    out << "\n";
  }
  return out.str();
}

std::string writePly(const std::string& name, const std::string& text) {
  const std::string path = scratchPath(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// Regular octahedron of radius 3 around (10, -4, 7), outward oriented.
std::string octahedron() {
  return ply({{13, -4, 7}, {7, -4, 7}, {10, -1, 7}, {10, -7, 7}, {10, -4, 10}, {10, -4, 4}},
             {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}});
}

std::string box(float sx, float sy, float sz, bool quads) {
  std::vector<std::vector<float>> v;
  for (int i = 0; i < 8; ++i) v.push_back({(i & 1) ? sx : 0.0f, (i & 2) ? sy : 0.0f, (i & 4) ? sz : 0.0f});
  const int q[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  std::vector<std::vector<int>> f;
  for (const auto& r : q) {
    if (quads) {
      f.push_back({r[0], r[1], r[2], r[3]});
    } else {
      f.push_back({r[0], r[1], r[2]});
      f.push_back({r[0], r[2], r[3]});
    }
  }
  return ply(v, f);
}

VolumeStorageDF readVolume(const std::string& path) {
  VolumeStorageDF volume;
  VolumeStorageDF_IO io;
  io.setVolume(&volume);
  io.setFileName(path);
  io.read();
  return volume;
}

}  // namespace

TEST(VoxelizeCommand, OctahedronLogAndVolume) {
  const std::string in = writePly("octa.ply", octahedron()), out = scratchPath("octa.vol");
  const CliRun run = voxelize({in, "-o", out});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  const std::vector<std::string> log = lines(run.Out);
  // The import frame, the sizing line, then the voxelization frame of the default (robust) mode.
  std::size_t size = 0;
  while (size < log.size() && log[size] != "Volume Size 46 x 46 x 46") ++size;
  ASSERT_LT(size + 7, log.size()) << describe(run);
  EXPECT_EQ(log[0], "--------------- begin ");
  EXPECT_EQ(log[1], "Importing");
  EXPECT_EQ(log[size - 1], "--------------- end");
  EXPECT_EQ(log[size + 1], "--------------- begin ");
  EXPECT_EQ(log[size + 2], "Voxelization");
  EXPECT_EQ(log[size + 3], "Distance mode: robust");
  EXPECT_EQ(log[size + 4], "Triangles: 8, pieces: 1 (closed 1, cavities 0), turned: 0");
  EXPECT_EQ(log[size + 5], " 0 Polygons skipped");
  EXPECT_EQ(log[size + 6].rfind("Duration: ", 0), 0u);
  EXPECT_EQ(log[size + 7], "--------------- end");
  EXPECT_EQ(run.Out.find("Sharp features"), std::string::npos) << "features are off by default";

  const VolumeStorageDF volume = readVolume(out);
  ASSERT_EQ(volume.XSize, 46);
  ASSERT_EQ(volume.ZSize, 46);
  // Fitted into 46 the mesh spans 1.5 .. 43.5: the centre (10, -4, 7) is at (22.5, 22.5, 22.5).
  EXPECT_NEAR(22.5 * volume.Scale + volume.Offset[0], 10.0, 1e-4);
  EXPECT_NEAR(22.5 * volume.Scale + volume.Offset[1], -4.0, 1e-4);
  EXPECT_NEAR(22.5 * volume.Scale + volume.Offset[2], 7.0, 1e-4);
  EXPECT_NEAR(volume.Scale, 6.0 / 42.0, 1e-6);
  int inside = 0, outside = 0, none = 0;
  for (const VoxelData& v : volume.Voxels) {
    if (v.Distance == NoValue) {
      ++none;
      continue;
    }
    ASSERT_LT(std::fabs(v.Distance), 1.9f);
    ASSERT_EQ(v.FeatureType, 0);
    (v.Distance < 0 ? inside : outside)++;
  }
  EXPECT_GT(inside, 1000);
  EXPECT_GT(outside, 1000);
  EXPECT_GT(none, 46 * 46 * 46 / 2);
  // The corner (13, -4, 7) lies at (43.5, 22.5, 22.5): lattice point (44, 22, 22) is outside,
  // sqrt(0.75) away; (43, 22, 22) is outside the face x - y - z = 21 (grid frame around the
  // centre) by 0.5 / sqrt(3), and (42, 22, 22) inside by as much.
  EXPECT_NEAR(volume.Voxels[volume.index(44, 22, 22)].Distance, std::sqrt(0.75), 1e-5);
  EXPECT_NEAR(volume.Voxels[volume.index(43, 22, 22)].Distance, 0.5 / std::sqrt(3.0), 1e-5);
  EXPECT_NEAR(volume.Voxels[volume.index(42, 22, 22)].Distance, -0.5 / std::sqrt(3.0), 1e-5);
  std::remove(in.c_str());
  std::remove(out.c_str());
}

TEST(VoxelizeCommand, BudgetFeaturesAndThreshold) {
  const std::string in = writePly("octa.ply", octahedron()), out = scratchPath("octa.vol");
  CliRun run = voxelize({in, "-o", out, "--max-voxels", "8000", "--features", "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(run.Out, "") << "--quiet";
  VolumeStorageDF volume = readVolume(out);
  EXPECT_EQ(volume.XSize, 20);
  int features = 0;
  for (const VoxelData& v : volume.Voxels) features += v.FeatureType != 0;
  EXPECT_EQ(features, 0) << "octahedron creases have |cos| 1/3, above the default 0.3";

  run = voxelize({in, "-o", out, "--max-voxels=8000", "--features", "--psi", "0.34"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_NE(run.Out.find("Volume Size 20 x 20 x 20\n"), std::string::npos);
  EXPECT_NE(run.Out.find("--------------- begin \nSharp features\nDuration: "), std::string::npos) << run.Out;
  volume = readVolume(out);
  int corners = 0, edges = 0;
  for (const VoxelData& v : volume.Voxels) {
    corners += v.FeatureType == 2;
    edges += v.FeatureType == 1;
    if (v.FeatureType != 0) {
      for (float o : v.FeatureOffset) ASSERT_LE(std::fabs(o), 0.7f);
    } else {
      ASSERT_EQ(v.FeatureOffset[0], NoValue);
    }
  }
  EXPECT_GE(corners, 1);
  EXPECT_GT(edges, 30);
  std::remove(in.c_str());
  std::remove(out.c_str());
}

// A box of quads: the default (robust) mode triangulates it; the triangle modes refuse it with a
// pointer to the robust mode and write nothing.
TEST(VoxelizeCommand, QuadsOnlyAreTriangulatedOrRefused) {
  const std::string in = writePly("quads.ply", box(1, 1, 1, true)), out = scratchPath("quads.vol");
  CliRun run = voxelize({in, "-o", out});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_NE(run.Out.find("\n 0 Polygons skipped\n"), std::string::npos) << run.Out;
  const VolumeStorageDF volume = readVolume(out);
  ASSERT_EQ(volume.Voxels.size(), 46u * 46u * 46u);
  int inside = 0, outside = 0;
  for (const VoxelData& v : volume.Voxels)
    if (v.Distance != NoValue) (v.Distance < 0 ? inside : outside)++;
  EXPECT_GT(inside, 1000);
  EXPECT_GT(outside, 1000);
  std::remove(out.c_str());
  for (const char* mode : {"classic", "exact"}) {
    run = voxelize({in, "-o", out, "--mode", mode});
    EXPECT_EQ(run.Exit, 1) << describe(run);
    EXPECT_NE(run.Err.find("--mode robust"), std::string::npos) << run.Err;
    EXPECT_FALSE(fileExists(out)) << mode;
  }
  std::remove(in.c_str());
}

TEST(VoxelizeCommand, UsageErrors) {
  const std::string in = writePly("octa.ply", octahedron()), out = scratchPath("never.vol");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {in, "-o", out, "--max-voxels", "0"},
           {in, "-o", out, "--max-voxels", "-5"},
           {in, "-o", out, "--max-voxels", "lots"},
           {in, "-o", out, "--max-voxels", "3000000000"},
           {in, "-o", out, "--psi", "sharp"},
           {in},
           {in, "-o", scratchPath("out.ply")},
       }) {
    const CliRun run = voxelize(args);
    EXPECT_EQ(run.Exit, 2) << describe(run);
    EXPECT_FALSE(fileExists(out));
  }
  std::remove(in.c_str());
}

// Every refusal: exit status 1, one message, no output file, and an existing one left alone.
TEST(VoxelizeCommand, MeshesThatCannotBeVoxelizedAreRefused) {
  struct Case {
    std::string Name, Ply, Message;
  };
  const std::vector<Case> cases = {
      {"flat", ply({{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}, {{0, 1, 2}}), "no extent along z"},
      {"point", ply({{2, 2, 2}}, {}), "no extent along x"},
      {"empty", ply({}, {}), "no vertices"},
      {"thin", box(46, 46, 1, false), "only 3 voxels along z"},
      {"needle", box(1000, 1e-3f, 1e-3f, false), "along y"},
  };
  for (const Case& c : cases) {
    const std::string in = writePly(c.Name + ".ply", c.Ply), out = scratchPath(c.Name + ".vol");
    std::ofstream(out) << "keep";
    const CliRun run = voxelize({in, "-o", out});
    EXPECT_EQ(run.Exit, 1) << c.Name << "\n" << describe(run);
    EXPECT_NE(run.Err.find(c.Message), std::string::npos) << c.Name << "\n" << describe(run);
    EXPECT_EQ(readFile(out), "keep") << c.Name;
    std::remove(in.c_str());
    std::remove(out.c_str());
  }
  // The thin box names the budget that gives its thin axis 5 voxels, and that budget works.
  const std::string in = writePly("thin.ply", box(46, 46, 1, false)), out = scratchPath("thin.vol");
  CliRun run = voxelize({in, "-o", out});
  const std::size_t at = run.Err.find("a voxel budget of at least ");
  ASSERT_NE(at, std::string::npos) << describe(run);
  const std::string budget = std::to_string(std::stol(run.Err.substr(at + 27)));
  run = voxelize({in, "-o", out, "--max-voxels", budget});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(readVolume(out).ZSize, 5);
  std::remove(in.c_str());
  std::remove(out.c_str());
}

TEST(VoxelizeCommand, BudgetThatCannotBeAllocatedFailsCleanly) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address space limit that makes the allocation fail does not work with AddressSanitizer";
#endif
  const std::string in = writePly("octa.ply", octahedron()), out = scratchPath("huge.vol");
  const CliRun run = voxelize({in, "-o", out, "--max-voxels", "2000000000"}, 512);
  EXPECT_EQ(run.Exit, 1) << describe(run);
  EXPECT_NE(run.Err.find("Cannot allocate a volume of"), std::string::npos) << describe(run);
  EXPECT_FALSE(fileExists(out));
  std::remove(in.c_str());
}
