#include "mesh/OpenEdges.h"

#include "base/BucketSort.h"
#include "base/Parallel.h"
#include "base/UninitializedVector.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <vector>

namespace tessellor {

namespace {

// Calls edge(lower, upper) for every edge of the polygons [begin, end) that have three or more
// ids, except those between a vertex and itself.
template <typename F>
void forEachEdge(const std::vector<VertexIDList>& polygons, int begin, int end, F edge) {
  for (int p = begin; p < end; ++p) {
    const VertexIDList& polygon = polygons[static_cast<std::size_t>(p)];
    if (polygon.size() < 3) continue;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
      const int a = polygon[i], b = polygon[(i + 1) % polygon.size()];
      if (a != b) edge(std::min(a, b), std::max(a, b));
    }
  }
}

}  // namespace

int countOpenEdges(const PolygonStorage& mesh) {
  const std::vector<std::pair<int, int>> ranges = splitRange(static_cast<int>(mesh.Polygons.size()), 4096);
  const int rangeCount = static_cast<int>(ranges.size());
  // Edges are filed by lower end when the ids are those of a mesh (small and not negative);
  // otherwise (only a damaged mesh) all keys are sorted at once.
  std::atomic<long long> edges{0};
  std::atomic<int> lowest{INT_MAX}, highest{INT_MIN};
  forEachRange(rangeCount, 1, [&](int begin, int end) {
    long long count = 0;
    int lo = INT_MAX, hi = INT_MIN;
    for (int r = begin; r < end; ++r)
      forEachEdge(mesh.Polygons, ranges[r].first, ranges[r].second, [&](int lower, int) {
        ++count;
        lo = std::min(lo, lower);
        hi = std::max(hi, lower);
      });
    edges += count;
    for (int seen = lowest.load(); lo < seen && !lowest.compare_exchange_weak(seen, lo);) {
    }
    for (int seen = highest.load(); hi > seen && !highest.compare_exchange_weak(seen, hi);) {
    }
  });
  if (edges == 0) return 0;
  if (lowest < 0 || highest >= 4 * edges + 1024) {
    std::vector<std::uint64_t> keys;
    forEachEdge(mesh.Polygons, 0, static_cast<int>(mesh.Polygons.size()), [&](int lower, int upper) {
      keys.push_back((static_cast<std::uint64_t>(static_cast<std::uint32_t>(lower)) << 32) |
                     static_cast<std::uint32_t>(upper));
    });
    std::sort(keys.begin(), keys.end());
    int open = 0;
    for (std::size_t i = 0; i < keys.size();) {
      std::size_t j = i + 1;
      while (j < keys.size() && keys[j] == keys[i]) ++j;
      if (j - i == 1) ++open;
      i = j;
    }
    return open;
  }
  // Per lower end its upper ends; an edge used once is open.
  const int buckets = highest + 1;
  std::vector<int> start;
  UninitializedVector<int> uppers;
  fileInBuckets<int>(
      rangeCount, buckets,
      [&](int r, auto put) {
        forEachEdge(mesh.Polygons, ranges[r].first, ranges[r].second, [&](int lower, int upper) { put(lower, upper); });
      },
      start, uppers);
  std::atomic<int> open{0};
  forEachRange(buckets, 4096, [&](int begin, int end) {
    int count = 0;
    for (int b = begin; b < end; ++b) {
      int* first = uppers.data() + start[b];
      int* last = uppers.data() + start[b + 1];
      std::sort(first, last);
      for (int* i = first; i < last;) {
        int* j = i + 1;
        while (j < last && *j == *i) ++j;
        if (j - i == 1) ++count;
        i = j;
      }
    }
    open += count;
  });
  return open;
}

}  // namespace tessellor
