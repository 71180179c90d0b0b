#pragma once

// Small meshes for the voxelizer and feature tests, built the way the importer builds them:
// vertices and polygons, then buildIndex, computeMidpoints, computeVertexNormals.

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "mesh/PolygonStorage.h"
#include "pipeline/StatusOutput.h"

namespace fixtures {

inline void finish(PolygonStorage& mesh) {
  mesh.buildIndex();
  mesh.computeMidpoints();
  mesh.computeVertexNormals();
  mesh.computeBoundingBox();
}

inline int vertex(PolygonStorage& mesh, float x, float y, float z) {
  Vertex v;
  v.pos = V3{x, y, z};
  return mesh.addVertex(v);
}

// Regular octahedron with corners at centre +- r on each axis, outward oriented.
inline void octahedron(PolygonStorage& mesh, float cx, float cy, float cz, float r) {
  mesh.clear();
  const int px = vertex(mesh, cx + r, cy, cz), nx = vertex(mesh, cx - r, cy, cz);
  const int py = vertex(mesh, cx, cy + r, cz), ny = vertex(mesh, cx, cy - r, cz);
  const int pz = vertex(mesh, cx, cy, cz + r), nz = vertex(mesh, cx, cy, cz - r);
  mesh.addTriangle(px, py, pz);
  mesh.addTriangle(py, nx, pz);
  mesh.addTriangle(nx, ny, pz);
  mesh.addTriangle(ny, px, pz);
  mesh.addTriangle(py, px, nz);
  mesh.addTriangle(nx, py, nz);
  mesh.addTriangle(ny, nx, nz);
  mesh.addTriangle(px, ny, nz);
  finish(mesh);
}

// Icosahedron subdivided `levels` times and projected onto a sphere: closed, convex, outward.
inline void icosphere(PolygonStorage& mesh, float cx, float cy, float cz, float r, int levels) {
  mesh.clear();
  const double g = (1.0 + std::sqrt(5.0)) / 2.0;
  std::vector<std::array<double, 3>> p = {{-1, g, 0},  {1, g, 0},  {-1, -g, 0}, {1, -g, 0}, {0, -1, g},  {0, 1, g},
                                          {0, -1, -g}, {0, 1, -g}, {g, 0, -1},  {g, 0, 1},  {-g, 0, -1}, {-g, 0, 1}};
  std::vector<std::array<int, 3>> f = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                       {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                       {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                       {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
  for (int level = 0; level < levels; ++level) {
    std::vector<std::array<int, 3>> next;
    std::map<std::pair<int, int>, int> mid;
    auto middle = [&](int a, int b) {
      const auto key = std::make_pair(std::min(a, b), std::max(a, b));
      const auto it = mid.find(key);
      if (it != mid.end()) return it->second;
      p.push_back({(p[a][0] + p[b][0]) / 2, (p[a][1] + p[b][1]) / 2, (p[a][2] + p[b][2]) / 2});
      return mid[key] = static_cast<int>(p.size()) - 1;
    };
    for (const auto& t : f) {
      const int ab = middle(t[0], t[1]), bc = middle(t[1], t[2]), ca = middle(t[2], t[0]);
      next.push_back({t[0], ab, ca});
      next.push_back({t[1], bc, ab});
      next.push_back({t[2], ca, bc});
      next.push_back({ab, bc, ca});
    }
    f.swap(next);
  }
  for (const auto& q : p) {
    const double l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    vertex(mesh, static_cast<float>(cx + r * q[0] / l), static_cast<float>(cy + r * q[1] / l),
           static_cast<float>(cz + r * q[2] / l));
  }
  for (const auto& t : f) mesh.addTriangle(t[0], t[1], t[2]);
  finish(mesh);
}

// Records every call, repeated progress values included.
class CallLog final : public StatusOutput {
 public:
  void writeLine(const char* text) override { Lines.emplace_back(text); }
  void setProgress(int percent) override { Progress.push_back(percent); }
  void beginTask(const char* name) override { Lines.push_back(std::string("begin ") + name); }
  void endTask() override { Lines.emplace_back("end"); }
  std::vector<std::string> Lines;
  std::vector<int> Progress;
};

}  // namespace fixtures
