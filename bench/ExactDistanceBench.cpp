// The voxelizer's two distance modes side by side on every mesh of ../shared/meshes at 10^5 and
// 10^6 voxels: voxelization time (best of five runs), whether the Marching Cubes mesh and the
// output come out closed and consistently oriented, their Euler characteristics against the
// input's, and the output's shares of quads and of valence-4 vertices. Prints a Markdown table.
//
// Run: build/bench/exact_distance_bench [MESH.ply ...]   (default: every .ply of ../shared/meshes)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "RemeshMeasurement.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "PlyFiles.h"
#include "base/NullOutput.h"
#include "base/TessellorError.h"

using namespace tessellor;

namespace {

struct Row {
  double VoxelizeMs = 0;
  remeshmeasure::Measurement M;
};

bool run(const std::string& path, int budget, bool exact, Row& row) {
  try {
    auto c = remeshmeasure::remeshed(path, budget, false, exact ? VoxelizationMode::Exact : VoxelizationMode::Classic);
    row.M = remeshmeasure::measure(*c, false);
    double best = 1e30;
    for (int repeat = 0; repeat < 5; ++repeat) {
      const auto start = std::chrono::steady_clock::now();
      c->Voxelizer.voxelize();
      const auto stop = std::chrono::steady_clock::now();
      best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
    }
    row.VoxelizeMs = best;
  } catch (const TessellorError&) {
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = std::string(TESSELLOR_SHARED_DIR) + "/meshes/";
  const std::vector<std::string> names = meshPaths(argc, argv, dir);
  if (names.empty()) return 1;
  std::printf(
      "| mesh | voxels | distance | voxelize ms | exact / default | MC closed | output closed | Euler in / MC / "
      "out | quads | valence 4 |\n|---|---:|---|---:|---:|---|---|---|---:|---:|\n");
  for (const std::string& path : names) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    for (int budget : {100000, 1000000}) {
      Row rows[2];
      bool ok = true;
      for (int mode = 0; mode < 2 && ok; ++mode) ok = run(path, budget, mode == 1, rows[mode]);
      if (!ok) {
        std::printf("| %s | %d | - | cannot be remeshed | | | | | | |\n", name.c_str(), budget);
        continue;
      }
      for (int mode = 0; mode < 2; ++mode) {
        const remeshmeasure::Measurement& m = rows[mode].M;
        char ratio[16] = "";
        if (mode == 1)
          std::snprintf(ratio, sizeof ratio, "%.2f", rows[1].VoxelizeMs / std::max(rows[0].VoxelizeMs, 1e-9));
        std::printf("| %s | %d | %s | %.1f | %s | %s | %s | %d / %d / %d | %s | %s |\n", name.c_str(), budget,
                    mode ? "exact" : "default", rows[mode].VoxelizeMs, ratio, m.McClosed ? "yes" : "no",
                    m.OutputClosed ? "yes" : "no", m.InputEuler, m.McEuler, m.OutputEuler,
                    remeshmeasure::share(m.Quads, m.Polygons).c_str(),
                    remeshmeasure::share(m.Valence4, m.UsedVertices).c_str());
      }
      std::fflush(stdout);
    }
  }
  return 0;
}
