#include "mesh/SurfaceDistance.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/Parallel.h"
#include "mesh/PolygonStorage.h"

namespace tessellor {

namespace {

using P3 = std::array<double, 3>;

P3 sub(const P3& a, const P3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const P3& a, const P3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Squared distance from p to the triangle abc, by the Voronoi regions of its corners, edges and
// face (Ericson, Real-Time Collision Detection, 5.1.5).
double squaredDistance(const P3& p, const P3& a, const P3& b, const P3& c) {
  const P3 ab = sub(b, a), ac = sub(c, a), ap = sub(p, a);
  const auto at = [&](double v, double w) {
    P3 q;
    for (int i = 0; i < 3; ++i) q[i] = a[i] + ab[i] * v + ac[i] * w - p[i];
    return dot(q, q);
  };
  const double d1 = dot(ab, ap), d2 = dot(ac, ap);
  if (d1 <= 0.0 && d2 <= 0.0) return dot(ap, ap);
  const P3 bp = sub(p, b);
  const double d3 = dot(ab, bp), d4 = dot(ac, bp);
  if (d3 >= 0.0 && d4 <= d3) return dot(bp, bp);
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) return at(d1 / (d1 - d3), 0.0);
  const P3 cp = sub(p, c);
  const double d5 = dot(ab, cp), d6 = dot(ac, cp);
  if (d6 >= 0.0 && d5 <= d6) return dot(cp, cp);
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) return at(0.0, d2 / (d2 - d6));
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0.0 && (d4 - d3) >= 0.0 && (d5 - d6) >= 0.0) {
    const double w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
    return at(1.0 - w, w);
  }
  const double denom = 1.0 / (va + vb + vc);
  return at(vb * denom, vc * denom);
}

// The nearest float at or below x, and at or above it.
float roundDown(double x) {
  float f = static_cast<float>(x);
  if (static_cast<double>(f) > x) f = std::nextafter(f, -std::numeric_limits<float>::infinity());
  return f;
}

float roundUp(double x) {
  float f = static_cast<float>(x);
  if (static_cast<double>(f) < x) f = std::nextafter(f, std::numeric_limits<float>::infinity());
  return f;
}

}  // namespace

SurfaceDistance::SurfaceDistance(const PolygonStorage& mesh) {
  Points.resize(mesh.Vertices.size());
  forEachRange(static_cast<int>(Points.size()), 1 << 14, [&](int begin, int end) {
    for (int v = begin; v < end; ++v) {
      const V3 f = mesh.fileCoordinates(mesh.Vertices[v].pos);
      Points[v] = {f.x, f.y, f.z};
    }
  });
  const int vertexCount = static_cast<int>(Points.size());
  double edgeSum = 0.0;
  for (const VertexIDList& polygon : mesh.Polygons) {
    if (polygon.size() < 3) continue;
    bool valid = true;
    for (int id : polygon) valid = valid && id >= 0 && id < vertexCount;
    if (!valid) continue;
    for (std::size_t i = 1; i + 1 < polygon.size(); ++i) {
      const P3& a = Points[polygon[0]];
      const P3 ab = sub(Points[polygon[i]], a), ac = sub(Points[polygon[i + 1]], a);
      const P3 n = {ab[1] * ac[2] - ab[2] * ac[1], ab[2] * ac[0] - ab[0] * ac[2], ab[0] * ac[1] - ab[1] * ac[0]};
      // Triangles without area are covered by their neighbours and would divide by zero.
      if (!(dot(n, n) > 0.0)) continue;
      Triangles.push_back({polygon[0], polygon[i], polygon[i + 1]});
      edgeSum += std::sqrt(dot(ab, ab)) + std::sqrt(dot(ac, ac));
    }
  }
  if (Triangles.empty()) return;

  Min = Max = Points[Triangles[0][0]];
  for (const auto& t : Triangles)
    for (int id : t)
      for (int i = 0; i < 3; ++i) {
        Min[i] = std::min(Min[i], Points[id][i]);
        Max[i] = std::max(Max[i], Points[id][i]);
      }
  // Buckets about twice a typical edge, and never more than about 4 million of them.
  const double extent = std::max({Max[0] - Min[0], Max[1] - Min[1], Max[2] - Min[2]});
  CellSize = std::max(edgeSum / (2.0 * static_cast<double>(Triangles.size())) * 2.0, extent / 160.0);
  if (!(CellSize > 0.0)) CellSize = 1.0;
  for (int i = 0; i < 3; ++i) Cells[i] = std::max(1, static_cast<int>((Max[i] - Min[i]) / CellSize) + 1);
  // Two sweeps over the triangles: count per bucket, then fill in ascending triangle order.
  const std::size_t buckets = static_cast<std::size_t>(Cells[0]) * Cells[1] * Cells[2];
  // At most 161 cells along an axis, as CellSize is at least a 160th of the extent.
  std::vector<std::array<std::uint16_t, 6>> boxes(Triangles.size());
  Boxes.resize(Triangles.size());
  forEachRange(static_cast<int>(Triangles.size()), 1 << 14, [&](int begin, int end) {
    for (int t = begin; t < end; ++t) {
      for (int i = 0; i < 3; ++i) {
        double a = Points[Triangles[t][0]][i], b = a;
        for (int id : Triangles[t]) {
          a = std::min(a, Points[id][i]);
          b = std::max(b, Points[id][i]);
        }
        Boxes[t][i] = roundDown(a);
        Boxes[t][3 + i] = roundUp(b);
        boxes[t][i] = static_cast<std::uint16_t>(cellOf(a, i));
        boxes[t][3 + i] = static_cast<std::uint16_t>(cellOf(b, i));
      }
    }
  });
  BucketStart.assign(buckets + 1, 0);
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      for (std::size_t b = 0; b < buckets; ++b) BucketStart[b + 1] += BucketStart[b];
      BucketTriangles.resize(static_cast<std::size_t>(BucketStart[buckets]));
    }
    std::vector<int> next(pass == 1 ? BucketStart.begin() : BucketStart.end(), BucketStart.end());
    for (int t = 0; t < static_cast<int>(Triangles.size()); ++t) {
      const std::array<std::uint16_t, 6>& box = boxes[t];
      for (int x = box[0]; x <= box[3]; ++x)
        for (int y = box[1]; y <= box[4]; ++y)
          for (int z = box[2]; z <= box[5]; ++z) {
            const int cell = cellIndex(x, y, z);
            if (pass == 0)
              ++BucketStart[static_cast<std::size_t>(cell) + 1];
            else
              BucketTriangles[static_cast<std::size_t>(next[cell]++)] = t;
          }
    }
  }
}

double SurfaceDistance::distance(const P3& p, int& hint) const {
  if (Triangles.empty()) return -1.0;
  int centre[3];
  // How far p lies outside the grid, so that the shells start where it can first meet triangles.
  double outside = 0.0;
  for (int i = 0; i < 3; ++i) {
    centre[i] = cellOf(p[i], i);
    const double below = Min[i] - p[i], above = p[i] - (Min[i] + Cells[i] * CellSize);
    outside = std::max({outside, below, above});
  }
  // Buckets and triangles whose boxes lie farther from p than the nearest triangle so far cannot
  // hold a nearer one. The margin covers the rounding of the boxes and of the distances.
  const double margin = 1e-6 * CellSize;
  double best = std::numeric_limits<double>::infinity();
  double limit = best;  // (sqrt(best) + margin)^2
  const auto consider = [&](int t) {
    const std::array<float, 6>& box = Boxes[t];
    double d2 = 0.0;
    for (int i = 0; i < 3; ++i) {
      const double d = std::max({0.0, box[i] - p[i], p[i] - box[3 + i]});
      d2 += d * d;
    }
    if (d2 > limit) return;
    const auto& tri = Triangles[t];
    const double d = squaredDistance(p, Points[tri[0]], Points[tri[1]], Points[tri[2]]);
    if (d < best) {
      best = d;
      hint = t;
      const double reach = std::sqrt(best) + margin;
      limit = reach * reach;
    }
  };
  // The distance from p to the slab of cells c along axis i; the outer cells reach to infinity,
  // as the buckets of the border cells hold everything beyond the grid.
  const auto slab = [&](int c, int i) {
    const double low = c == 0 ? -std::numeric_limits<double>::infinity() : Min[i] + c * CellSize;
    const double high = c == Cells[i] - 1 ? std::numeric_limits<double>::infinity() : Min[i] + (c + 1) * CellSize;
    const double d = std::max({0.0, low - p[i], p[i] - high});
    return d * d;
  };
  // The hinted triangle first, so that the boxes prune from the start; the buckets skip it.
  const int seed = hint >= 0 && hint < static_cast<int>(Triangles.size()) ? hint : -1;
  if (seed >= 0) consider(seed);
  const int maxShell = std::max({Cells[0], Cells[1], Cells[2]});
  for (int r = 0; r <= maxShell; ++r) {
    // Triangles not yet visited lie only in cells r or more steps away from p's (clamped) cell:
    // at least (r - 1) cells away along one axis, and at least `outside` away from the grid.
    const double steps = std::max(0.0, (r - 1) * CellSize);
    double reach2 = steps * steps + outside * outside;
    if (r > 0 && outside == 0.0) {
      // Sharper for a point inside the grid: every triangle not yet visited lies outside the box
      // of the cells already searched, beyond one of its faces that is not the grid's border.
      // The margin covers the rounding of the bucket bounds.
      double reach = std::numeric_limits<double>::infinity();
      for (int i = 0; i < 3; ++i) {
        if (centre[i] - (r - 1) > 0) reach = std::min(reach, p[i] - (Min[i] + (centre[i] - (r - 1)) * CellSize));
        if (centre[i] + r < Cells[i]) reach = std::min(reach, (Min[i] + (centre[i] + r) * CellSize) - p[i]);
      }
      reach -= 1e-6 * CellSize;
      if (reach > 0.0) reach2 = std::max(reach2, reach * reach);
    }
    if (best <= reach2) break;
    // Only the surface of the shell is new.
    for (int x = std::max(0, centre[0] - r); x <= std::min(Cells[0] - 1, centre[0] + r); ++x) {
      const double dx = slab(x, 0);
      if (dx > limit) continue;
      const bool xFace = std::abs(x - centre[0]) == r;
      for (int y = std::max(0, centre[1] - r); y <= std::min(Cells[1] - 1, centre[1] + r); ++y) {
        const double dxy = dx + slab(y, 1);
        if (dxy > limit) continue;
        const bool face = xFace || std::abs(y - centre[1]) == r;
        const int zStep = face || r == 0 ? 1 : 2 * r;
        for (int z = centre[2] - r; z <= centre[2] + r; z += zStep) {
          if (z < 0 || z >= Cells[2]) continue;
          if (dxy + slab(z, 2) > limit) continue;
          const int cell = cellIndex(x, y, z);
          for (int k = BucketStart[cell]; k < BucketStart[cell + 1]; ++k)
            if (BucketTriangles[k] != seed) consider(BucketTriangles[k]);
        }
      }
    }
  }
  return std::sqrt(best);
}

}  // namespace tessellor
