#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "base/UninitializedVector.h"
#include "mesh/IdList.h"

namespace tessellor {

struct EdgeEntryKey {
  int Lower = 0;
  int Upper = 0;
};

struct EdgeEntryData {
  int First = -1;
  int Second = -1;  // -1 while the edge has only one polygon (boundary edge)
};

// Orders edge keys by Lower, then Upper.
struct compareEdgeEntryKey {
  bool operator()(const EdgeEntryKey& a, const EdgeEntryKey& b) const {
    return a.Lower < b.Lower || (a.Lower == b.Lower && a.Upper < b.Upper);
  }
};

// The edges of a mesh and the (at most two) polygons of each, as one flat array in key order
// (Lower, then Upper), built in bulk from the polygons. A look-up goes straight to the few entries
// of its lower vertex. Iterating yields (key, data) pairs in key order.
class EdgeIndexTable {
 public:
  using value_type = std::pair<EdgeEntryKey, EdgeEntryData>;
  using const_iterator = UninitializedVector<value_type>::const_iterator;

  // Every edge of every polygon: the closing edge (last, first) of a polygon comes first, then its
  // other edges in order; First is the first polygon met on an edge, Second the next other one
  // (a third polygon on an edge is not recorded). A repeated consecutive id is no edge. idBound,
  // when given, is the number of vertices the ids should index (a faster build when they do).
  void build(const std::vector<IdList>& polygons, int idBound = 0);
  // Adds one use of the edge (a, b) by polygon p, with the rule of build.
  void insert(int p, int a, int b);
  // Null when the key is not in the index.
  const EdgeEntryData* find(const EdgeEntryKey& key) const;

  const_iterator begin() const { return Entries.begin(); }
  const_iterator end() const { return Entries.end(); }
  const_iterator cbegin() const { return Entries.cbegin(); }
  const_iterator cend() const { return Entries.cend(); }
  std::size_t size() const { return Entries.size(); }
  bool empty() const { return Entries.empty(); }
  void clear();
  void swap(EdgeIndexTable& other);

 private:
  void buildOffsets();

  UninitializedVector<value_type> Entries;
  // Entries with Lower == Base + i are Entries[Offsets[i] .. Offsets[i + 1]); empty when the ids
  // are too spread out for a table, and then a look-up searches Entries.
  int Base = 0;
  std::vector<int> Offsets;
};

}  // namespace tessellor
