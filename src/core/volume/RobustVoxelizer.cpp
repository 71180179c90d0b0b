#include "volume/RobustVoxelizer.h"

#include <algorithm>
#include <cmath>

#include "base/NullInterrupter.h"
#include "base/StatusOutput.h"
#include "mesh/PolygonStorage.h"
#include "volume/GenericVolumeStorage.h"
#include "volume/LatticeBox.h"
#include "volume/StepProgress.h"
#include "volume/TriangleClosestPoint.h"
#include "volume/VolumeStorageSparse.h"
#include "volume/VoxelData.h"

namespace tessellor {

void RobustVoxelizer::repair(const PolygonStorage& mesh, int latticeBound) {
  Triangulation.build(mesh);
  Rays.setPositions(Triangulation.Positions, latticeBound);
  Orientation.orient(Triangulation.Positions, Triangulation.Triangles, Rays);
}

void RobustVoxelizer::voxelize(const PolygonStorage& mesh, GenericVolumeStorage& volume, StatusOutput& output,
                               NullInterrupter* interrupter) {
  const int size[3] = {volume.getXSize(), volume.getYSize(), volume.getZSize()};
  repair(mesh, std::max(size[0], std::max(size[1], size[2])));
  Winding.build(Rays, Triangulation.Positions, Triangulation.Triangles, size);

  // Distances: the exact closest point of every triangle with area, over the same lattice box as
  // the other modes, the smallest magnitude kept.
  const std::vector<V3>& positions = Triangulation.Positions;
  const std::vector<PolygonTriangulation::Triangle>& triangles = Triangulation.Triangles;
  struct Job {
    int Triangle;
    int Lo[3];
    int Hi[3];
  };
  std::vector<Job> jobs;
  jobs.reserve(triangles.size());
  for (std::size_t i = 0; i < triangles.size(); ++i) {
    if (Triangulation.doubleArea(i) == 0) continue;
    const PolygonTriangulation::Triangle& t = triangles[i];
    const V3& a = positions[static_cast<std::size_t>(t[0])];
    const V3& b = positions[static_cast<std::size_t>(t[1])];
    const V3& c = positions[static_cast<std::size_t>(t[2])];
    Job job{static_cast<int>(i), {}, {}};
    LatticeBox::of(vec3(a.x, a.y, a.z), vec3(b.x, b.y, b.z), vec3(c.x, c.y, c.z), size, job.Lo, job.Hi);
    jobs.push_back(job);
  }

  const float band = 1.9f;
  // The block volume is read and written through its distance blocks: only distances change here.
  VolumeStorageSparse* const blocks = dynamic_cast<VolumeStorageSparse*>(&volume);
  constexpr int Bits = VolumeStorageSparse::BlockBits, Mask = VolumeStorageSparse::BlockSize - 1;
  StepProgress progress(static_cast<int>(triangles.size()), output, interrupter);
  // Threads take ranges of x at once, each every triangle in order but only the lattice points of
  // its range: every point meets the triangles in the order of a single pass, so the volume is
  // the same for any number of threads.
  volume.forEachWriteRange(
      [&](int first, int last) {
        const int x0 = first, x1 = last - 1;
        VoxelData voxel;
        for (const Job& job : jobs) {
          if (job.Hi[0] < x0 || job.Lo[0] > x1) continue;
          const PolygonTriangulation::Triangle& t = triangles[static_cast<std::size_t>(job.Triangle)];
          const V3& a = positions[static_cast<std::size_t>(t[0])];
          const V3& b = positions[static_cast<std::size_t>(t[1])];
          const V3& c = positions[static_cast<std::size_t>(t[2])];
          const double da[3] = {a.x, a.y, a.z}, db[3] = {b.x, b.y, b.z}, dc[3] = {c.x, c.y, c.z};
          const TriangleClosestPoint triangle(da, db, dc);
          // A point as far from the triangle's plane as the band (with a margin far above the
          // rounding) is as far from the triangle: it is passed over without the exact search.
          // Only triangles whose normal is well defined take this test.
          const double e1[3] = {db[0] - da[0], db[1] - da[1], db[2] - da[2]};
          const double e2[3] = {dc[0] - da[0], dc[1] - da[1], dc[2] - da[2]};
          const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                               e1[0] * e2[1] - e1[1] * e2[0]};
          const double nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
          const double longest =
              std::max({e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2], e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2],
                        (e2[0] - e1[0]) * (e2[0] - e1[0]) + (e2[1] - e1[1]) * (e2[1] - e1[1]) +
                            (e2[2] - e1[2]) * (e2[2] - e1[2])});
          const bool planeTest = nn > 1e-12 * longest * longest;
          const double reach = (static_cast<double>(band) + 1e-4) * std::sqrt(nn);
          for (int x = std::max(job.Lo[0], x0); x <= std::min(job.Hi[0], x1); ++x)
            for (int y = job.Lo[1]; y <= job.Hi[1]; ++y) {
              const double row = n[0] * (x - da[0]) + n[1] * (y - da[1]);
              for (int z = job.Lo[2]; z <= job.Hi[2]; ++z) {
                if (planeTest && std::fabs(row + n[2] * (z - da[2])) >= reach) continue;
                const double q[3] = {static_cast<double>(x), static_cast<double>(y), static_cast<double>(z)};
                double p[3];
                triangle.find(q, p);
                const double w[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
                const float d = static_cast<float>(std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]));
                if (!(d < band)) continue;
                const int at = (x & Mask) + ((y & Mask) << Bits) + ((z & Mask) << (2 * Bits));
                if (blocks) {
                  const float* stored = blocks->distanceBlock(x >> Bits, y >> Bits, z >> Bits);
                  voxel.Distance = stored ? stored[at] : NoValue;
                } else {
                  volume.getVoxel(x, y, z, voxel);
                }
                if (std::fabs(voxel.Distance) > d) {
                  // The sign belongs to the lattice point, not to a triangle: it is decided once,
                  // when the point first gets a distance, and kept when a nearer triangle lowers it.
                  const bool inside =
                      voxel.Distance == NoValue ? Winding.inside(x, y, z) : std::signbit(voxel.Distance) != 0;
                  // -0.0 inside keeps the side of a point on the surface.
                  const float distance = inside ? -d : d;
                  if (blocks) {
                    blocks->touchDistanceBlock(x >> Bits, y >> Bits, z >> Bits)[at] = distance;
                  } else {
                    voxel.Distance = distance;
                    volume.setVoxel(x, y, z, voxel);
                  }
                }
              }
            }
        }
      },
      [&](int x) { progress.reach(static_cast<double>(x) / std::max(size[0], 1)); });
  progress.reach(1.0);
}

void RobustVoxelizer::repairedMesh(PolygonStorage& out) const {
  out.clear();
  for (const V3& p : Triangulation.Positions) {
    Vertex v;
    v.pos = p;
    out.addVertex(v);
  }
  for (std::size_t t = 0; t < Triangulation.Triangles.size(); ++t) {
    if (Triangulation.doubleArea(t) == 0) continue;
    const PolygonTriangulation::Triangle& tri = Triangulation.Triangles[t];
    out.Polygons.push_back({tri[0], tri[1], tri[2]});
  }
  out.buildIndex();
  out.computeMidpoints();
  out.computeVertexNormals();
  out.computeBoundingBox();
}

}  // namespace tessellor
