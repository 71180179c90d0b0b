// The voxelizer's two distance modes side by side on every mesh of ../shared/meshes at 10^5 and
// 10^6 voxels: voxelization time (best of five runs), whether the Marching Cubes mesh and the
// output come out closed and consistently oriented, their Euler characteristics against the
// input's, and the output's shares of quads and of valence-4 vertices. Prints a Markdown table.
//
// Run: build/bench/exact_distance_bench [MESH.ply ...]   (default: every .ply of ../shared/meshes)
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/postprocess/MeshFixtures.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "base/NullOutput.h"
#include "base/TessellorError.h"

using namespace tessellor;

namespace {

using postfixtures::closedAndOriented;
using postfixtures::eulerCharacteristic;

struct Row {
  double VoxelizeMs = 0;
  bool McClosed = false, OutClosed = false;
  int InputEuler = 0, McEuler = 0, OutEuler = 0;
  double Quads = 0, Valence4 = 0;
};

bool run(const std::string& path, int budget, bool exact, Row& row) {
  NullOutput silent;
  auto c = std::make_unique<QuadDominantTessellor>();
  c->setStatusOutput(&silent);
  PolygonStorageImportPLY importer;
  importer.setStatusOutput(&silent);
  try {
    importer.import(path, c->InputMesh);
    if (c->InputMesh.Vertices.empty() || !c->InputMesh.fitIntoVolume(50, 50, 50)) return false;
    row.InputEuler = eulerCharacteristic(c->InputMesh);
    c->setMaxVoxels(budget);
    c->setVoxelizationMode(exact ? VoxelizationMode::Exact : VoxelizationMode::Classic);
    c->volumeFromInputMesh();
    double best = 1e30;
    for (int repeat = 0; repeat < 5; ++repeat) {
      const auto start = std::chrono::steady_clock::now();
      c->Voxelizer.voxelize();
      const auto stop = std::chrono::steady_clock::now();
      best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
    }
    row.VoxelizeMs = best;
    c->outputMeshFromVolume();
  } catch (const TessellorError&) {
    return false;
  }
  const PolygonStorage& out = c->getOutputMesh();
  row.McClosed = closedAndOriented(c->MCMesh);
  row.OutClosed = closedAndOriented(out);
  row.McEuler = eulerCharacteristic(c->MCMesh);
  row.OutEuler = eulerCharacteristic(out);
  int polygons = 0, quads = 0, vertices = 0, valence4 = 0;
  for (const VertexIDList& polygon : out.Polygons) {
    if (polygon.empty()) continue;
    ++polygons;
    quads += polygon.size() == 4;
  }
  for (const VertexIDSet& around : out.VIndex) {
    if (around.empty()) continue;
    ++vertices;
    valence4 += around.size() == 4;
  }
  row.Quads = polygons ? static_cast<double>(quads) / polygons : 0;
  row.Valence4 = vertices ? static_cast<double>(valence4) / vertices : 0;
  return true;
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
        const Row& r = rows[mode];
        char ratio[16] = "";
        if (mode == 1) std::snprintf(ratio, sizeof ratio, "%.2f", r.VoxelizeMs / std::max(rows[0].VoxelizeMs, 1e-9));
        std::printf("| %s | %d | %s | %.1f | %s | %s | %s | %d / %d / %d | %.3f | %.3f |\n", name.c_str(), budget,
                    mode ? "exact" : "default", r.VoxelizeMs, ratio, r.McClosed ? "yes" : "no",
                    r.OutClosed ? "yes" : "no", r.InputEuler, r.McEuler, r.OutEuler, r.Quads, r.Valence4);
      }
      std::fflush(stdout);
    }
  }
  return 0;
}
