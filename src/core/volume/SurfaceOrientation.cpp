#include "volume/SurfaceOrientation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <utility>

#include "base/BucketSort.h"
#include "base/Parallel.h"
#include "volume/AxisRayCrossing.h"

namespace tessellor {

namespace {

// Corners of a component tested against each other component: its extreme corners on each axis
// (where a body that overlaps another most likely leaves it), and corners spread over it.
constexpr std::size_t EvenSamples = 16;

std::uint64_t edgeKey(int a, int b) {
  const std::uint32_t lo = static_cast<std::uint32_t>(std::min(a, b)), hi = static_cast<std::uint32_t>(std::max(a, b));
  return (static_cast<std::uint64_t>(lo) << 32) | hi;
}

float coordinate(const V3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

void raiseTo(std::atomic<int>& value, int at) {
  for (int seen = value.load(); at > seen && !value.compare_exchange_weak(seen, at);) {
  }
}

}  // namespace

void SurfaceOrientation::orient(const std::vector<V3>& positions, std::vector<Triangle>& triangles,
                                const AxisRayCrossing& rays) {
  Components = ClosedComponents = Cavities = Turned = 0;
  removeDuplicates(triangles);
  linkAndWalk(triangles);

  // Signed volume, bounds and sample corners of each component, as oriented by the walk.
  for (Component& part : Parts) {
    int extreme[6] = {0, 0, 0, 0, 0, 0};
    const V3& origin = positions[static_cast<std::size_t>(
        triangles[static_cast<std::size_t>(Order[static_cast<std::size_t>(part.FirstTriangle)])][0])];
    const double o[3] = {origin.x, origin.y, origin.z};
    double volume = 0, area = 0, openLength = 0;
    for (int i = part.FirstTriangle; i < part.LastTriangle; ++i) {
      const int t = Order[static_cast<std::size_t>(i)];
      Triangle tri = triangles[static_cast<std::size_t>(t)];
      if (Flip[static_cast<std::size_t>(t)]) std::swap(tri[1], tri[2]);
      double p[3][3];
      for (int k = 0; k < 3; ++k) {
        const V3& q = positions[static_cast<std::size_t>(tri[k])];
        p[k][0] = q.x - o[0];
        p[k][1] = q.y - o[1];
        p[k][2] = q.z - o[2];
        if (Neighbour[3 * static_cast<std::size_t>(t) + static_cast<std::size_t>(k)] < 0) {
          const V3& a = positions[static_cast<std::size_t>(triangles[static_cast<std::size_t>(t)][k])];
          const V3& b = positions[static_cast<std::size_t>(triangles[static_cast<std::size_t>(t)][(k + 1) % 3])];
          const double d[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
          openLength += std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        }
        for (int axis = 0; axis < 3; ++axis) {
          const float c = coordinate(q, axis);
          if ((i == part.FirstTriangle && k == 0) || c < part.Lo[axis]) {
            part.Lo[axis] = c;
            extreme[2 * axis] = tri[k];
          }
          if ((i == part.FirstTriangle && k == 0) || c > part.Hi[axis]) {
            part.Hi[axis] = c;
            extreme[2 * axis + 1] = tri[k];
          }
        }
      }
      volume += p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) - p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
                p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
      const double e1[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
      const double e2[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
      const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
      area += 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    }
    part.Volume = volume / 6.0;
    // A piece encloses a volume when its open and non-manifold edges are short against its size
    // (a closed piece, or one with small holes); a sheet or a dome does not, and takes no part in
    // the nesting.
    part.Solid = volume != 0 && openLength * openLength < area;
    part.Samples.assign(extreme, extreme + 6);
    const int stride = std::max(1, (part.LastTriangle - part.FirstTriangle) / static_cast<int>(EvenSamples));
    for (int i = part.FirstTriangle; i < part.LastTriangle; i += stride)
      part.Samples.push_back(triangles[static_cast<std::size_t>(Order[static_cast<std::size_t>(i)])][0]);
  }

  // Nesting depth: the number of other components that hold each one. Only solid pieces count,
  // and one holds another only when its bounds contain the other's bounds. A sweep along x keeps
  // the pieces whose x range contains the current piece's start, so that many small separate
  // pieces cost no more than their number.
  std::vector<int> depth(Parts.size(), 0);
  std::vector<int> solid, active;
  for (std::size_t c = 0; c < Parts.size(); ++c)
    if (Parts[c].Solid) solid.push_back(static_cast<int>(c));
  std::sort(solid.begin(), solid.end(), [this](int a, int b) {
    return Parts[static_cast<std::size_t>(a)].Lo[0] < Parts[static_cast<std::size_t>(b)].Lo[0];
  });
  std::size_t entered = 0;
  for (int id : solid) {
    const Component& inner = Parts[static_cast<std::size_t>(id)];
    while (entered < solid.size() && Parts[static_cast<std::size_t>(solid[entered])].Lo[0] <= inner.Lo[0])
      active.push_back(solid[entered++]);
    active.erase(std::remove_if(active.begin(), active.end(),
                                [&](int c) { return Parts[static_cast<std::size_t>(c)].Hi[0] < inner.Lo[0]; }),
                 active.end());
    for (int c : active) {
      const Component& outer = Parts[static_cast<std::size_t>(c)];
      bool within = c != id;
      for (int axis = 0; axis < 3; ++axis)
        within = within && outer.Lo[axis] <= inner.Lo[axis] && inner.Hi[axis] <= outer.Hi[axis];
      if (within && holds(outer, inner, positions, triangles, rays)) ++depth[static_cast<std::size_t>(id)];
    }
  }

  // Outward at even depth, inward at odd depth.
  for (std::size_t c = 0; c < Parts.size(); ++c) {
    const bool inward = depth[c] % 2 == 1;
    if (inward) ++Cavities;
    const bool turn = inward ? Parts[c].Volume > 0 : Parts[c].Volume < 0;
    if (!turn) continue;
    for (int i = Parts[c].FirstTriangle; i < Parts[c].LastTriangle; ++i) {
      char& flip = Flip[static_cast<std::size_t>(Order[static_cast<std::size_t>(i)])];
      flip = static_cast<char>(!flip);
    }
  }
  for (std::size_t t = 0; t < triangles.size(); ++t)
    if (Flip[t]) {
      std::swap(triangles[t][1], triangles[t][2]);
      ++Turned;
    }
}

void SurfaceOrientation::removeDuplicates(std::vector<Triangle>& triangles) {
  // Sorted corner triples, each with its triangle's id; equal triples after the first are dropped.
  std::vector<std::pair<Triangle, int>> sorted(triangles.size());
  const int count = static_cast<int>(triangles.size());
  std::atomic<int> highest{0};
  forEachRange(count, 1 << 14, [&](int begin, int end) {
    int corners = 0;
    for (int t = begin; t < end; ++t) {
      Triangle key = triangles[static_cast<std::size_t>(t)];
      std::sort(key.begin(), key.end());
      sorted[static_cast<std::size_t>(t)] = {key, t};
      corners = std::max(corners, key[2] + 1);
    }
    raiseTo(highest, corners);
  });
  // Filed by lowest corner: ids are positions of the welded surface, below its corner count.
  const int corners = highest;
  bucketSort(
      sorted, corners, [](const std::pair<Triangle, int>& e) { return e.first[0]; },
      [](const std::pair<Triangle, int>& a, const std::pair<Triangle, int>& b) { return a < b; });
  std::vector<char> keep(triangles.size(), 1);
  forEachRange(count - 1, 1 << 14, [&](int begin, int end) {
    for (int i = begin + 1; i <= end; ++i)
      if (sorted[i].first == sorted[i - 1].first) keep[static_cast<std::size_t>(sorted[i].second)] = 0;
  });
  std::size_t kept = 0;
  for (std::size_t t = 0; t < triangles.size(); ++t)
    if (keep[t]) triangles[kept++] = triangles[t];
  Duplicates = static_cast<int>(triangles.size() - kept);
  triangles.resize(kept);
}

void SurfaceOrientation::linkAndWalk(const std::vector<Triangle>& triangles) {
  const std::size_t count = triangles.size();
  Uses.resize(3 * count);
  std::atomic<int> highest{0};
  forEachRange(static_cast<int>(count), 1 << 14, [&](int begin, int end) {
    int corners = 0;
    for (int t = begin; t < end; ++t) {
      const Triangle& tri = triangles[static_cast<std::size_t>(t)];
      for (int k = 0; k < 3; ++k) {
        const int a = tri[static_cast<std::size_t>(k)], b = tri[static_cast<std::size_t>((k + 1) % 3)];
        Uses[3 * static_cast<std::size_t>(t) + static_cast<std::size_t>(k)] = {edgeKey(a, b), t, a < b ? 1 : 0};
        corners = std::max(corners, a + 1);
      }
    }
    raiseTo(highest, corners);
  });
  const int corners = highest;
  bucketSort(
      Uses, corners, [](const EdgeUse& x) { return static_cast<int>(x.Key >> 32); },
      [](const EdgeUse& x, const EdgeUse& y) { return x.Key < y.Key || (x.Key == y.Key && x.Triangle < y.Triangle); });

  // Neighbours across manifold edges; slot 3t + k is edge (k, k + 1) of triangle t. Whether a
  // component is closed is judged by its edges: each used by exactly two of its triangles, in
  // opposite directions once oriented.
  Neighbour.assign(3 * count, -1);
  // Runs of one key are taken in parallel, each range from the first run that starts in it; a
  // run writes only its own triangles' slots for its edge.
  std::unique_ptr<std::atomic<char>[]> openEdge(new std::atomic<char>[count]);
  for (std::size_t t = 0; t < count; ++t) openEdge[t].store(0, std::memory_order_relaxed);
  const std::size_t uses = Uses.size();
  forEachRange(static_cast<int>(uses), 1 << 14, [&](int begin, int end) {
    std::size_t i = static_cast<std::size_t>(begin);
    while (i > 0 && i < uses && Uses[i].Key == Uses[i - 1].Key) ++i;
    while (i < static_cast<std::size_t>(end)) {
      std::size_t j = i + 1;
      while (j < uses && Uses[j].Key == Uses[i].Key) ++j;
      if (j - i == 2) {
        const EdgeUse& x = Uses[i];
        const EdgeUse& y = Uses[i + 1];
        for (int k = 0; k < 3; ++k) {
          const Triangle& tx = triangles[static_cast<std::size_t>(x.Triangle)];
          if (edgeKey(tx[static_cast<std::size_t>(k)], tx[static_cast<std::size_t>((k + 1) % 3)]) == x.Key)
            Neighbour[3 * static_cast<std::size_t>(x.Triangle) + static_cast<std::size_t>(k)] = y.Triangle;
          const Triangle& ty = triangles[static_cast<std::size_t>(y.Triangle)];
          if (edgeKey(ty[static_cast<std::size_t>(k)], ty[static_cast<std::size_t>((k + 1) % 3)]) == x.Key)
            Neighbour[3 * static_cast<std::size_t>(y.Triangle) + static_cast<std::size_t>(k)] = x.Triangle;
        }
      } else {
        for (std::size_t m = i; m < j; ++m)
          openEdge[static_cast<std::size_t>(Uses[m].Triangle)].store(1, std::memory_order_relaxed);
      }
      i = j;
    }
  });

  // Breadth-first walk per component: a neighbour must run along the shared edge the other way.
  ComponentOf.assign(count, -1);
  Flip.assign(count, 0);
  Order.clear();
  Order.reserve(count);
  Parts.clear();
  for (std::size_t seed = 0; seed < count; ++seed) {
    if (ComponentOf[seed] >= 0) continue;
    const int id = static_cast<int>(Parts.size());
    Parts.emplace_back();
    Component& part = Parts.back();
    part.FirstTriangle = static_cast<int>(Order.size());
    ComponentOf[seed] = id;
    Order.push_back(static_cast<int>(seed));
    bool closed = true, consistent = true;
    for (std::size_t head = static_cast<std::size_t>(part.FirstTriangle); head < Order.size(); ++head) {
      const std::size_t t = static_cast<std::size_t>(Order[head]);
      closed = closed && !openEdge[t].load(std::memory_order_relaxed);
      for (std::size_t k = 0; k < 3; ++k) {
        const int n = Neighbour[3 * t + k];
        if (n < 0) continue;
        const Triangle& tt = triangles[t];
        const int a = tt[k], b = tt[(k + 1) % 3];
        // n runs along a-b in its input order when it holds the directed edge a -> b.
        const Triangle& tn = triangles[static_cast<std::size_t>(n)];
        bool sameWay = false;
        for (std::size_t m = 0; m < 3; ++m) sameWay = sameWay || (tn[m] == a && tn[(m + 1) % 3] == b);
        const char flip = static_cast<char>(Flip[t] ^ (sameWay ? 1 : 0));
        if (ComponentOf[static_cast<std::size_t>(n)] < 0) {
          ComponentOf[static_cast<std::size_t>(n)] = id;
          Flip[static_cast<std::size_t>(n)] = flip;
          Order.push_back(n);
        } else if (Flip[static_cast<std::size_t>(n)] != flip) {
          consistent = false;  // a one-sided surface; its triangles keep what the walk gave them
        }
      }
    }
    part.LastTriangle = static_cast<int>(Order.size());
    if (closed && consistent) ++ClosedComponents;
  }
  Components = static_cast<int>(Parts.size());
}

bool SurfaceOrientation::holds(const Component& outer, const Component& inner, const std::vector<V3>& positions,
                               const std::vector<Triangle>& triangles, const AxisRayCrossing& rays) const {
  int tested = 0;
  auto inside = [&](int v) {
    // A corner shared with the outer component lies on it and says nothing.
    int votes = 0;
    for (int axis = 0; axis < 3; ++axis) {
      const std::int64_t pb = rays.fixed(v, (axis + 1) % 3), pc = rays.fixed(v, (axis + 2) % 3);
      const double at = coordinate(positions[static_cast<std::size_t>(v)], axis);
      int parity = 0;
      for (int i = outer.FirstTriangle; i < outer.LastTriangle; ++i) {
        const Triangle& t = triangles[static_cast<std::size_t>(Order[static_cast<std::size_t>(i)])];
        if (t[0] == v || t[1] == v || t[2] == v) return 0;
        const std::int64_t b0 = rays.fixed(t[0], (axis + 1) % 3), b1 = rays.fixed(t[1], (axis + 1) % 3),
                           b2 = rays.fixed(t[2], (axis + 1) % 3);
        const std::int64_t c0 = rays.fixed(t[0], (axis + 2) % 3), c1 = rays.fixed(t[1], (axis + 2) % 3),
                           c2 = rays.fixed(t[2], (axis + 2) % 3);
        if (pb < std::min({b0, b1, b2}) || pb > std::max({b0, b1, b2}) || pc < std::min({c0, c1, c2}) ||
            pc > std::max({c0, c1, c2}))
          continue;
        double crossing = 0;
        if (rays.cross(axis, pb, pc, t, positions, crossing) != 0 && crossing < at) parity ^= 1;
      }
      votes += parity;
    }
    ++tested;
    return votes >= 2 ? 1 : -1;
  };
  for (int v : inner.Samples)
    if (inside(v) < 0) return false;
  return tested > 0;
}

}  // namespace tessellor
