#include "mesh/EdgeIndexTable.h"

#include <algorithm>
#include <atomic>
#include <climits>

#include "base/BucketSort.h"
#include "base/Parallel.h"
#include "base/UninitializedVector.h"

namespace tessellor {

namespace {

// One use of an edge by a polygon, filed under the edge's lower end.
struct Use {
  int Upper;
  int Polygon;
};

// Calls use(lower, upper, p) for every edge use of the polygons [begin, end) in the order the
// index rule sees them.
template <typename F>
void forEachUse(const std::vector<IdList>& polygons, int begin, int end, F use) {
  for (int p = begin; p < end; ++p) {
    const IdList& poly = polygons[static_cast<std::size_t>(p)];
    if (poly.empty()) continue;
    // The closing edge (last, first) goes in first: it decides which polygon is First.
    int prev = poly.back();
    for (int v : poly) {
      // A repeated id (a polygon that touches itself) is no edge: keys keep Lower < Upper.
      if (prev != v) use(std::min(prev, v), std::max(prev, v), p);
      prev = v;
    }
  }
}

template <typename F>
void forEachUse(const std::vector<IdList>& polygons, F use) {
  forEachUse(polygons, 0, static_cast<int>(polygons.size()), use);
}

// Sorts a short run of uses by Upper, then by polygon. Uses of one key by one polygon (a polygon
// that runs an edge twice) may come in any order: dataOf takes a polygon once.
void sortByUpper(Use* first, Use* last) {
  const auto less = [](const Use& a, const Use& b) {
    return a.Upper < b.Upper || (a.Upper == b.Upper && a.Polygon < b.Polygon);
  };
  if (last - first > 16) {
    std::sort(first, last, less);
    return;
  }
  for (Use* i = first + 1; i < last; ++i) {
    const Use item = *i;
    Use* j = i;
    for (; j > first && less(item, *(j - 1)); --j) *j = *(j - 1);
    *j = item;
  }
}

// Entries of one run of uses with the same key: the first polygon and the next other one.
EdgeEntryData dataOf(const Use* first, const Use* last) {
  EdgeEntryData data{first->Polygon, -1};
  for (const Use* u = first + 1; u < last; ++u)
    if (data.Second == -1 && data.First != u->Polygon) data.Second = u->Polygon;
  return data;
}

// Entries from uses filed by lower end (bucket b holds lower end lowest + b): each bucket is
// sorted and cut into entries; offsets[b] is the first entry of bucket b.
void takeBuckets(const std::vector<int>& start, UninitializedVector<Use>& items, int lowest,
                 UninitializedVector<EdgeIndexTable::value_type>& entries, std::vector<int>& offsets) {
  // Entries per bucket, then their places.
  const int buckets = static_cast<int>(start.size()) - 1;
  std::vector<int> first(static_cast<std::size_t>(buckets) + 1, 0);
  forEachRange(buckets, 4096, [&](int begin, int end) {
    for (int b = begin; b < end; ++b) {
      Use* from = items.data() + start[b];
      Use* to = items.data() + start[b + 1];
      sortByUpper(from, to);
      int distinct = 0;
      for (Use* u = from; u < to; ++u) distinct += u == from || u->Upper != (u - 1)->Upper;
      first[static_cast<std::size_t>(b) + 1] = distinct;
    }
  });
  for (int b = 0; b < buckets; ++b) first[b + 1] += first[b];
  entries.resize(static_cast<std::size_t>(first[buckets]));
  forEachRange(buckets, 4096, [&](int begin, int end) {
    for (int b = begin; b < end; ++b) {
      const Use* u = items.data() + start[b];
      const Use* to = items.data() + start[b + 1];
      EdgeIndexTable::value_type* out = entries.data() + first[b];
      while (u < to) {
        const Use* run = u;
        while (u < to && u->Upper == run->Upper) ++u;
        *out++ = EdgeIndexTable::value_type(EdgeEntryKey{lowest + b, run->Upper}, dataOf(run, u));
      }
    }
  });
  offsets.swap(first);
}

}  // namespace

void EdgeIndexTable::build(const std::vector<IdList>& polygons, int idBound) {
  clear();
  const int polygonCount = static_cast<int>(polygons.size());
  const std::vector<std::pair<int, int>> ranges = splitRange(polygonCount, 4096);
  // Uses filed by lower end (bucket b for lower end lowest + b) from ranges of polygons at once,
  // so in no fixed order within a bucket; each bucket then sorted by upper end and polygon and cut
  // into entries: the order the uses have when they come polygon by polygon. False, with nothing
  // built, when a lower end falls outside the buckets or an upper end reaches upperLimit.
  const auto fileByLowerEnd = [&](int lowest, int buckets, long long upperLimit) {
    std::atomic<bool> outside{false};
    std::vector<int> start;
    UninitializedVector<Use> items;
    fileInBuckets<Use>(
        static_cast<int>(ranges.size()), buckets,
        [&](int r, auto put) {
          forEachUse(polygons, ranges[r].first, ranges[r].second, [&](int lower, int upper, int p) {
            const long long bucket = static_cast<long long>(lower) - lowest;
            if (bucket < 0 || bucket >= buckets || upper >= upperLimit)
              outside = true;
            else
              put(static_cast<int>(bucket), Use{upper, p});
          });
        },
        start, items);
    if (outside) return false;
    if (!items.empty()) {
      takeBuckets(start, items, lowest, Entries, Offsets);
      Base = lowest;
    }
    return true;
  };
  // With the ids known to lie in [0, idBound), one filing does it; an id outside (a damaged mesh)
  // sends the build the general way.
  if (idBound > 0 && idBound <= 8LL * polygonCount + 1024 && fileByLowerEnd(0, idBound, idBound)) return;
  // The lowest and highest lower end and the number of uses, over ranges of polygons at once.
  struct Extent {
    long long Uses = 0;
    int Lowest = INT_MAX, Highest = INT_MIN;
  };
  std::vector<Extent> extents(ranges.size());
  forEachRange(static_cast<int>(ranges.size()), 1, [&](int begin, int end) {
    for (int r = begin; r < end; ++r) {
      Extent& e = extents[static_cast<std::size_t>(r)];
      forEachUse(polygons, ranges[r].first, ranges[r].second, [&e](int lower, int, int) {
        ++e.Uses;
        e.Lowest = std::min(e.Lowest, lower);
        e.Highest = std::max(e.Highest, lower);
      });
    }
  });
  long long uses = 0;
  int lowest = INT_MAX, highest = INT_MIN;
  for (const Extent& e : extents) {
    uses += e.Uses;
    lowest = std::min(lowest, e.Lowest);
    highest = std::max(highest, e.Highest);
  }
  if (uses == 0) return;
  const long long span = static_cast<long long>(highest) - lowest + 1;
  if (span > 4 * uses + 1024 || uses > INT_MAX) {
    // Ids too spread out to bucket by vertex (only a damaged mesh has them): one sort of all uses.
    // The polygon joins the sort key: uses arrive in polygon order, so this keeps that order
    // among equal keys.
    struct Item {
      EdgeEntryKey Key;
      Use Of;
    };
    std::vector<Item> items;
    items.reserve(static_cast<std::size_t>(uses));
    forEachUse(polygons, [&](int lower, int upper, int p) { items.push_back(Item{{lower, upper}, {upper, p}}); });
    std::stable_sort(items.begin(), items.end(),
                     [](const Item& a, const Item& b) { return compareEdgeEntryKey()(a.Key, b.Key); });
    std::vector<Use> run;
    for (std::size_t i = 0; i < items.size();) {
      std::size_t j = i;
      run.clear();
      for (; j < items.size() && items[j].Key.Lower == items[i].Key.Lower && items[j].Key.Upper == items[i].Key.Upper;
           ++j)
        run.push_back(items[j].Of);
      Entries.emplace_back(items[i].Key, dataOf(run.data(), run.data() + run.size()));
      i = j;
    }
    buildOffsets();
    return;
  }

  fileByLowerEnd(lowest, static_cast<int>(span), static_cast<long long>(INT_MAX) + 1);
}

void EdgeIndexTable::insert(int p, int a, int b) {
  if (a == b) return;
  const EdgeEntryKey key{std::min(a, b), std::max(a, b)};
  auto it = std::lower_bound(Entries.begin(), Entries.end(), key, [](const value_type& e, const EdgeEntryKey& k) {
    return compareEdgeEntryKey()(e.first, k);
  });
  if (it != Entries.end() && it->first.Lower == key.Lower && it->first.Upper == key.Upper) {
    EdgeEntryData& data = it->second;
    // A third polygon on an edge is not recorded.
    if (data.Second == -1 && data.First != p) data.Second = p;
    return;
  }
  // Moves every later entry: meant for small edits, a whole index is made by build.
  Entries.insert(it, value_type(key, EdgeEntryData{p, -1}));
  buildOffsets();
}

const EdgeEntryData* EdgeIndexTable::find(const EdgeEntryKey& key) const {
  if (!Offsets.empty()) {
    const long long i = static_cast<long long>(key.Lower) - Base;
    if (i < 0 || i + 1 >= static_cast<long long>(Offsets.size())) return nullptr;
    for (int k = Offsets[static_cast<std::size_t>(i)]; k < Offsets[static_cast<std::size_t>(i) + 1]; ++k)
      if (Entries[static_cast<std::size_t>(k)].first.Upper == key.Upper)
        return &Entries[static_cast<std::size_t>(k)].second;
    return nullptr;
  }
  auto it = std::lower_bound(Entries.begin(), Entries.end(), key, [](const value_type& e, const EdgeEntryKey& k) {
    return compareEdgeEntryKey()(e.first, k);
  });
  if (it == Entries.end() || it->first.Lower != key.Lower || it->first.Upper != key.Upper) return nullptr;
  return &it->second;
}

void EdgeIndexTable::clear() {
  Entries.clear();
  Offsets.clear();
  Base = 0;
}

void EdgeIndexTable::swap(EdgeIndexTable& other) {
  Entries.swap(other.Entries);
  Offsets.swap(other.Offsets);
  std::swap(Base, other.Base);
}

void EdgeIndexTable::buildOffsets() {
  Offsets.clear();
  Base = 0;
  if (Entries.empty()) return;
  const int lowest = Entries.front().first.Lower;
  const long long span = static_cast<long long>(Entries.back().first.Lower) - lowest + 1;
  if (span > 4 * static_cast<long long>(Entries.size()) + 1024) return;
  Base = lowest;
  Offsets.assign(static_cast<std::size_t>(span) + 1, 0);
  for (const value_type& e : Entries) ++Offsets[static_cast<std::size_t>(e.first.Lower - lowest) + 1];
  for (std::size_t i = 1; i < Offsets.size(); ++i) Offsets[i] += Offsets[i - 1];
}

}  // namespace tessellor
