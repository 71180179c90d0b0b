#include "base/Parallel.h"

#include <algorithm>
#include <atomic>

#if defined(TESSELLOR_HAVE_TBB)
#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#endif

namespace tessellor {

namespace {
std::atomic<int> requestedThreads{0};
}  // namespace

void setThreadCount(int threads) { requestedThreads = threads < 0 ? 0 : threads; }

int threadCount() { return requestedThreads; }

int effectiveThreadCount() {
#if defined(TESSELLOR_HAVE_TBB)
  const int requested = requestedThreads;
  return requested > 0 ? requested : std::max(1, tbb::info::default_concurrency());
#else
  // Built without oneTBB: everything runs on the calling thread.
  return 1;
#endif
}

void forEachInOrder(int count, const std::function<void(int)>& work, const std::function<void(int)>& merge) {
  const int threads = effectiveThreadCount();
#if defined(TESSELLOR_HAVE_TBB)
  if (threads > 1 && count > 1) {
    tbb::task_arena arena(threads);
    const int batch = 2 * threads;
    for (int first = 0; first < count; first += batch) {
      const int last = std::min(count, first + batch);
      arena.execute([&] {
        tbb::parallel_for(tbb::blocked_range<int>(first, last, 1), [&](const tbb::blocked_range<int>& range) {
          for (int i = range.begin(); i != range.end(); ++i) work(i);
        });
      });
      for (int i = first; i < last; ++i) merge(i);
    }
    return;
  }
#endif
  for (int i = 0; i < count; ++i) {
    work(i);
    merge(i);
  }
}

std::vector<std::pair<int, int>> splitRange(int count, int grain) {
  std::vector<std::pair<int, int>> ranges;
  if (count <= 0) return ranges;
  const int threads = effectiveThreadCount();
  const long long byGrain = (static_cast<long long>(count) + std::max(grain, 1) - 1) / std::max(grain, 1);
  const int pieces = threads > 1 ? static_cast<int>(std::min<long long>(byGrain, 8LL * threads)) : 1;
  for (int i = 0; i < pieces; ++i)
    ranges.emplace_back(static_cast<int>(static_cast<long long>(count) * i / pieces),
                        static_cast<int>(static_cast<long long>(count) * (i + 1) / pieces));
  return ranges;
}

void forEachRange(int count, int grain, const std::function<void(int, int)>& work,
                  const std::function<void(int, int)>& merge) {
  const std::vector<std::pair<int, int>> ranges = splitRange(count, grain);
#if defined(TESSELLOR_HAVE_TBB)
  if (!merge && ranges.size() > 1) {
    // Nothing to hand on in order: all ranges in one parallel loop, taken as threads come free.
    tbb::task_arena arena(effectiveThreadCount());
    arena.execute([&] {
      tbb::parallel_for(tbb::blocked_range<int>(0, static_cast<int>(ranges.size()), 1),
                        [&](const tbb::blocked_range<int>& r) {
                          for (int i = r.begin(); i != r.end(); ++i) work(ranges[i].first, ranges[i].second);
                        });
    });
    return;
  }
#endif
  forEachInOrder(
      static_cast<int>(ranges.size()), [&](int i) { work(ranges[i].first, ranges[i].second); },
      [&](int i) {
        if (merge) merge(ranges[i].first, ranges[i].second);
      });
}

}  // namespace tessellor
