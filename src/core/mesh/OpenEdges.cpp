#include "mesh/OpenEdges.h"

#include "base/BucketSort.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tessellor {

int countOpenEdges(const PolygonStorage& mesh) {
  std::vector<std::uint64_t> edges;
  for (const VertexIDList& polygon : mesh.Polygons) {
    if (polygon.size() < 3) continue;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
      const int a = polygon[i], b = polygon[(i + 1) % polygon.size()];
      if (a == b) continue;
      const std::uint32_t lo = static_cast<std::uint32_t>(std::min(a, b)),
                          hi = static_cast<std::uint32_t>(std::max(a, b));
      edges.push_back((static_cast<std::uint64_t>(lo) << 32) | hi);
    }
  }
  // Filed by lower end when the ids are those of a mesh (small and not negative); otherwise
  // (only a damaged mesh) one sort of all keys.
  std::uint32_t highest = 0;
  bool negative = false;
  for (std::uint64_t key : edges) {
    highest = std::max(highest, static_cast<std::uint32_t>(key >> 32));
    negative = negative || static_cast<std::int32_t>(key >> 32) < 0;
  }
  if (!negative && highest < 4 * edges.size() + 1024)
    bucketSort(
        edges, static_cast<int>(highest) + 1, [](std::uint64_t key) { return static_cast<int>(key >> 32); },
        [](std::uint64_t a, std::uint64_t b) { return a < b; });
  else
    std::sort(edges.begin(), edges.end());
  int open = 0;
  for (std::size_t i = 0; i < edges.size();) {
    std::size_t j = i + 1;
    while (j < edges.size() && edges[j] == edges[i]) ++j;
    if (j - i == 1) ++open;
    i = j;
  }
  return open;
}

}  // namespace tessellor
