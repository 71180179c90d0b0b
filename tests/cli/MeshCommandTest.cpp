// tessellor-cli mesh: a volume file in, the quad-dominant output mesh out (and, on request, the
// Marching Cubes mesh), every vertex and polygon entry kept.
#include <gtest/gtest.h>

#include "CliRunner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

CliRun mesh(std::vector<std::string> args) {
  args.insert(args.begin(), "mesh");
  return runCli(args);
}

int countPrefix(const std::string& text, const std::string& prefix) {
  int n = 0;
  for (const std::string& line : lines(text)) n += line.rfind(prefix, 0) == 0;
  return n;
}

// The vertex positions of a PLY or OBJ file ("x y z" lines after the header, "v x y z" lines).
std::vector<std::vector<double>> positions(const std::string& text) {
  std::vector<std::vector<double>> result;
  bool header = text.rfind("ply\n", 0) == 0;
  for (const std::string& line : lines(text)) {
    if (header) {
      header = line != "end_header";
      continue;
    }
    std::istringstream in(line.rfind("v ", 0) == 0 ? line.substr(2) : line);
    std::vector<double> p(3);
    if (line.rfind("f ", 0) == 0 || !(in >> p[0] >> p[1] >> p[2]) || !(in >> std::ws).eof()) continue;
    result.push_back(p);
  }
  return result;
}

// The corner counts of the polygons of an OBJ file, in order.
std::vector<int> objPolygonSizes(const std::string& obj) {
  std::vector<int> sizes;
  for (const std::string& line : lines(obj)) {
    if (line.rfind("f ", 0) != 0) continue;
    std::istringstream in(line.substr(2));
    int n = 0;
    for (std::string corner; in >> corner;) ++n;
    sizes.push_back(n);
  }
  return sizes;
}

// The task names of a log, in order (the line after each "--------------- begin ").
std::vector<std::string> tasks(const std::string& log) {
  const std::vector<std::string> all = lines(log);
  std::vector<std::string> names;
  for (std::size_t i = 0; i + 1 < all.size(); ++i)
    if (all[i] == "--------------- begin ") names.push_back(all[i + 1]);
  return names;
}

// A 5 x 5 x 5 volume of distance 1 with one negative grid point at (2, 2, 2); Scale 2, Offset
// (1, 2, 3). The grid points in unmarked are left without a distance.
std::string writeVolume(const std::string& name, const std::vector<std::vector<int>>& unmarked = {}) {
  VolumeStorageDF volume;
  volume.resize(5, 5, 5);
  volume.clear();
  for (VoxelData& v : volume.Voxels) v.Distance = 1.0f;
  volume.Voxels[volume.index(2, 2, 2)].Distance = -1.0f;
  for (const std::vector<int>& p : unmarked) volume.Voxels[volume.index(p[0], p[1], p[2])].Distance = NoValue;
  volume.setScale(2.0f);
  volume.setOffset(1.0f, 2.0f, 3.0f);
  const std::string path = scratchPath(name);
  VolumeStorageDF_IO io;
  io.setFileName(path);
  io.setVolume(&volume);
  io.write();
  return path;
}

// One negative grid point: Marching Cubes gives the octahedron of its six edge vertices (eight
// case-1 triangles), the dual of that is a cube of six quads on the triangles' centroids, grid
// point (2, 2, 2) +- 1/6, and the one smoothing step pulls every corner of that cube to the
// average of its three neighbours, (2, 2, 2) +- 1/18.
TEST(MeshCommand, WritesTheQuadMeshAndOnRequestTheMarchingCubesMesh) {
  const std::string in = writeVolume("point.vol"), out = scratchPath("out.ply"), mc = scratchPath("mc.obj");
  const CliRun run = mesh({in, "-o", out, "--mc-mesh", mc});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "Flip candidates: 0")) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "Edges flipped  : 0")) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "Detailed cases statistics")) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "       56 cases 0")) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "        8 cases 1")) << describe(run);
  EXPECT_TRUE(hasLine(run.Out, "        0 cases 13.5.2")) << describe(run);
  // Then the output is cleaned up and the Marching Cubes mesh's unused entries removed.
  const std::vector<std::string> expectedTasks{
      "Marching",  "Constructing Dual Surface", "Reducing polygon degree", "Removing rhombus polygons",
      "Smoothing", "Cleaning up mesh",          "Removing unused entries"};
  EXPECT_EQ(tasks(run.Out), expectedTasks) << describe(run);

  // The Marching Cubes mesh, in the format of its own extension: grid point (2, 2, 2) +- half a
  // step, in file coordinates p * 2 + (1, 2, 3).
  const std::string obj = readFile(mc);
  EXPECT_EQ(objPolygonSizes(obj), std::vector<int>(8, 3)) << obj;
  const std::vector<std::vector<double>> mcCorners = positions(obj);
  ASSERT_EQ(mcCorners.size(), 6u) << obj;
  for (const std::vector<double>& p : mcCorners) {
    const double offAxis = std::fabs(p[0] - 5.0) + std::fabs(p[1] - 6.0) + std::fabs(p[2] - 7.0);
    EXPECT_NEAR(offAxis, 1.0, 1e-5) << "Marching Cubes vertex " << p[0] << " " << p[1] << " " << p[2];
  }

  // The output: a closed cube of six quads, every corner at (5, 6, 7) +- 2/18 on each axis.
  const std::string ply = readFile(out);
  EXPECT_TRUE(hasLine(ply, "element vertex 8")) << ply;
  EXPECT_TRUE(hasLine(ply, "element face 6")) << ply;
  EXPECT_EQ(countPrefix(ply, "4 "), 6) << ply;
  const std::vector<std::vector<double>> corners = positions(ply);
  ASSERT_EQ(corners.size(), 8u) << ply;
  for (const std::vector<double>& p : corners)
    for (int axis = 0; axis < 3; ++axis)
      EXPECT_NEAR(std::fabs(p[axis] - (5.0 + axis)), 1.0 / 9.0, 1e-5) << "output corner axis " << axis << "\n" << ply;
  for (const std::string& path : {in, out, mc}) std::remove(path.c_str());
}

TEST(MeshCommand, RawKeepsVerticesThatNoPolygonUses) {
  // Half the cubes around the negative point are skipped: the edge towards the point without a
  // distance still gets a vertex (6 vertices, 4 triangles, one vertex unused). The four triangles
  // form the closed fan of one vertex, so the output is one quad on their four centroids.
  const std::string in = writeVolume("half.vol", {{3, 2, 2}}), out = scratchPath("out.obj"), mc = scratchPath("mc.obj");
  CliRun run = mesh({in, "-o", out, "--mc-mesh", mc, "--quiet", "--raw"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(run.Out, "") << "--quiet";
  EXPECT_EQ(countPrefix(readFile(mc), "v "), 6) << readFile(mc);
  EXPECT_EQ(objPolygonSizes(readFile(mc)), std::vector<int>(4, 3)) << readFile(mc);
  EXPECT_EQ(countPrefix(readFile(out), "v "), 4) << readFile(out);
  EXPECT_EQ(objPolygonSizes(readFile(out)), std::vector<int>{4}) << readFile(out);

  // Only the cube below and behind the point is left: one triangle, no vertex with three
  // polygons around it. The output keeps that triangle's dual vertex although no polygon uses it.
  const std::string single = writeVolume("single.vol", {{3, 2, 2}, {2, 3, 2}, {2, 2, 3}});
  run = mesh({single, "-o", out, "--mc-mesh", mc, "--quiet", "--raw"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(objPolygonSizes(readFile(mc)), std::vector<int>{3}) << readFile(mc);
  EXPECT_EQ(countPrefix(readFile(out), "v "), 1) << readFile(out);
  EXPECT_EQ(countPrefix(readFile(out), "f "), 0) << readFile(out);

  // Without --raw neither file keeps an entry that no polygon uses.
  run = mesh({in, "-o", out, "--mc-mesh", mc, "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(countPrefix(readFile(mc), "v "), 5) << readFile(mc);
  EXPECT_EQ(countPrefix(readFile(out), "v "), 4) << readFile(out);
  for (const std::string& path : {in, single, out, mc}) std::remove(path.c_str());
}

TEST(MeshCommand, FormatOptionOverridesTheExtension) {
  const std::string in = writeVolume("fmt.vol"), out = scratchPath("out.txt");
  const CliRun run = mesh({in, "-o", out, "--format", "ply", "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(readFile(out).rfind("ply\n", 0), 0u);
  std::remove(in.c_str());
  std::remove(out.c_str());
}

TEST(MeshCommand, RefusesWhatItCannotRead) {
  const std::string in = writeVolume("ok.vol"), out = scratchPath("out.ply");
  // Not a volume file name: usage error.
  CliRun run = mesh({scratchPath("mesh.ply"), "-o", out});
  EXPECT_EQ(run.Exit, 2) << describe(run);
  // A missing file: exit 1 with a message naming it.
  const std::string missing = scratchPath("missing.vol");
  run = mesh({missing, "-o", out});
  EXPECT_EQ(run.Exit, 1) << describe(run);
  EXPECT_NE(run.Err.find(missing), std::string::npos) << describe(run);
  // A file that is not a volume: exit 1.
  const std::string junk = scratchPath("junk.vol");
  std::ofstream(junk, std::ios::binary) << "VOLUME but not really";
  run = mesh({junk, "-o", out});
  EXPECT_EQ(run.Exit, 1) << describe(run);
  // An --mc-mesh name with no known format is refused before anything is written.
  run = mesh({in, "-o", out, "--mc-mesh", scratchPath("mc.xyz")});
  EXPECT_EQ(run.Exit, 2) << describe(run);
  EXPECT_FALSE(fileExists(out));
  // -o is required, and --mc-mesh may not name the same file.
  run = mesh({in});
  EXPECT_EQ(run.Exit, 2) << describe(run);
  run = mesh({in, "-o", out, "--mc-mesh", out});
  EXPECT_EQ(run.Exit, 2) << describe(run);
  EXPECT_FALSE(fileExists(out));
  for (const std::string& path : {in, junk, out}) std::remove(path.c_str());
}

// Both files or neither: a Marching Cubes mesh that cannot be written leaves the output mesh
// unwritten, and an output mesh that cannot be written leaves no Marching Cubes mesh behind,
// neither under its name nor as a staged copy.
TEST(MeshCommand, WritesNothingWhenEitherFileFails) {
  const std::string in = writeVolume("both.vol"), out = scratchPath("out.ply"), mc = scratchPath("mc.ply");
  const std::string noDirectory = scratchPath("no-such-directory") + "/mesh.ply";
  CliRun run = mesh({in, "-o", out, "--mc-mesh", noDirectory});
  EXPECT_EQ(run.Exit, 1) << describe(run);
  EXPECT_NE(run.Err.find(noDirectory), std::string::npos) << describe(run);
  EXPECT_FALSE(fileExists(out));

  const std::string directory = ::testing::TempDir();
  const std::string directoryPly = scratchPath("dir.ply");
  ASSERT_EQ(mkdir(directoryPly.c_str(), 0755), 0);
  run = mesh({in, "-o", out, "--mc-mesh", directoryPly});
  EXPECT_EQ(run.Exit, 1) << describe(run);
  EXPECT_FALSE(fileExists(out));
  rmdir(directoryPly.c_str());

  run = mesh({in, "-o", noDirectory, "--mc-mesh", mc});
  EXPECT_EQ(run.Exit, 1) << describe(run);
  EXPECT_FALSE(fileExists(mc));
  const std::string base = mc.substr(mc.rfind('/') + 1);
  if (DIR* dir = opendir(directory.c_str())) {
    while (const dirent* entry = readdir(dir))
      EXPECT_EQ(std::string(entry->d_name).find(base + "."), std::string::npos) << "left behind: " << entry->d_name;
    closedir(dir);
  }
  std::remove(in.c_str());
}

}  // namespace
