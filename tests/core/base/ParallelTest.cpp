#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/BucketSort.h"
#include "base/Parallel.h"

using namespace tessellor;

namespace {

class ThreadCounts : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { setThreadCount(GetParam()); }
  void TearDown() override { setThreadCount(0); }
};

// Pieces of uneven length finish out of order; merge must still see each once, in ascending
// order, never two at a time, and only after the work of every piece up to it.
TEST_P(ThreadCounts, OrderedPiecesMergeOnceInOrderAndFailuresComeBack) {
  const int count = 97;
  std::vector<std::atomic<int>> worked(count);
  std::vector<int> merged;
  std::atomic<int> merging{0};
  forEachInOrder(
      count,
      [&](int i) {
        std::this_thread::sleep_for(std::chrono::microseconds((i * 7919) % 13 * 50));
        ++worked[i];
      },
      [&](int i) {
        EXPECT_EQ(merging.fetch_add(1), 0) << "two merges at once";
        for (int k = 0; k <= i; ++k) EXPECT_EQ(worked[k].load(), 1) << "piece " << k << " before merge " << i;
        merged.push_back(i);
        merging.fetch_sub(1);
      });
  std::vector<int> expected(count);
  for (int i = 0; i < count; ++i) expected[i] = i;
  EXPECT_EQ(merged, expected);
  for (int i = 0; i < count; ++i) EXPECT_EQ(worked[i].load(), 1) << i;

  EXPECT_THROW(forEachInOrder(
                   count,
                   [](int i) {
                     if (i == 40) throw std::runtime_error("work");
                   },
                   [](int) {}),
               std::runtime_error);
  EXPECT_THROW(forEachInOrder(
                   count, [](int) {},
                   [](int i) {
                     if (i == 60) throw std::runtime_error("merge");
                   }),
               std::runtime_error);
}

// Filing and bucket sorting give what one sequential pass gives, for any thread count.
TEST_P(ThreadCounts, BucketsHoldExactlyTheirItems) {
  std::mt19937 random(7);
  // More buckets than the filing lays out in one block, many of them empty.
  const int buckets = 40000;
  std::vector<std::pair<int, int>> items(50000);
  for (auto& item : items) item = {static_cast<int>(random() % buckets), static_cast<int>(random() % 100)};
  // Ranges of 1000 items, with an empty range in between.
  const int ranges = 52;
  const auto produce = [&](int r, auto put) {
    if (r == 7) return;
    const int first = (r > 7 ? r - 1 : r) * 1000;
    for (int i = first; i < first + 1000 && i < static_cast<int>(items.size()); ++i) put(items[i].first, items[i]);
  };
  std::vector<int> start;
  std::vector<std::pair<int, int>> filed;
  fileInBuckets<std::pair<int, int>>(ranges, buckets, produce, start, filed);
  ASSERT_EQ(start.size(), static_cast<std::size_t>(buckets) + 1);
  ASSERT_EQ(filed.size(), items.size());
  for (int b = 0; b < buckets; ++b)
    for (int k = start[b]; k < start[b + 1]; ++k) ASSERT_EQ(filed[k].first, b);
  std::vector<std::pair<int, int>> expected = items;
  std::sort(expected.begin(), expected.end());
  std::sort(filed.begin(), filed.end());
  EXPECT_EQ(filed, expected);

  std::vector<std::pair<int, int>> sorted = items;
  bucketSort(
      sorted, buckets, [](const std::pair<int, int>& item) { return item.first; },
      [](const std::pair<int, int>& a, const std::pair<int, int>& b) { return a < b; });
  EXPECT_EQ(sorted, expected);
}

INSTANTIATE_TEST_SUITE_P(Parallel, ThreadCounts, ::testing::Values(1, 2, 3));

}  // namespace
