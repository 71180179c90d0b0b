// Voxelization and sharp feature detection of real meshes at 10^5, 10^6 and 10^7 voxels.
// Inputs: ../shared/meshes/bunny.ply and fandisk.ply, imported and fitted as the desktop "Open"
// does, the volume sized from the budget. Counters: voxels, polygons, lattice points visited per
// second (voxelization), feature lines and marked cells (features), heap allocations per run.
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "base/NullOutput.h"

#include <benchmark/benchmark.h>

#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>

using namespace tessellor;

namespace {

NullOutput silent;

// One controller per (mesh, budget), voxelized once so that the volume is sized and filled.
QuadDominantTessellor* prepared(const std::string& name, int budget, bool features) {
  static std::map<std::string, std::unique_ptr<QuadDominantTessellor>> cache;
  const std::string key = name + "/" + std::to_string(budget) + (features ? "/f" : "");
  auto& slot = cache[key];
  if (!slot) {
    auto c = std::make_unique<QuadDominantTessellor>();
    c->setStatusOutput(&silent);
    PolygonStorageImportPLY importer;
    importer.setStatusOutput(&silent);
    try {
      importer.import(std::string(TESSELLOR_SHARED_DIR) + "/meshes/" + name, c->InputMesh);
    } catch (const std::exception&) {
      return nullptr;
    }
    if (c->InputMesh.Vertices.empty() || !c->InputMesh.fitIntoVolume(50, 50, 50)) return nullptr;
    c->setMaxVoxels(budget);
    c->setDetectSharpFeatures(features);
    c->volumeFromInputMesh();
    slot = std::move(c);
  }
  return slot.get();
}

void voxelize(benchmark::State& state, const char* name) {
  QuadDominantTessellor* c = prepared(name, static_cast<int>(state.range(0)), false);
  if (!c) {
    state.SkipWithError("mesh not found in ../shared/meshes");
    return;
  }
  long long allocs = 0;
  for (auto _ : state) {
    const long long before = allocations.load();
    c->Voxelizer.voxelize();
    allocs = allocations.load() - before;
  }
  const double voxels = static_cast<double>(c->Volume.Voxels.size());
  long long stored = 0;
  for (const VoxelData& v : c->Volume.Voxels) stored += v.Distance != NoValue;
  state.counters["voxels"] = voxels;
  state.counters["polygons"] = static_cast<double>(c->InputMesh.Polygons.size());
  state.counters["band"] = static_cast<double>(stored);
  state.counters["allocs/run"] = static_cast<double>(allocs);
  state.counters["voxels/s"] = benchmark::Counter(voxels, benchmark::Counter::kIsIterationInvariantRate);
}

void features(benchmark::State& state, const char* name) {
  QuadDominantTessellor* c = prepared(name, static_cast<int>(state.range(0)), true);
  if (!c) {
    state.SkipWithError("mesh not found in ../shared/meshes");
    return;
  }
  long long allocs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    c->Voxelizer.voxelize();  // a fresh volume, as in the pipeline
    state.ResumeTiming();
    const long long before = allocations.load();
    c->Voxelizer.detectSharpFeatures();
    allocs = allocations.load() - before;
  }
  long long corners = 0, edges = 0;
  for (const VoxelData& v : c->Volume.Voxels) {
    corners += v.FeatureType == 2;
    edges += v.FeatureType == 1;
  }
  std::size_t points = 0;
  for (const VertexIDList& line : c->Features.FeatureLines) points += line.size();
  state.counters["voxels"] = static_cast<double>(c->Volume.Voxels.size());
  state.counters["lines"] = static_cast<double>(c->Features.FeatureLines.size());
  state.counters["line ids"] = static_cast<double>(points);
  state.counters["corner cells"] = static_cast<double>(corners);
  state.counters["edge cells"] = static_cast<double>(edges);
  state.counters["allocs/run"] = static_cast<double>(allocs);
}

void BM_VoxelizeBunny(benchmark::State& state) { voxelize(state, "bunny.ply"); }
void BM_VoxelizeFandisk(benchmark::State& state) { voxelize(state, "fandisk.ply"); }
void BM_FeaturesBunny(benchmark::State& state) { features(state, "bunny.ply"); }
void BM_FeaturesFandisk(benchmark::State& state) { features(state, "fandisk.ply"); }

}  // namespace

BENCHMARK(BM_VoxelizeBunny)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VoxelizeFandisk)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeaturesBunny)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeaturesFandisk)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
