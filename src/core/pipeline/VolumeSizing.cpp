#include "pipeline/VolumeSizing.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "base/TessellorError.h"
#include "mesh/PolygonStorage.h"
#include "pipeline/QuadDominantTessellor.h"
#include "volume/VoxelData.h"

namespace tessellor {

namespace {

// The volume sizes the pipeline takes for a budget; false when it cannot size the mesh.
bool sizesFor(const PolygonStorage& fitted, int budget, int n[3]) {
  try {
    QuadDominantTessellor::volumeSize(fitted.BBoxMax.x - fitted.BBoxMin.x, fitted.BBoxMax.y - fitted.BBoxMin.y,
                                      fitted.BBoxMax.z - fitted.BBoxMin.z, budget, n[0], n[1], n[2]);
  } catch (const ProcessingError&) {
    return false;
  }
  return true;
}

// Measured peaks of whole runs: the voxels, and about 1.5 KiB per output polygon for the Marching
// Cubes mesh, the output mesh and their indices (2 KiB here), and what the program itself takes.
constexpr double MemoryPerVoxel = sizeof(VoxelData);
constexpr double MemoryPerSurfaceCell = 2048.0;
constexpr double MemoryBase = 32.0 * 1048576.0;

}  // namespace

double VolumeSizing::voxelSize(const PolygonStorage& fitted, int budget) {
  int n[3];
  if (fitted.Vertices.empty() || !sizesFor(fitted, budget, n)) return 0.0;
  // As fitIntoVolume scales: by the tightest axis, in 32-bit float.
  const float extent[3] = {fitted.BBoxMax.x - fitted.BBoxMin.x, fitted.BBoxMax.y - fitted.BBoxMin.y,
                           fitted.BBoxMax.z - fitted.BBoxMin.z};
  float s = 0.0f;
  for (int axis = 0; axis < 3; ++axis) {
    const float r = (static_cast<float>(n[axis]) - 4.0f) / extent[axis];
    if (axis == 0 || r < s) s = r;
  }
  return s > 0.0f ? static_cast<double>(fitted.Scale) / static_cast<double>(s) : 0.0;
}

int VolumeSizing::budgetForVoxelSize(const PolygonStorage& fitted, double wanted) {
  if (!(wanted > 0.0) || !std::isfinite(wanted))
    throw ProcessingError("Cannot size the volume: the voxel edge must be a positive number");
  const auto fine = [&](long long budget) {
    const double size = voxelSize(fitted, static_cast<int>(budget));
    return size > 0.0 && size <= wanted;
  };
  if (!fine(INT_MAX)) {
    // Far beyond any budget: say what the volume would take.
    const double scale = static_cast<double>(fitted.Scale);
    const double ex = (fitted.BBoxMax.x - fitted.BBoxMin.x) * scale / wanted + 4.0;
    const double ey = (fitted.BBoxMax.y - fitted.BBoxMin.y) * scale / wanted + 4.0;
    const double ez = (fitted.BBoxMax.z - fitted.BBoxMin.z) * scale / wanted + 4.0;
    char text[300];
    std::snprintf(text, sizeof text,
                  "Cannot size the volume: voxels of edge %g need about %.0f x %.0f x %.0f = %.3g voxels "
                  "(%.0f MiB), more than the largest budget of %d",
                  wanted, std::ceil(ex), std::ceil(ey), std::ceil(ez), ex * ey * ez,
                  ex * ey * ez * MemoryPerVoxel / 1048576.0, INT_MAX);
    throw ProcessingError(text);
  }
  // The voxel edge shrinks as the budget grows: find the smallest budget that is fine enough.
  long long lo = 1, hi = INT_MAX;
  while (lo < hi) {
    const long long mid = lo + (hi - lo) / 2;
    if (fine(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  // The budget just below may come closer from above.
  if (lo > 1) {
    const double below = voxelSize(fitted, static_cast<int>(lo - 1));
    const double at = voxelSize(fitted, static_cast<int>(lo));
    if (below > 0.0 && below / wanted < wanted / at) return static_cast<int>(lo - 1);
  }
  return static_cast<int>(lo);
}

double VolumeSizing::triangleArea(const PolygonStorage& mesh) {
  double area = 0.0;
  const int vertices = static_cast<int>(mesh.Vertices.size());
  for (const VertexIDList& polygon : mesh.Polygons) {
    if (polygon.size() != 3) continue;
    bool valid = true;
    for (int id : polygon) valid = valid && id >= 0 && id < vertices;
    if (!valid) continue;
    const V3 a = mesh.fileCoordinates(mesh.Vertices[polygon[0]].pos);
    for (std::size_t i = 1; i + 1 < polygon.size(); ++i) {
      const V3 b = mesh.fileCoordinates(mesh.Vertices[polygon[i]].pos);
      const V3 c = mesh.fileCoordinates(mesh.Vertices[polygon[i + 1]].pos);
      const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
      const double wx = c.x - a.x, wy = c.y - a.y, wz = c.z - a.z;
      const double cx = uy * wz - uz * wy, cy = uz * wx - ux * wz, cz = ux * wy - uy * wx;
      area += 0.5 * std::sqrt(cx * cx + cy * cy + cz * cz);
    }
  }
  return area;
}

double VolumeSizing::medianEdge(const PolygonStorage& mesh) {
  std::vector<std::pair<int, int>> edges;
  const int vertices = static_cast<int>(mesh.Vertices.size());
  for (const VertexIDList& polygon : mesh.Polygons) {
    if (polygon.size() < 3) continue;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
      const int a = polygon[i], b = polygon[(i + 1) % polygon.size()];
      if (a != b && a >= 0 && b >= 0 && a < vertices && b < vertices)
        edges.emplace_back(std::min(a, b), std::max(a, b));
    }
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  if (edges.empty()) return 0.0;
  std::vector<double> lengths;
  lengths.reserve(edges.size());
  for (const auto& e : edges) {
    const V3 a = mesh.fileCoordinates(mesh.Vertices[e.first].pos),
             b = mesh.fileCoordinates(mesh.Vertices[e.second].pos);
    const double x = a.x - b.x, y = a.y - b.y, z = a.z - b.z;
    lengths.push_back(std::sqrt(x * x + y * y + z * z));
  }
  std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
  return lengths[lengths.size() / 2];
}

long long VolumeSizing::faceCount(const PolygonStorage& mesh) {
  long long count = 0;
  for (const VertexIDList& polygon : mesh.Polygons)
    if (polygon.size() >= 3) ++count;
  return count;
}

double VolumeSizing::availableBytes() {
  double bytes = -1.0;
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  double value = 0.0;
  std::string unit;
  while (meminfo >> key >> value >> unit) {
    if (key == "MemAvailable:") {
      bytes = value * 1024.0;
      break;
    }
  }
  if (bytes < 0.0) {
    const long pages = sysconf(_SC_AVPHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    bytes = pages > 0 && pageSize > 0 ? static_cast<double>(pages) * static_cast<double>(pageSize) : 1e300;
  }
  rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    bytes = std::min(bytes, static_cast<double>(limit.rlim_cur));
  return bytes;
}

void VolumeSizing::checkMemory(const PolygonStorage& fitted, int budget, double area, const char* advice) {
  int n[3];
  if (fitted.Vertices.empty() || !sizesFor(fitted, budget, n)) return;  // the pipeline says why
  const double voxels = static_cast<double>(n[0]) * n[1] * n[2];
  const double edge = voxelSize(fitted, budget);
  const double cells = edge > 0.0 ? FacesPerArea * area / (edge * edge) : 0.0;
  const double needed = voxels * MemoryPerVoxel + cells * MemoryPerSurfaceCell + MemoryBase;
  const double available = availableBytes();
  if (needed <= available) return;
  char text[400];
  std::snprintf(text, sizeof text,
                "Cannot allocate a volume of %d x %d x %d voxels (%.0f MiB needed, %.0f MiB available); %s", n[0], n[1],
                n[2], needed / 1048576.0, available / 1048576.0, advice);
  throw ProcessingError(text);
}

}  // namespace tessellor
