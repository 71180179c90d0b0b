// The three voxelization modes side by side on every mesh of ../shared/meshes at 10^5, 10^6 and
// 10^7 voxels: voxelization time (processor time, best of five interleaved runs of the
// voxelization alone, the robust mode's repair included), the ratio robust / exact, and per mode
// whether the output comes out closed and consistently oriented, with its Euler characteristic.
// Prints a Markdown table.
//
// Run: build/bench/voxelization_modes_bench [MESH.ply ...]   (default: every .ply of ../shared/meshes)
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "PlyFiles.h"
#include "base/NullOutput.h"
#include "base/TessellorError.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "support/TestMeshes.h"

using namespace tessellor;

namespace {

struct Result {
  bool Refused = false;
  double VoxelizeMs = 1e30;
  bool Closed = false;
  int Euler = 0;
};

// The voxelization's processor time: the machine is shared, and wall time would count the waits.
double voxelizeMs(QuadDominantTessellor& c) {
  const std::clock_t start = std::clock();
  c.Voxelizer.voxelize();
  return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// The three modes on one mesh and budget; the voxelizations are interleaved (five rounds, the
// best of each mode kept), so that a change in the machine's load hits all modes alike.
void run(const std::string& path, int budget, Result results[3]) {
  const VoxelizationMode modes[3] = {VoxelizationMode::Classic, VoxelizationMode::Exact, VoxelizationMode::Robust};
  NullOutput silent;
  std::unique_ptr<QuadDominantTessellor> c[3];
  for (int m = 0; m < 3; ++m) {
    c[m] = std::make_unique<QuadDominantTessellor>();
    c[m]->setStatusOutput(&silent);
    PolygonStorageImportPLY importer;
    importer.setStatusOutput(&silent);
    try {
      importer.import(path, c[m]->InputMesh);
      results[m].Refused = c[m]->InputMesh.Vertices.empty() || !c[m]->InputMesh.fitIntoVolume(50, 50, 50);
      if (results[m].Refused) continue;
      c[m]->setMaxVoxels(budget);
      c[m]->setVoxelizationMode(modes[m]);
      c[m]->volumeFromInputMesh();
    } catch (const TessellorError&) {
      results[m].Refused = true;
    }
  }
  for (int round = 0; round < 5; ++round)
    for (int m = 0; m < 3; ++m)
      if (!results[m].Refused) results[m].VoxelizeMs = std::min(results[m].VoxelizeMs, voxelizeMs(*c[m]));
  for (int m = 0; m < 3; ++m) {
    if (!results[m].Refused) {
      c[m]->outputMeshFromVolume();
      results[m].Closed = testmeshes::closedOrientedFault(c[m]->getOutputMesh()).empty();
      results[m].Euler = testmeshes::eulerCharacteristic(c[m]->getOutputMesh());
    }
    c[m].reset();
  }
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
  const std::vector<std::string> names = meshPaths(argc, argv, dir);
  if (names.empty()) return 1;
  std::printf(
      "| mesh | voxels | classic ms | exact ms | robust ms | robust / exact | classic output | exact output | "
      "robust output |\n|---|---:|---:|---:|---:|---:|---|---|---|\n");
  for (const std::string& path : names) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    for (int budget : {100000, 1000000, 10000000}) {
      Result results[3];
      run(path, budget, results);
      const Result& classic = results[0];
      const Result& exact = results[1];
      const Result& robust = results[2];
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
