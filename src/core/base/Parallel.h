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
// (with oneTBB), and calls merge(i) once piece i and all before it are done, in ascending order
// and one at a time, on whichever of those threads finished the piece last (the calling thread
// when one thread runs). The threads take the pieces in ascending order, so merge sees them in
// order while the work goes on in parallel, and results can be handed on (and progress reported)
// as they come. merge must not start parallel passes of its own. The first exception thrown by
// work or merge ends the run and is rethrown here.
void forEachInOrder(int count, const std::function<void(int)>& work, const std::function<void(int)>& merge);

// The consecutive ranges forEachRange cuts [0, count) into: at least grain elements each (one range
// when a single thread runs), in ascending order.
std::vector<std::pair<int, int>> splitRange(int count, int grain);

// Cuts [0, count) into consecutive ranges of at least grain elements (one range when a single
// thread runs) and calls work(begin, end) for each as forEachInOrder calls work, then
// merge(begin, end) for each in ascending order as forEachInOrder merges (merge may be empty).
void forEachRange(int count, int grain, const std::function<void(int, int)>& work,
                  const std::function<void(int, int)>& merge = {});

// forEachRange with a result per range: work(begin, end, piece) fills a Piece of its own for
// each range, in parallel, and merge(piece) takes the pieces in ascending order as forEachInOrder
// merges. Each piece is freed after its merge.
template <typename Piece, typename Work, typename Merge>
void forEachPiece(int count, int grain, Work work, Merge merge) {
  const std::vector<std::pair<int, int>> ranges = splitRange(count, grain);
  std::vector<Piece> pieces(ranges.size());
  forEachInOrder(
      static_cast<int>(ranges.size()),
      [&](int r) { work(ranges[r].first, ranges[r].second, pieces[static_cast<std::size_t>(r)]); },
      [&](int r) {
        merge(pieces[static_cast<std::size_t>(r)]);
        pieces[static_cast<std::size_t>(r)] = Piece();
      });
}

}  // namespace tessellor
