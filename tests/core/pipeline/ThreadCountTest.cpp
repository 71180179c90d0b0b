// Every output is the same for any thread count: the parallel passes merge in grid order.

#include "base/Parallel.h"
#include "support/RecordingOutput.h"
#include "support/TestFiles.h"
#include "tessellor/Tessellor.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tessellor;

namespace {

const std::string MeshDir = std::string(TESSELLOR_SHARED_DIR) + "/meshes/";

std::vector<std::string> sharedMeshes() {
  std::vector<std::string> names;
  if (DIR* dir = opendir(MeshDir.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ply") == 0) names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The files and the log (Duration lines left out) of one remesh of a mesh, and of the mesh
// command's second half on its volume, as one string.
std::string run(const PolygonStorage& input, const RemeshOptions& options, int threads,
                const testfiles::ScratchDir& dir) {
  setThreadCount(threads);
  RecordingOutput log;
  PolygonStorage output, dual, mc;
  VolumeStorageDF volume;
  remesh(input, output, options, &log, &volume);
  volumeToMesh(volume, dual, &log, &mc);
  writeMesh(dir.file("out.ply"), output);
  writeMesh(dir.file("mc.obj"), mc);
  writeVolume(dir.file("v.vol"), volume);
  std::string text;
  for (const std::string& line : log.Lines)
    if (line.compare(0, 10, "Duration: ") != 0) text += line + "\n";
  for (const char* name : {"out.ply", "mc.obj", "v.vol"}) text += testfiles::readFile(dir.file(name));
  return text;
}

TEST(ThreadCount, OneAndTwoThreadsWriteTheSameFilesAndLogOnEverySharedMesh) {
  const std::vector<std::string> meshes = sharedMeshes();
  if (meshes.empty()) GTEST_SKIP() << MeshDir << " holds no meshes";
  testfiles::ScratchDir dir;
  for (const std::string& name : meshes) {
    PolygonStorage input;
    readMesh(MeshDir + name, input);
    bool triangles = false;
    for (const VertexIDList& polygon : input.Polygons) triangles = triangles || polygon.size() == 3;
    for (int mode = 0; mode < 3; ++mode) {
      // The classic and exact modes refuse meshes without triangles.
      if (mode < 2 && !triangles) continue;
      RemeshOptions options;
      options.maxVoxels = 60000;
      options.detectSharpFeatures = mode >= 1;
      options.mode = mode == 0   ? VoxelizationMode::Classic
                     : mode == 1 ? VoxelizationMode::Exact
                                 : VoxelizationMode::Robust;
      const std::string one = run(input, options, 1, dir);
      // Three threads cut the passes into other pieces than one thread does.
      for (int threads : {2, 3})
        EXPECT_TRUE(run(input, options, threads, dir) == one)
            << name << " mode " << mode << ", " << threads << " threads";
    }
  }
  setThreadCount(0);
}

}  // namespace
