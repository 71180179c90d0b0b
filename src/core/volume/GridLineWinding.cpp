#include "volume/GridLineWinding.h"

#include <algorithm>
#include <atomic>

#include "base/Parallel.h"

#include "volume/AxisRayCrossing.h"

namespace tessellor {

void GridLineWinding::build(const AxisRayCrossing& rays, const std::vector<V3>& positions,
                            const std::vector<Triangle>& triangles, const int size[3]) {
  Crossings = 0;
  OpenLines = 0;
  for (int axis = 0; axis < 3; ++axis) {
    Family& family = Families[axis];
    family.Across[0] = size[(axis + 1) % 3];
    family.Across[1] = size[(axis + 2) % 3];
    const std::size_t lines = static_cast<std::size_t>(family.Across[0]) * static_cast<std::size_t>(family.Across[1]);
    // The triangles are scanned in ranges in parallel; their hits join in triangle order.
    Hits.clear();
    using RangeHits = std::vector<AxisRayCrossing::LatticeHit>;
    forEachPiece<RangeHits>(
        static_cast<int>(triangles.size()), 4096,
        [&](int begin, int end, RangeHits& hits) {
          for (int t = begin; t < end; ++t) rays.scan(axis, triangles[t], size, positions, hits);
        },
        [&](const RangeHits& hits) { Hits.insert(Hits.end(), hits.begin(), hits.end()); });
    Crossings += static_cast<long long>(Hits.size());

    // Counting sort by line, then each line's few crossings by their position along it. A face
    // whose normal points along the line is left there: a step of -1.
    const std::size_t across = static_cast<std::size_t>(family.Across[0]);
    family.Start.assign(lines + 1, 0);
    for (const AxisRayCrossing::LatticeHit& hit : Hits)
      ++family.Start[static_cast<std::size_t>(hit.B) + across * static_cast<std::size_t>(hit.C) + 1];
    for (std::size_t line = 0; line < lines; ++line) family.Start[line + 1] += family.Start[line];
    family.Crossings.resize(Hits.size());
    for (const AxisRayCrossing::LatticeHit& hit : Hits) {
      int& next = family.Start[static_cast<std::size_t>(hit.B) + across * static_cast<std::size_t>(hit.C)];
      family.Crossings[static_cast<std::size_t>(next++)] = {hit.At, -hit.Sign};
    }
    for (std::size_t line = lines; line > 0; --line) family.Start[line] = family.Start[line - 1];
    family.Start[0] = 0;
    // Lines are sorted in parallel; crossings at one place may come in any order, as the winding
    // numbers only sum them.
    std::atomic<long long> open{0};
    forEachRange(static_cast<int>(lines), 4096, [&](int begin, int end) {
      long long rangeOpen = 0;
      for (int line = begin; line < end; ++line) {
        const auto first = family.Crossings.begin() + family.Start[line];
        const auto last = family.Crossings.begin() + family.Start[line + 1];
        if (last - first > 1) std::sort(first, last, [](const Crossing& a, const Crossing& b) { return a.At < b.At; });
        int total = 0;
        for (auto it = first; it != last; ++it) total += it->Step;
        if (total != 0) ++rangeOpen;
      }
      open += rangeOpen;
    });
    OpenLines += open;
  }
}

bool GridLineWinding::inside(int x, int y, int z) const {
  const int p[3] = {x, y, z};
  int score = 0, plain = 0;
  // z first: the distance pass runs along z, so its line is mostly the one of the last call.
  for (int axis = 2; axis >= 0; --axis) {
    const Family& family = Families[axis];
    const std::size_t line = static_cast<std::size_t>(p[(axis + 1) % 3]) +
                             static_cast<std::size_t>(family.Across[0]) * static_cast<std::size_t>(p[(axis + 2) % 3]);
    const double at = p[axis];
    int below = 0, total = 0;
    const Crossing* const first = family.Crossings.data() + family.Start[line];
    const Crossing* const last = family.Crossings.data() + family.Start[line + 1];
    for (const Crossing* c = first; c != last; ++c) {
      total += c->Step;
      if (c->At < at) below += c->Step;
    }
    // Counted from the far end, the winding number is below - total. On a line through the
    // surface's holes the two counts differ; where they agree, at least one of them is right.
    const int above = below - total;
    if (total == 0)
      score += below > 0 ? 2 : -2;
    else if ((below > 0) == (above > 0))
      score += below > 0 ? 1 : -1;
    plain += below > 0 ? 1 : 0;
    // Two lines without holes that agree outvote the third.
    if (axis == 1 && (score >= 4 || score <= -4)) return score > 0;
  }
  if (score != 0) return score > 0;
  return plain >= 2;
}

}  // namespace tessellor
