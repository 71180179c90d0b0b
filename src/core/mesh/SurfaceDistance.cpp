#include "mesh/SurfaceDistance.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// The float next to a finite or infinite f towards minus or plus infinity, as std::nextafter
// gives it, by a step of its bit pattern.
float stepDown(float f) {
  if (f == 0.0f) return -std::numeric_limits<float>::denorm_min();
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  bits = f > 0.0f ? bits - 1 : bits + 1;
  std::memcpy(&f, &bits, sizeof bits);
  return f;
}

float stepUp(float f) { return -stepDown(-f); }

// The nearest float at or below x, and at or above it.
float roundDown(double x) {
  const float f = static_cast<float>(x);
  return static_cast<double>(f) > x ? stepDown(f) : f;
}

float roundUp(double x) {
  const float f = static_cast<float>(x);
  return static_cast<double>(f) < x ? stepUp(f) : f;
}

}  // namespace

SurfaceDistance::SurfaceDistance(const PolygonStorage& mesh, std::size_t queries) {
  Points.resize(mesh.Vertices.size());
  forEachRange(static_cast<int>(Points.size()), 1 << 14, [&](int begin, int end) {
    for (int v = begin; v < end; ++v) {
      const V3 f = mesh.fileCoordinates(mesh.Vertices[v].pos);
      Points[v] = {f.x, f.y, f.z};
    }
  });
  const int vertexCount = static_cast<int>(Points.size());
  const int polygonCount = static_cast<int>(mesh.Polygons.size());
  // The fan triangles of polygon f that have an area; those without are covered by their
  // neighbours and would divide by zero.
  const auto forEachFan = [&](int f, const auto& visit) {
    const VertexIDList& polygon = mesh.Polygons[f];
    if (polygon.size() < 3) return;
    for (int id : polygon)
      if (id < 0 || id >= vertexCount) return;
    for (std::size_t i = 1; i + 1 < polygon.size(); ++i) {
      const P3& a = Points[polygon[0]];
      const P3 ab = sub(Points[polygon[i]], a), ac = sub(Points[polygon[i + 1]], a);
      const P3 n = {ab[1] * ac[2] - ab[2] * ac[1], ab[2] * ac[0] - ab[0] * ac[2], ab[0] * ac[1] - ab[1] * ac[0]};
      if (!(dot(n, n) > 0.0)) continue;
      visit(std::array<int, 3>{polygon[0], polygon[i], polygon[i + 1]}, ab, ac);
    }
  };
  // Polygons and triangles are taken in blocks of a fixed size, in parallel, and the blocks are
  // joined in order, so that the sums and the layout below do not depend on the thread count.
  constexpr int BlockSize = 1 << 13;
  const int polygonBlocks = (polygonCount + BlockSize - 1) / BlockSize;
  struct FanBlock {
    int Triangles = 0;
    double EdgeSum = 0.0;
    P3 Min{}, Max{};
  };
  std::vector<FanBlock> fanBlocks(static_cast<std::size_t>(polygonBlocks));
  forEachRange(polygonBlocks, 1, [&](int begin, int end) {
    for (int b = begin; b < end; ++b) {
      FanBlock& block = fanBlocks[b];
      for (int f = b * BlockSize; f < std::min(polygonCount, (b + 1) * BlockSize); ++f)
        forEachFan(f, [&](const std::array<int, 3>& t, const P3& ab, const P3& ac) {
          if (block.Triangles++ == 0) block.Min = block.Max = Points[t[0]];
          block.EdgeSum += std::sqrt(dot(ab, ab)) + std::sqrt(dot(ac, ac));
          for (int id : t)
            for (int i = 0; i < 3; ++i) {
              block.Min[i] = std::min(block.Min[i], Points[id][i]);
              block.Max[i] = std::max(block.Max[i], Points[id][i]);
            }
        });
    }
  });
  std::vector<int> fanStart(static_cast<std::size_t>(polygonBlocks) + 1, 0);
  double edgeSum = 0.0;
  for (int b = 0; b < polygonBlocks; ++b) {
    const FanBlock& block = fanBlocks[b];
    fanStart[b + 1] = fanStart[b] + block.Triangles;
    if (block.Triangles == 0) continue;
    if (fanStart[b] == 0) {
      Min = block.Min;
      Max = block.Max;
    }
    edgeSum += block.EdgeSum;
    for (int i = 0; i < 3; ++i) {
      Min[i] = std::min(Min[i], block.Min[i]);
      Max[i] = std::max(Max[i], block.Max[i]);
    }
  }
  const int triangleCount = fanStart[polygonBlocks];
  if (triangleCount == 0) return;

  // Buckets about twice a typical edge (a quarter of one when many queries will come: a query
  // then tests a few boxes instead of a dozen), and never more than about 4 million of them.
  const double extent = std::max({Max[0] - Min[0], Max[1] - Min[1], Max[2] - Min[2]});
  const double edges = queries > 4 * static_cast<std::size_t>(triangleCount) ? 0.25 : 2.0;
  CellSize = std::max(edgeSum / (2.0 * static_cast<double>(triangleCount)) * edges, extent / 160.0);
  if (!(CellSize > 0.0)) CellSize = 1.0;
  for (int i = 0; i < 3; ++i) Cells[i] = std::max(1, static_cast<int>((Max[i] - Min[i]) / CellSize) + 1);
  const std::size_t buckets = static_cast<std::size_t>(Cells[0]) * Cells[1] * Cells[2];
  // At most 161 cells along an axis, as CellSize is at least a 160th of the extent.
  UninitializedVector<std::array<std::uint16_t, 6>> boxes(static_cast<std::size_t>(triangleCount));
  Triangles.resize(static_cast<std::size_t>(triangleCount));
  Boxes.resize(static_cast<std::size_t>(triangleCount));
  forEachRange(polygonBlocks, 1, [&](int begin, int end) {
    for (int b = begin; b < end; ++b) {
      int t = fanStart[b];
      for (int f = b * BlockSize; f < std::min(polygonCount, (b + 1) * BlockSize); ++f)
        forEachFan(f, [&](const std::array<int, 3>& triangle, const P3&, const P3&) {
          Triangles[t] = triangle;
          for (int i = 0; i < 3; ++i) {
            double low = Points[triangle[0]][i], high = low;
            for (int id : triangle) {
              low = std::min(low, Points[id][i]);
              high = std::max(high, Points[id][i]);
            }
            Boxes[t][i] = roundDown(low);
            Boxes[t][3 + i] = roundUp(high);
            boxes[t][i] = static_cast<std::uint16_t>(cellOf(low, i));
            boxes[t][3 + i] = static_cast<std::uint16_t>(cellOf(high, i));
          }
          ++t;
        });
    }
  });

  // Per slab of cells along x, the triangles that reach into it, ascending: counted per block of
  // triangles, then written per block after those of the blocks before it.
  const int slabs = Cells[0];
  const int triangleBlocks = (triangleCount + BlockSize - 1) / BlockSize;
  const auto blockEnd = [&](int b) { return std::min(triangleCount, (b + 1) * BlockSize); };
  std::vector<int> slabOffset(static_cast<std::size_t>(triangleBlocks) * slabs, 0);
  forEachRange(triangleBlocks, 1, [&](int begin, int end) {
    for (int b = begin; b < end; ++b)
      for (int t = b * BlockSize; t < blockEnd(b); ++t)
        for (int x = boxes[t][0]; x <= boxes[t][3]; ++x) ++slabOffset[static_cast<std::size_t>(b) * slabs + x];
  });
  std::vector<int> slabStart(static_cast<std::size_t>(slabs) + 1, 0);
  for (int x = 0, running = 0; x < slabs; ++x) {
    for (int b = 0; b < triangleBlocks; ++b) {
      int& offset = slabOffset[static_cast<std::size_t>(b) * slabs + x];
      const int count = offset;
      offset = running;
      running += count;
    }
    slabStart[x + 1] = running;
  }
  UninitializedVector<int> slabTriangles(static_cast<std::size_t>(slabStart[slabs]));
  forEachRange(triangleBlocks, 1, [&](int begin, int end) {
    for (int b = begin; b < end; ++b)
      for (int t = b * BlockSize; t < blockEnd(b); ++t)
        for (int x = boxes[t][0]; x <= boxes[t][3]; ++x)
          slabTriangles[slabOffset[static_cast<std::size_t>(b) * slabs + x]++] = t;
  });

  // The buckets of one slab are consecutive; each slab counts, then fills its own buckets from its
  // ascending triangles, so every bucket lists its triangles ascending.
  const int slabBuckets = Cells[1] * Cells[2];
  const auto forEachCell = [&](int x, const auto& visit) {
    for (int k = slabStart[x]; k < slabStart[x + 1]; ++k) {
      const int t = slabTriangles[k];
      const std::array<std::uint16_t, 6>& box = boxes[t];
      for (int y = box[1]; y <= box[4]; ++y)
        for (int z = box[2]; z <= box[5]; ++z) visit(cellIndex(x, y, z), t);
    }
  };
  BucketStart.resize(buckets + 1);
  BucketStart[0] = 0;
  std::vector<int> bucketsBefore(static_cast<std::size_t>(slabs) + 1, 0);
  forEachRange(slabs, 1, [&](int begin, int end) {
    for (int x = begin; x < end; ++x) {
      // Bucket b counts at BucketStart[b + 1].
      std::fill_n(BucketStart.begin() + static_cast<std::ptrdiff_t>(x) * slabBuckets + 1, slabBuckets, 0);
      int entries = 0;
      forEachCell(x, [&](int cell, int) {
        ++BucketStart[static_cast<std::size_t>(cell) + 1];
        ++entries;
      });
      bucketsBefore[x + 1] = entries;
    }
  });
  for (int x = 0; x < slabs; ++x) bucketsBefore[x + 1] += bucketsBefore[x];
  BucketTriangles.resize(static_cast<std::size_t>(bucketsBefore[slabs]));
  forEachRange(slabs, 1, [&](int begin, int end) {
    // Where the next triangle of each bucket of the slab goes; the bucket bounds become sums.
    std::vector<int> next(static_cast<std::size_t>(slabBuckets));
    for (int x = begin; x < end; ++x) {
      const int first = x * slabBuckets;
      int running = bucketsBefore[x];
      for (int b = 0; b < slabBuckets; ++b) {
        next[b] = running;
        running += BucketStart[static_cast<std::size_t>(first + b) + 1];
        BucketStart[static_cast<std::size_t>(first + b) + 1] = running;
      }
      forEachCell(x, [&](int cell, int t) { BucketTriangles[static_cast<std::size_t>(next[cell - first]++)] = t; });
    }
  });
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
