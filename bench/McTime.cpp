// Marching Cubes 33 alone on a volume file: the best of N runs of release, initialize, extract
// (in milliseconds), split at the progress marks into the two passes over the volume (edge
// vertices and cube sweep: the part comparable with a plain Marching Cubes sweep) and the mesh
// set-up that follows (vertex and edge index, midpoints, normals).
//
//   mc_time IN.vol [REPS] [THREADS]
//
// Prints one line: "passes_ms P whole_ms W vertices V polygons N".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "extract/MarchingCubes33.h"
#include "base/StatusOutput.h"
#include "tessellor/Tessellor.h"

using namespace tessellor;

namespace {

using Clock = std::chrono::steady_clock;

// Notes when the passes end: the mesh set-up starts with progress 91.
class PassClock final : public StatusOutput {
 public:
  void writeLine(const char*) override {}
  void setProgress(int percent) override {
    if (percent == 91) PassesEnd = Clock::now();
  }
  void beginTask(const char*) override {}
  void endTask() override {}
  Clock::time_point PassesEnd;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s IN.vol [REPS] [THREADS]\n", argv[0]);
    return 2;
  }
  const int reps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  if (argc > 3) setThreadCount(std::atoi(argv[3]));
  try {
    VolumeStorageDF volume;
    readVolume(argv[1], volume);
    double bestPasses = 1e30, bestWhole = 1e30;
    PolygonStorage mesh;
    for (int r = 0; r < reps; ++r) {
      PassClock clock;
      MarchingCubes33 mc(-1, -1, -1);
      mc.setVolume(&volume);
      mc.setMesh(&mesh);
      mc.setStatusOutput(&clock);
      const Clock::time_point start = Clock::now();
      mc.release();
      mc.initialize();
      mc.extract();
      const Clock::time_point end = Clock::now();
      bestPasses = std::min(bestPasses, std::chrono::duration<double, std::milli>(clock.PassesEnd - start).count());
      bestWhole = std::min(bestWhole, std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::printf("passes_ms %.1f whole_ms %.1f vertices %zu polygons %zu\n", bestPasses, bestWhole, mesh.Vertices.size(),
                mesh.Polygons.size());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "mc_time: %s\n", error.what());
    return 1;
  }
  return 0;
}
