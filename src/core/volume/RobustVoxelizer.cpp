#include "volume/RobustVoxelizer.h"

#include <algorithm>
#include <cmath>

#include "base/NullInterrupter.h"
#include "base/StatusOutput.h"
#include "mesh/PolygonStorage.h"
#include "volume/GenericVolumeStorage.h"
#include "volume/LatticeBox.h"
#include "volume/TriangleClosestPoint.h"
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
  // the other modes, the smallest magnitude kept. The sign belongs to the lattice point, not to a
  // triangle: it is decided once, when the point first gets a distance, and kept when a nearer
  // triangle lowers it.
  const std::vector<V3>& positions = Triangulation.Positions;
  const std::vector<PolygonTriangulation::Triangle>& triangles = Triangulation.Triangles;
  const int count = static_cast<int>(triangles.size());
  int step = count / 90;
  if (step == 0) step = 1;
  int progress = 10;
  const float band = 1.9f;
  VoxelData voxel;
  for (int i = 0; i < count; ++i) {
    if (i % step == 0) {
      throwIfInterrupted(interrupter, progress);
      output.setProgress(progress++);
    }
    if (Triangulation.doubleArea(static_cast<std::size_t>(i)) == 0) continue;
    const PolygonTriangulation::Triangle& t = triangles[static_cast<std::size_t>(i)];
    const V3& a = positions[static_cast<std::size_t>(t[0])];
    const V3& b = positions[static_cast<std::size_t>(t[1])];
    const V3& c = positions[static_cast<std::size_t>(t[2])];
    int lo[3], hi[3];
    LatticeBox::of(vec3(a.x, a.y, a.z), vec3(b.x, b.y, b.z), vec3(c.x, c.y, c.z), size, lo, hi);
    const double da[3] = {a.x, a.y, a.z}, db[3] = {b.x, b.y, b.z}, dc[3] = {c.x, c.y, c.z};
    const TriangleClosestPoint triangle(da, db, dc);
    for (int x = lo[0]; x <= hi[0]; ++x)
      for (int y = lo[1]; y <= hi[1]; ++y)
        for (int z = lo[2]; z <= hi[2]; ++z) {
          const double q[3] = {static_cast<double>(x), static_cast<double>(y), static_cast<double>(z)};
          double p[3];
          triangle.find(q, p);
          const double w[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
          const float d = static_cast<float>(std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]));
          volume.getVoxel(x, y, z, voxel);
          if (d < band && std::fabs(voxel.Distance) > d) {
            const bool inside = voxel.Distance == NoValue ? Winding.inside(x, y, z) : std::signbit(voxel.Distance) != 0;
            // -0.0 inside keeps the side of a point on the surface.
            voxel.Distance = inside ? -d : d;
            volume.setVoxel(x, y, z, voxel);
          }
        }
  }
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
