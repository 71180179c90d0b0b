#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <utility>

#include "mesh/IdList.h"

namespace tessellor {

// A set of ids kept as an ascending array: the polygons of one vertex. It iterates, counts,
// inserts and erases like std::set<int> (ascending, each id once), but holds up to six ids without
// any allocation (in an IdList) and more in one array, which keeps a mesh's vertex index small and
// its walks fast. Inserting or erasing invalidates iterators into the set.
class SortedIdSet {
 public:
  using value_type = int;
  using size_type = std::size_t;
  using iterator = const int*;
  using const_iterator = const int*;

  SortedIdSet() = default;
  SortedIdSet(std::initializer_list<int> ids) {
    for (int id : ids) insert(id);
  }

  const int* begin() const { return Ids.begin(); }
  const int* end() const { return Ids.end(); }
  std::size_t size() const { return Ids.size(); }
  bool empty() const { return Ids.empty(); }
  void clear() { Ids.clear(); }

  const int* find(int id) const {
    const int* at = std::lower_bound(begin(), end(), id);
    return at != end() && *at == id ? at : end();
  }
  std::size_t count(int id) const { return find(id) != end() ? 1 : 0; }

  std::pair<const int*, bool> insert(int id) {
    const int* at = std::lower_bound(begin(), end(), id);
    if (at != end() && *at == id) return {at, false};
    return {Ids.insert(at, id), true};
  }
  // The hint is only used to append quickly: ids that come in ascending order.
  const int* insert(const int* /*hint*/, int id) {
    if (Ids.empty() || Ids.back() < id) {
      Ids.push_back(id);
      return end() - 1;
    }
    return insert(id).first;
  }
  std::size_t erase(int id) {
    const int* at = find(id);
    if (at == end()) return 0;
    Ids.erase(at);
    return 1;
  }

  friend bool operator==(const SortedIdSet& a, const SortedIdSet& b) { return a.Ids == b.Ids; }
  friend bool operator!=(const SortedIdSet& a, const SortedIdSet& b) { return !(a == b); }

 private:
  IdList Ids;
};

}  // namespace tessellor
