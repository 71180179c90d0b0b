#include "mesh/EdgeIndexTable.h"

#include <algorithm>
#include <climits>

#include "base/Parallel.h"

namespace tessellor {

namespace {

// One use of an edge by a polygon, filed under the edge's lower end.
struct Use {
  int Upper;
  int Polygon;
};

// Calls use(lower, upper, p) for every edge use in the order the index rule sees them.
template <typename F>
void forEachUse(const std::vector<IdList>& polygons, F use) {
  const int count = static_cast<int>(polygons.size());
  for (int p = 0; p < count; ++p) {
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

// Sorts a short run of uses by Upper, keeping their order among equal Uppers.
void stableSortByUpper(Use* first, Use* last) {
  const auto byUpper = [](const Use& a, const Use& b) { return a.Upper < b.Upper; };
  if (last - first > 16) {
    std::stable_sort(first, last, byUpper);
    return;
  }
  for (Use* i = first + 1; i < last; ++i) {
    const Use item = *i;
    Use* j = i;
    for (; j > first && byUpper(item, *(j - 1)); --j) *j = *(j - 1);
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

}  // namespace

void EdgeIndexTable::build(const std::vector<IdList>& polygons) {
  clear();
  long long uses = 0;
  int lowest = INT_MAX, highest = INT_MIN;
  forEachUse(polygons, [&](int lower, int, int) {
    ++uses;
    lowest = std::min(lowest, lower);
    highest = std::max(highest, lower);
  });
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

  // Bucketed by lower end: the uses of each vertex in the order they come, then each bucket
  // sorted by upper end (keeping that order among equal keys) and cut into entries.
  const int buckets = static_cast<int>(span);
  std::vector<int> start(static_cast<std::size_t>(buckets) + 1, 0);
  forEachUse(polygons, [&](int lower, int, int) { ++start[static_cast<std::size_t>(lower - lowest) + 1]; });
  for (int b = 0; b < buckets; ++b) start[b + 1] += start[b];
  std::vector<Use> items(static_cast<std::size_t>(uses));
  {
    std::vector<int> next(start.begin(), start.end() - 1);
    forEachUse(polygons, [&](int lower, int upper, int p) {
      items[static_cast<std::size_t>(next[static_cast<std::size_t>(lower - lowest)]++)] = Use{upper, p};
    });
  }
  // Entries per bucket, then their places.
  std::vector<int> first(static_cast<std::size_t>(buckets) + 1, 0);
  forEachRange(buckets, 4096, [&](int begin, int end) {
    for (int b = begin; b < end; ++b) {
      Use* from = items.data() + start[b];
      Use* to = items.data() + start[b + 1];
      stableSortByUpper(from, to);
      int distinct = 0;
      for (Use* u = from; u < to; ++u) distinct += u == from || u->Upper != (u - 1)->Upper;
      first[static_cast<std::size_t>(b) + 1] = distinct;
    }
  });
  for (int b = 0; b < buckets; ++b) first[b + 1] += first[b];
  Entries.resize(static_cast<std::size_t>(first[buckets]));
  forEachRange(buckets, 4096, [&](int begin, int end) {
    for (int b = begin; b < end; ++b) {
      const Use* u = items.data() + start[b];
      const Use* to = items.data() + start[b + 1];
      value_type* out = Entries.data() + first[b];
      while (u < to) {
        const Use* run = u;
        while (u < to && u->Upper == run->Upper) ++u;
        *out++ = value_type(EdgeEntryKey{lowest + b, run->Upper}, dataOf(run, u));
      }
    }
  });
  Base = lowest;
  Offsets.swap(first);
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
