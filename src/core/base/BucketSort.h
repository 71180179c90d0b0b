#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/Parallel.h"

namespace tessellor {

// Sorts items whose order leads with a small non-negative integer (a vertex id, say): one counting
// pass files them by bucket(item) in [0, buckets), then the buckets are sorted with less, in
// parallel. less must order items within a bucket completely (ties only between equal items) so
// that the result is the one std::sort with the full order gives. Linear in items and buckets,
// against n log n for a comparison sort of everything.
template <typename T, typename Bucket, typename Less>
void bucketSort(std::vector<T>& items, int buckets, Bucket bucket, Less less) {
  if (items.size() < 2 || buckets <= 0) return;
  std::vector<std::size_t> start(static_cast<std::size_t>(buckets) + 1, 0);
  for (const T& item : items) ++start[static_cast<std::size_t>(bucket(item)) + 1];
  for (std::size_t b = 0; b < static_cast<std::size_t>(buckets); ++b) start[b + 1] += start[b];
  std::vector<T> sorted(items.size());
  {
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (const T& item : items) sorted[next[static_cast<std::size_t>(bucket(item))]++] = item;
  }
  forEachRange(buckets, 4096, [&](int begin, int end) {
    for (int b = begin; b < end; ++b) {
      T* first = sorted.data() + start[static_cast<std::size_t>(b)];
      T* last = sorted.data() + start[static_cast<std::size_t>(b) + 1];
      if (last - first > 1) std::sort(first, last, less);
    }
  });
  items.swap(sorted);
}

}  // namespace tessellor
