#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace tessellor {

// The threads the parallel passes may use. 0 (the default) means all cores; 1 runs everything
// on the calling thread. Results never depend on it: every parallel pass merges its pieces in a
// fixed order, so every output is the same for any thread count.
void setThreadCount(int threads);
int threadCount();
// The number of threads a parallel pass will run on: threadCount(), or the number of cores when
// that is 0; at least 1.
int effectiveThreadCount();

// Runs work(0) .. work(count - 1), each exactly once, on up to effectiveThreadCount() threads
// (with oneTBB), and after each batch of pieces calls merge for them in ascending order on the
// calling thread. A batch holds a few pieces per thread, so merge sees the pieces in order while
// the work goes on in parallel, and results can be handed on (and progress reported) as they come.
// The first exception thrown by work or merge ends the run and is rethrown here.
void forEachInOrder(int count, const std::function<void(int)>& work, const std::function<void(int)>& merge);

// The consecutive ranges forEachRange cuts [0, count) into: at least grain elements each (one range
// when a single thread runs), in ascending order.
std::vector<std::pair<int, int>> splitRange(int count, int grain);

// Cuts [0, count) into consecutive ranges of at least grain elements (one range when a single
// thread runs) and calls work(begin, end) for each as forEachInOrder calls work, then
// merge(begin, end) for each in ascending order on the calling thread (merge may be empty).
void forEachRange(int count, int grain, const std::function<void(int, int)>& work,
                  const std::function<void(int, int)>& merge = {});

}  // namespace tessellor
