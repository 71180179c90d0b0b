#include "mesh/PolygonStorage.h"

#include "base/NullInterrupter.h"
#include "base/Parallel.h"
#include "base/StatusOutput.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

namespace tessellor {

void PolygonStorage::smooth(bool listsOnly) {
  if (Output) Output->beginTask("Smoothing");

  const std::size_t count = Vertices.size();
  std::vector<V3> newPositions(count);
  std::unique_ptr<std::atomic<char>[]> fixed(new std::atomic<char>[count]);
  forEachRange(static_cast<int>(count), 1 << 14, [&](int begin, int end) {
    for (int v = begin; v < end; ++v) fixed[v].store(0, std::memory_order_relaxed);
  });

  // Open borders stay where they are: both ends of every boundary edge are fixed.
  forEachRange(static_cast<int>(EdgeIndex.size()), 1 << 14, [&](int begin, int end) {
    for (auto entry = EdgeIndex.begin() + begin; entry != EdgeIndex.begin() + end; ++entry) {
      if (entry->second.Second != -1) continue;
      const int lower = entry->first.Lower;
      const int upper = entry->first.Upper;
      if (lower >= 0 && static_cast<std::size_t>(lower) < count) fixed[lower].store(1, std::memory_order_relaxed);
      if (upper >= 0 && static_cast<std::size_t>(upper) < count) fixed[upper].store(1, std::memory_order_relaxed);
    }
  });

  const std::size_t indexed = VIndex.size() < count ? VIndex.size() : count;
  // Each vertex writes only its own new position: the vertices run in parallel.
  forEachRange(static_cast<int>(count), 4096, [&](int begin, int end) {
    for (int v = begin; v < end; ++v) {
      const std::size_t i = static_cast<std::size_t>(v);
      if ((i & 4095) == 0) throwIfInterrupted(Interrupter);
      const Vertex& vertex = Vertices[i];
      if (i >= indexed || VIndex[i].empty() || fixed[i].load(std::memory_order_relaxed) || vertex.attr != 0) {
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
  fixed.reset();
  forEachRange(static_cast<int>(count), 1 << 14, [&](int begin, int end) {
    for (int v = begin; v < end; ++v) Vertices[v].pos = newPositions[v];
  });

  if (listsOnly) {
    releaseIndices();
  } else {
    if (computeMidpoints() != 0) buildEdgeIndex();
    computeVertexNormals();
  }

  if (Output) Output->endTask();
}

}  // namespace tessellor
