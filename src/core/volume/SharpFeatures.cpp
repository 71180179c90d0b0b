#include "volume/SharpFeatures.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace tessellor {

void SharpFeatures::detectSharpEdges(float psi) {
  SharpEdges.clear();
  for (const auto& entry : Mesh->EdgeIndex) {
    const EdgeEntryData& data = entry.second;
    if (data.Second == -1) {
      SharpEdges.insert(entry);
    } else if (data.First != -1) {
      const V3& a = Mesh->Midpoints[static_cast<std::size_t>(data.First)].n;
      const V3& b = Mesh->Midpoints[static_cast<std::size_t>(data.Second)].n;
      const float c = std::fabs(a.x * b.x + a.y * b.y + a.z * b.z);
      if (c < psi) SharpEdges.insert(entry);
    }
  }
  buildFeatureLines();
}

bool SharpFeatures::continues(const EdgeEntryData& e, int q1, int q2) const {
  // A boundary chain continues only along boundary edges of another polygon; an interior chain
  // only along an edge that shares no polygon with the one just walked.
  if (q2 == -1) return e.First != q1 && e.Second == -1;
  return e.First != q1 && e.First != q2 && e.Second != q1 && e.Second != q2;
}

EdgeIndexMap::iterator SharpFeatures::findNextSharpEdge(int& v, int& q1, int& q2) {
  if (!Chaining) {
    for (auto edge = SharpEdges.begin(); edge != SharpEdges.end(); ++edge) {
      if ((edge->first.Lower != v && edge->first.Upper != v) || !continues(edge->second, q1, q2)) continue;
      v = edge->first.Lower == v ? edge->first.Upper : edge->first.Lower;
      q1 = edge->second.First;
      q2 = edge->second.Second;
      return edge;
    }
    return SharpEdges.end();
  }
  // In key order, the edges with Upper == v (their Lower is smaller) come before those with
  // Lower == v, so this visits candidates in the order of a full scan of SharpEdges.
  for (auto it = ByUpper.lower_bound({v, INT_MIN}); it != ByUpper.end() && it->first == v; ++it) {
    const auto edge = SharpEdges.find(EdgeEntryKey{it->second, v});
    if (edge != SharpEdges.end() && continues(edge->second, q1, q2)) {
      v = edge->first.Lower;
      q1 = edge->second.First;
      q2 = edge->second.Second;
      return edge;
    }
  }
  for (auto edge = SharpEdges.lower_bound(EdgeEntryKey{v, INT_MIN}); edge != SharpEdges.end() && edge->first.Lower == v;
       ++edge) {
    if (continues(edge->second, q1, q2)) {
      v = edge->first.Upper;
      q1 = edge->second.First;
      q2 = edge->second.Second;
      return edge;
    }
  }
  return SharpEdges.end();
}

void SharpFeatures::eraseSharpEdge(EdgeIndexMap::iterator it) {
  ByUpper.erase({it->first.Upper, it->first.Lower});
  SharpEdges.erase(it);
}

EdgeIndexMap::iterator SharpFeatures::insertSharpEdge(const EdgeEntryKey& key, const EdgeEntryData& data) {
  ByUpper.insert({key.Upper, key.Lower});
  return SharpEdges.insert({key, data}).first;
}

void SharpFeatures::buildFeatureLines() {
  FeatureLines.clear();
  ByUpper.clear();
  for (const auto& entry : SharpEdges) ByUpper.insert({entry.first.Upper, entry.first.Lower});
  Chaining = true;

  VertexIDList backward;
  while (!SharpEdges.empty()) {
    const EdgeEntryKey key = SharpEdges.begin()->first;
    const EdgeEntryData data = SharpEdges.begin()->second;
    FeatureLines.emplace_back();
    VertexIDList& line = FeatureLines.back();

    int v = key.Lower, q1 = data.First, q2 = data.Second;
    auto cursor = SharpEdges.begin();
    while (cursor != SharpEdges.end()) {
      line.push_back(v);
      eraseSharpEdge(cursor);
      cursor = findNextSharpEdge(v, q1, q2);
    }

    // The walk from the upper end again starts with the first edge, which is the smallest key.
    backward.clear();
    v = key.Upper;
    q1 = data.First;
    q2 = data.Second;
    cursor = insertSharpEdge(key, data);
    while (cursor != SharpEdges.end()) {
      backward.push_back(v);
      eraseSharpEdge(cursor);
      cursor = findNextSharpEdge(v, q1, q2);
    }
    line.insert(line.begin(), backward.rbegin(), backward.rend());
  }
  ByUpper.clear();
  Chaining = false;

  FeatureLines.erase(std::remove_if(FeatureLines.begin(), FeatureLines.end(),
                                    [](const VertexIDList& line) { return line.size() < 3; }),
                     FeatureLines.end());
}

}  // namespace tessellor
