#include "base/Parallel.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#if defined(TESSELLOR_HAVE_TBB)
#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#endif

namespace tessellor {

namespace {
std::atomic<int> requestedThreads{0};
}  // namespace

void setThreadCount(int threads) {
  requestedThreads = threads < 0 ? 0 : threads;
#if defined(TESSELLOR_HAVE_TBB)
  // More threads than cores: oneTBB's pool must be allowed to grow to them, or it keeps to the
  // cores and warns.
  static std::mutex guard;
  static std::unique_ptr<tbb::global_control> allowance;
  const std::lock_guard<std::mutex> lock(guard);
  if (threads > tbb::info::default_concurrency())
    allowance = std::make_unique<tbb::global_control>(tbb::global_control::max_allowed_parallelism,
                                                      static_cast<std::size_t>(threads));
  else
    allowance.reset();
#endif
}

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
    // Every thread takes the next piece not yet taken, so pieces finish roughly in order and few
    // wait for their merge. Whoever finishes a piece merges every finished piece that is next in
    // line, one thread at a time: no thread waits for a batch to end.
    std::unique_ptr<std::atomic<char>[]> finished(new std::atomic<char>[static_cast<std::size_t>(count)]);
    for (int i = 0; i < count; ++i) finished[i].store(0, std::memory_order_relaxed);
    std::atomic<int> taken{0}, merged{0};
    std::atomic<bool> failed{false};
    std::mutex merging;
    const auto mergeReady = [&](bool wait) {
      for (;;) {
        std::unique_lock<std::mutex> lock(merging, std::defer_lock);
        if (wait)
          lock.lock();
        else if (!lock.try_lock())
          return;
        int next = merged.load(std::memory_order_relaxed);
        while (next < count && finished[next].load(std::memory_order_acquire)) {
          merge(next);
          merged.store(++next, std::memory_order_release);
        }
        lock.unlock();
        // A piece finished while the lock was held may have found it taken: look once more.
        if (next >= count || !finished[next].load(std::memory_order_acquire)) return;
      }
    };
    tbb::task_arena arena(threads);
    arena.execute([&] {
      tbb::parallel_for(0, threads, [&](int) {
        try {
          for (int i = taken++; i < count && !failed.load(std::memory_order_relaxed); i = taken++) {
            work(i);
            finished[i].store(1, std::memory_order_release);
            mergeReady(false);
          }
        } catch (...) {
          failed = true;
          throw;
        }
      });
    });
    mergeReady(true);
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
