// Marching Cubes 33 extraction over a sphere distance field at 10^5, 10^6 and 10^7 voxels.
// Counters: voxels, vertices, polygons, voxels per second, and heap allocations per polygon and
// per cube. Every polygon owns its id list and its entries in the vertex and edge indices, so the
// allocations follow the polygon count, not the cube count: the sweep allocates nothing per cube.
#include "extract/MarchingCubes33.h"
#include "extract/TransferFeaturePointsToMidpoints.h"
#include "mesh/PolygonStorage.h"
#include "volume/VolumeStorageDF.h"

#include <benchmark/benchmark.h>

#include "AllocationCounter.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

using namespace tessellor;

namespace {

// Signed distance to a sphere (positive outside) filling a cube of n^3 grid points.
void sphereVolume(VolumeStorageDF& volume, int n) {
  volume.resize(n, n, n);
  volume.clear();
  const float c = 0.5f * static_cast<float>(n - 1), r = 0.35f * static_cast<float>(n);
  for (int z = 0; z < n; ++z)
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        const float dx = static_cast<float>(x) - c, dy = static_cast<float>(y) - c, dz = static_cast<float>(z) - c;
        volume.Voxels[volume.index(x, y, z)].Distance = std::sqrt(dx * dx + dy * dy + dz * dz) - r;
      }
}

void BM_ExtractSphere(benchmark::State& state) {
  const int n = static_cast<int>(std::lround(std::cbrt(static_cast<double>(state.range(0)))));
  VolumeStorageDF volume;
  sphereVolume(volume, n);
  PolygonStorage mesh;
  MarchingCubes33 mc(-1, -1, -1);
  mc.setVolume(&volume);
  mc.setMesh(&mesh);
  long long allocs = 0;
  for (auto _ : state) {
    const long long before = allocations.load();
    mc.release();
    mc.initialize();
    mc.extract();
    allocs = allocations.load() - before;
    benchmark::DoNotOptimize(mesh.Polygons.data());
  }
  const double voxels = static_cast<double>(n) * n * n;
  state.counters["voxels"] = voxels;
  state.counters["vertices"] = static_cast<double>(mesh.Vertices.size());
  state.counters["polygons"] = static_cast<double>(mesh.Polygons.size());
  state.counters["allocs/polygon"] = static_cast<double>(allocs) / static_cast<double>(mesh.Polygons.size());
  state.counters["allocs/cube"] = static_cast<double>(allocs) / (static_cast<double>(n - 1) * (n - 1) * (n - 1));
  state.counters["voxels/s"] = benchmark::Counter(voxels, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ExtractSphere)->Arg(100000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

void BM_TransferFeaturePoints(benchmark::State& state) {
  const int n = static_cast<int>(std::lround(std::cbrt(static_cast<double>(state.range(0)))));
  VolumeStorageDF volume;
  sphereVolume(volume, n);
  for (VoxelData& v : volume.Voxels) {
    v.FeatureType = 1;
    v.FeatureOffset[0] = v.FeatureOffset[1] = v.FeatureOffset[2] = 0.1f;
  }
  PolygonStorage mesh;
  MarchingCubes33 mc(-1, -1, -1);
  mc.setVolume(&volume);
  mc.setMesh(&mesh);
  mc.initialize();
  mc.extract();
  const std::vector<Vertex> centroids = mesh.Midpoints;
  for (auto _ : state) {
    state.PauseTiming();
    mesh.Midpoints = centroids;
    state.ResumeTiming();
    transferFeaturePointsToMidpoints(mesh, volume);
  }
  state.counters["midpoints"] = static_cast<double>(mesh.Midpoints.size());
}
BENCHMARK(BM_TransferFeaturePoints)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
