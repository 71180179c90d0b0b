// The three voxelization modes side by side on every mesh of ../shared/meshes at 10^5, 10^6 and
// 10^7 voxels: voxelization time (best of three runs of the voxelization alone, the robust mode's
// repair included), the ratio robust / exact, and per mode whether the output comes out closed and
// consistently oriented, with its Euler characteristic. Prints a Markdown table.
//
// Run: build/bench/voxelization_modes_bench [MESH.ply ...]   (default: every .ply of ../shared/meshes)
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/NullOutput.h"
#include "base/TessellorError.h"
#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"

using namespace tessellor;

namespace {

struct Result {
  bool Refused = false;
  double VoxelizeMs = 0;
  bool Closed = false;
  int Euler = 0;
};

Result run(const std::string& path, int budget, VoxelizationMode mode) {
  Result result;
  NullOutput silent;
  auto c = std::make_unique<QuadDominantTessellor>();
  c->setStatusOutput(&silent);
  PolygonStorageImportPLY importer;
  importer.setStatusOutput(&silent);
  try {
    importer.import(path, c->InputMesh);
    if (c->InputMesh.Vertices.empty() || !c->InputMesh.fitIntoVolume(50, 50, 50)) {
      result.Refused = true;
      return result;
    }
    c->setMaxVoxels(budget);
    c->setVoxelizationMode(mode);
    c->volumeFromInputMesh();
    double best = 1e30;
    for (int repeat = 0; repeat < 3; ++repeat) {
      const auto start = std::chrono::steady_clock::now();
      c->Voxelizer.voxelize();
      const auto stop = std::chrono::steady_clock::now();
      best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
    }
    result.VoxelizeMs = best;
    c->outputMeshFromVolume();
  } catch (const TessellorError&) {
    result.Refused = true;
    return result;
  }
  result.Closed = postfixtures::closedAndOriented(c->getOutputMesh());
  result.Euler = postfixtures::eulerCharacteristic(c->getOutputMesh());
  return result;
}

std::string shape(const Result& r) {
  if (r.Refused) return "refused";
  return std::string(r.Closed ? "closed" : "open") + ", " + std::to_string(r.Euler);
}

std::string time(const Result& r) {
  if (r.Refused) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", r.VoxelizeMs);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = std::string(TESSELLOR_SHARED_DIR) + "/meshes/";
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) names.push_back(argv[i]);
  if (names.empty()) {
    if (DIR* d = opendir(dir.c_str())) {
      while (const dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ply") == 0) names.push_back(dir + name);
      }
      closedir(d);
    }
    std::sort(names.begin(), names.end());
  }
  if (names.empty()) {
    std::fprintf(stderr, "no meshes in %s\n", dir.c_str());
    return 1;
  }
  std::printf(
      "| mesh | voxels | classic ms | exact ms | robust ms | robust / exact | classic output | exact output | "
      "robust output |\n|---|---:|---:|---:|---:|---:|---|---|---|\n");
  for (const std::string& path : names) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    for (int budget : {100000, 1000000, 10000000}) {
      const Result classic = run(path, budget, VoxelizationMode::Classic);
      const Result exact = run(path, budget, VoxelizationMode::Exact);
      const Result robust = run(path, budget, VoxelizationMode::Robust);
      char ratio[16] = "-";
      if (!exact.Refused && !robust.Refused)
        std::snprintf(ratio, sizeof ratio, "%.2f", robust.VoxelizeMs / std::max(exact.VoxelizeMs, 1e-9));
      std::printf("| %s | %d | %s | %s | %s | %s | %s | %s | %s |\n", name.c_str(), budget, time(classic).c_str(),
                  time(exact).c_str(), time(robust).c_str(), ratio, shape(classic).c_str(), shape(exact).c_str(),
                  shape(robust).c_str());
      std::fflush(stdout);
    }
  }
  return 0;
}
