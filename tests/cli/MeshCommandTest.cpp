// tessellor-cli mesh: a volume file in, the quad-dominant output mesh out (and, on request, the
// Marching Cubes mesh), every vertex and polygon entry kept. Usage mistakes: CliUsage.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "support/TestMeshes.h"
#include "tessellor/Tessellor.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cmath>

using namespace tessellor;

namespace {

// A 5 x 5 x 5 volume of distance 1 with one negative grid point at (2, 2, 2); Scale 2, Offset
// (1, 2, 3). The grid points in unmarked hold no distance.
std::string volumeFile(const std::string& name, const std::vector<std::vector<int>>& unmarked = {}) {
  VolumeStorageDF volume;
  volume.resize(5, 5, 5);
  volume.clear();
  for (VoxelData& v : volume.Voxels) v.Distance = 1.0f;
  volume.Voxels[volume.index(2, 2, 2)].Distance = -1.0f;
  for (const std::vector<int>& p : unmarked) volume.Voxels[volume.index(p[0], p[1], p[2])].Distance = NoValue;
  volume.setScale(2.0f);
  volume.setOffset(1.0f, 2.0f, 3.0f);
  writeVolume(scratchPath(name), volume);
  return scratchPath(name);
}

}  // namespace

// One negative grid point: Marching Cubes gives the octahedron of its six edge vertices (eight
// case-1 triangles), its dual a cube of six quads on the triangles' centroids, grid point
// (2, 2, 2) +- 1/6, and the one smoothing step pulls every corner of that cube to the average of
// its three neighbours, (2, 2, 2) +- 1/18; in file coordinates p * 2 + (1, 2, 3).
TEST(MeshCommand, WritesTheQuadMeshAndOnRequestTheMarchingCubesMesh) {
  const std::string in = volumeFile("point.vol"), out = scratchPath("out.ply"), mc = scratchPath("mc.ply");
  const CliRun run = runCli({"mesh", in, "-o", out, "--mc-mesh", mc});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  for (const char* line : {"Flip candidates: 0", "Detailed cases statistics", "       56 cases 0", "        8 cases 1"})
    EXPECT_TRUE(hasLine(run.Out, line)) << line;
  PolygonStorage marching, output;
  readMesh(mc, marching);
  readMesh(out, output);
  EXPECT_EQ(marching.Polygons.size(), 8u);
  ASSERT_EQ(marching.Vertices.size(), 6u);
  for (const Vertex& v : marching.Vertices)
    EXPECT_NEAR(std::fabs(v.pos.x - 5) + std::fabs(v.pos.y - 6) + std::fabs(v.pos.z - 7), 1.0, 1e-5)
        << "half a step off";
  ASSERT_EQ(output.Vertices.size(), 8u);
  ASSERT_EQ(output.Polygons.size(), 6u);
  for (const VertexIDList& face : output.Polygons) EXPECT_EQ(face.size(), 4u);
  for (const Vertex& v : output.Vertices)
    for (float d : {v.pos.x - 5, v.pos.y - 6, v.pos.z - 7}) EXPECT_NEAR(std::fabs(d), 1.0 / 9.0, 1e-5);
  EXPECT_EQ(testmeshes::closedOrientedFault(output), "");
  EXPECT_GT(testmeshes::enclosedVolume(output), 0.0) << "the cube faces outwards";
  // Half the cubes around the point skipped: the edge towards the unmarked grid point keeps a
  // vertex that no polygon uses, which only --raw writes.
  const std::string half = volumeFile("half.vol", {{3, 2, 2}});
  for (bool raw : {true, false}) {
    std::vector<std::string> args{"mesh", half, "-o", out, "--mc-mesh", mc, "--quiet"};
    if (raw) args.push_back("--raw");
    ASSERT_EQ(runCli(args).Exit, 0);
    readMesh(mc, marching);
    EXPECT_EQ(marching.Vertices.size(), raw ? 6u : 5u);
  }
}

// Both files or neither: a Marching Cubes mesh that cannot be written leaves the output unwritten,
// and an output that cannot be written leaves no Marching Cubes mesh, not even a staged copy. A
// missing volume, or a file that is not one, is exit 1 with the file named.
TEST(MeshCommand, WritesNothingWhenEitherFileFailsOrTheVolumeIsBad) {
  const std::string in = volumeFile("both.vol"), out = scratchPath("out.ply"), mc = scratchPath("mc.ply");
  const std::string noDirectory = scratchPath("no-such-directory") + "/mesh.ply", directory = scratchPath("dir.ply");
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  for (const std::string& target : {noDirectory, directory}) {
    const CliRun run = runCli({"mesh", in, "-o", out, "--mc-mesh", target});
    EXPECT_EQ(run.Exit, 1) << describe(run);
    EXPECT_NE(run.Err.find(target), std::string::npos) << run.Err;
  }
  rmdir(directory.c_str());
  EXPECT_EQ(runCli({"mesh", in, "-o", noDirectory, "--mc-mesh", mc}).Exit, 1);
  EXPECT_FALSE(fileExists(out) || fileExists(mc));
  const std::string base = mc.substr(mc.rfind('/') + 1);
  for (const std::string& left : testfiles::filesIn(::testing::TempDir()))
    EXPECT_EQ(left.find(base + "."), std::string::npos) << "left behind: " << left;
  const std::string junk = scratchPath("junk.vol");
  writeFile(junk, "VOLUME but not really");
  for (const std::string& bad : {scratchPath("missing.vol"), junk}) {
    const CliRun run = runCli({"mesh", bad, "-o", out});
    EXPECT_EQ(run.Exit, 1) << describe(run);
    EXPECT_EQ(run.Err.rfind("tessellor-cli: " + bad + ": ", 0), 0u) << run.Err;
    EXPECT_FALSE(fileExists(out));
  }
}
