#pragma once

// A mesh, a volume and the voxelizer wired to them, and reference distances for checking it:
// simple, and independent of the code under test.

#include <algorithm>
#include <cmath>

#include "support/RecordingOutput.h"
#include "support/TestMeshes.h"
#include "volume/PolygonStorageVoxelizerDual.h"
#include "volume/SharpFeatures.h"
#include "volume/VolumeStorageDF.h"

using namespace tessellor;

namespace fixtures {

struct VoxelizerRig {
  PolygonStorage Mesh;
  VolumeStorageDF Volume;
  SharpFeatures Features;
  PolygonStorageVoxelizerDual Voxelizer;
  RecordingOutput Output;

  explicit VoxelizerRig(int n = 10, bool exact = false) {
    Volume.resize(n, n, n);
    Volume.clear();
    Features.setMesh(&Mesh);
    Voxelizer.setStatusOutput(&Output);
    Voxelizer.setVolume(&Volume);
    Voxelizer.setMesh(&Mesh);
    Voxelizer.setSharpFeatures(&Features);
    Voxelizer.setMode(exact ? VoxelizationMode::Exact : VoxelizationMode::Classic);
  }
  void mesh(const std::vector<V3>& positions, const std::vector<VertexIDList>& polygons) {
    testmeshes::build(Mesh, {"", positions, polygons, 0});
  }
  const VoxelData& voxel(int x, int y, int z) const { return Volume.Voxels[Volume.index(x, y, z)]; }
  float distance(int x, int y, int z) const { return voxel(x, y, z).Distance; }
};

// Closest distance from q to a triangle by projection onto its plane (inside test by edge sides)
// or else the nearest of its three edges: a different route from the ones under test.
inline double referenceDistance(const double q[3], const V3& A, const V3& B, const V3& C) {
  const double a[3] = {A.x, A.y, A.z}, b[3] = {B.x, B.y, B.z}, c[3] = {C.x, C.y, C.z};
  auto sub = [](const double* u, const double* v, double* r) {
    for (int k = 0; k < 3; ++k) r[k] = u[k] - v[k];
  };
  auto dot = [](const double* u, const double* v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
  auto cross = [](const double* u, const double* v, double* r) {
    r[0] = u[1] * v[2] - u[2] * v[1];
    r[1] = u[2] * v[0] - u[0] * v[2];
    r[2] = u[0] * v[1] - u[1] * v[0];
  };
  double e1[3], e2[3], n[3], qa[3];
  sub(b, a, e1);
  sub(c, a, e2);
  cross(e1, e2, n);
  sub(q, a, qa);
  const double nn = dot(n, n), h = dot(qa, n) / nn;
  const double proj[3] = {q[0] - h * n[0], q[1] - h * n[1], q[2] - h * n[2]};
  const double* corners[3] = {a, b, c};
  bool inside = true;
  double best = 1e300;
  for (int k = 0; k < 3; ++k) {
    double edge[3], rel[3], side[3], relq[3];
    sub(corners[(k + 1) % 3], corners[k], edge);
    sub(proj, corners[k], rel);
    cross(edge, rel, side);
    inside = inside && dot(side, n) >= 0;
    sub(q, corners[k], relq);
    const double t = std::min(1.0, std::max(0.0, dot(relq, edge) / dot(edge, edge)));
    const double r[3] = {relq[0] - t * edge[0], relq[1] - t * edge[1], relq[2] - t * edge[2]};
    best = std::min(best, std::sqrt(dot(r, r)));
  }
  return inside ? std::fabs(h) * std::sqrt(nn) : best;
}

// Winding number of a closed triangle mesh around q: about 1 inside an outward-oriented mesh.
inline double windingNumber(const PolygonStorage& mesh, const double q[3]) {
  double sum = 0;
  for (const VertexIDList& t : mesh.Polygons) {
    double r[3][3], len[3];
    for (int k = 0; k < 3; ++k) {
      const V3& p = mesh.Vertices[t[k]].pos;
      const double d[3] = {p.x - q[0], p.y - q[1], p.z - q[2]};
      std::copy(d, d + 3, r[k]);
      len[k] = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    }
    auto dot = [](const double* u, const double* v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
    const double triple = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
                          r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                          r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
    const double below =
        len[0] * len[1] * len[2] + dot(r[0], r[1]) * len[2] + dot(r[0], r[2]) * len[1] + dot(r[1], r[2]) * len[0];
    sum += 2 * std::atan2(triple, below);
  }
  return sum / (4 * 3.14159265358979323846);
}

}  // namespace fixtures
