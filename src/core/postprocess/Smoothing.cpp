#include "mesh/PolygonStorage.h"

#include "base/NullInterrupter.h"
#include "base/Parallel.h"
#include "base/StatusOutput.h"

#include <cstddef>
#include <vector>

namespace tessellor {

void PolygonStorage::smooth() {
  if (Output) Output->beginTask("Smoothing");

  const std::size_t count = Vertices.size();
  std::vector<V3> newPositions(count);
  std::vector<char> fixed(count, 0);

  // Open borders stay where they are: both ends of every boundary edge are fixed.
  for (const auto& entry : EdgeIndex) {
    if (entry.second.Second != -1) continue;
    const int lower = entry.first.Lower;
    const int upper = entry.first.Upper;
    if (lower >= 0 && static_cast<std::size_t>(lower) < count) fixed[lower] = 1;
    if (upper >= 0 && static_cast<std::size_t>(upper) < count) fixed[upper] = 1;
  }

  const std::size_t indexed = VIndex.size() < count ? VIndex.size() : count;
  // Each vertex writes only its own new position: the vertices run in parallel.
  forEachRange(static_cast<int>(count), 4096, [&](int begin, int end) {
    for (int v = begin; v < end; ++v) {
      const std::size_t i = static_cast<std::size_t>(v);
      if ((i & 4095) == 0) throwIfInterrupted(Interrupter);
      const Vertex& vertex = Vertices[i];
      if (i >= indexed || VIndex[i].empty() || fixed[i] || vertex.attr != 0) {
        newPositions[i] = vertex.pos;
        continue;
      }
      // On a consistently oriented mesh each edge into i runs into it in exactly one polygon, so
      // the predecessors are the edge neighbours, each once.
      V3 sum;
      for (int p : VIndex[i]) {
        const V3& q = Vertices[neighbourInPolygon(p, v, false)].pos;
        sum.x += q.x;
        sum.y += q.y;
        sum.z += q.z;
      }
      const float inverse = 1.0f / static_cast<float>(VIndex[i].size());
      newPositions[i] = V3{sum.x * inverse, sum.y * inverse, sum.z * inverse};
    }
  });

  // All at once: every average above used the positions from before the call.
  for (std::size_t i = 0; i < count; ++i) Vertices[i].pos = newPositions[i];

  if (computeMidpoints() != 0) buildEdgeIndex();
  computeVertexNormals();

  if (Output) Output->endTask();
}

}  // namespace tessellor
