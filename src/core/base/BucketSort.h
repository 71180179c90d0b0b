#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/Parallel.h"

namespace tessellor {

// Files the items of several ranges into buckets [0, buckets), the ranges in parallel: produce(r,
// put) calls put(bucket, item) for every item of range r in [0, ranges), and must make the same
// calls each time (it runs twice: once to count, once to file). Afterwards the items of bucket b
// are items[start[b] .. start[b + 1]), in an order that depends on the thread count: a caller
// that needs one sorts them. Each thread counts into buckets of its own (no atomics), so memory
// grows by one int per bucket and thread. items may leave new elements uninitialised
// (UninitializedVector): the filing writes every one of them, in parallel.
template <typename T, typename Produce, typename Allocator>
void fileInBuckets(int ranges, int buckets, Produce produce, std::vector<int>& start,
                   std::vector<T, Allocator>& items) {
  const std::size_t count = static_cast<std::size_t>(std::max(buckets, 0));
  // Slot s takes ranges s, s + slots, ...: the same ranges in both passes.
  const int slots = std::max(1, std::min(effectiveThreadCount(), ranges));
  std::vector<std::vector<int>> next(static_cast<std::size_t>(slots));
  forEachRange(slots, 1, [&](int begin, int end) {
    for (int s = begin; s < end; ++s) {
      std::vector<int>& own = next[static_cast<std::size_t>(s)];
      own.assign(count, 0);
      for (int r = s; r < ranges; r += slots) produce(r, [&own](int bucket, const T&) { ++own[bucket]; });
    }
  });
  // Bucket b starts after the buckets before it, and within it slot s after the slots before
  // it. The buckets are laid out a block at a time: the blocks' sizes in parallel, their starts
  // in turn, then each block's buckets in parallel.
  start.resize(count + 1);
  constexpr int BlockSize = 1 << 14;
  const int blocks = static_cast<int>((count + BlockSize - 1) / BlockSize);
  const auto blockEnd = [count](int block) { return std::min(count, static_cast<std::size_t>(block + 1) * BlockSize); };
  std::vector<int> blockStart(static_cast<std::size_t>(blocks) + 1, 0);
  forEachRange(blocks, 1, [&](int begin, int end) {
    for (int block = begin; block < end; ++block) {
      int total = 0;
      for (std::size_t b = static_cast<std::size_t>(block) * BlockSize; b < blockEnd(block); ++b)
        for (const std::vector<int>& own : next) total += own[b];
      blockStart[static_cast<std::size_t>(block) + 1] = total;
    }
  });
  for (int block = 0; block < blocks; ++block) blockStart[block + 1] += blockStart[block];
  forEachRange(blocks, 1, [&](int begin, int end) {
    for (int block = begin; block < end; ++block) {
      int at = blockStart[static_cast<std::size_t>(block)];
      for (std::size_t b = static_cast<std::size_t>(block) * BlockSize; b < blockEnd(block); ++b) {
        start[b] = at;
        for (std::vector<int>& own : next) {
          const int n = own[b];
          own[b] = at;
          at += n;
        }
      }
    }
  });
  start[count] = blockStart[static_cast<std::size_t>(blocks)];
  items.resize(static_cast<std::size_t>(start[count]));
  forEachRange(slots, 1, [&](int begin, int end) {
    for (int s = begin; s < end; ++s) {
      std::vector<int>& own = next[static_cast<std::size_t>(s)];
      for (int r = s; r < ranges; r += slots)
        produce(r,
                [&own, &items](int bucket, const T& item) { items[static_cast<std::size_t>(own[bucket]++)] = item; });
    }
  });
}

// Sorts items whose order leads with a small non-negative integer (a vertex id, say): one counting
// pass files them by bucket(item) in [0, buckets), then the buckets are sorted with less, in
// parallel. less must order items within a bucket completely (ties only between equal items) so
// that the result is the one std::sort with the full order gives. Linear in items and buckets,
// against n log n for a comparison sort of everything.
template <typename T, typename Bucket, typename Less>
void bucketSort(std::vector<T>& items, int buckets, Bucket bucket, Less less) {
  if (items.size() < 2 || buckets <= 0) return;
  // Filed from ranges of items in parallel, then each bucket sorted: its order then no longer
  // depends on how the items were filed.
  const std::vector<std::pair<int, int>> ranges = splitRange(static_cast<int>(items.size()), 1 << 14);
  std::vector<int> start;
  std::vector<T> sorted;
  fileInBuckets<T>(
      static_cast<int>(ranges.size()), buckets,
      [&](int r, auto put) {
        for (int i = ranges[r].first; i < ranges[r].second; ++i) put(bucket(items[i]), items[i]);
      },
      start, sorted);
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
