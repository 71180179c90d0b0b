#include "mesh/PolygonStorage.h"

#include "base/Assert.h"
#include "base/NullInterrupter.h"
#include "base/StatusOutput.h"

#include <cstddef>

namespace tessellor {

namespace {

// One rotation step around source vertex i: from polygon cur across the edge (i, w). Returns false
// when the walk ends there (boundary edge, unindexed edge, or a neighbour that runs the shared edge
// in the same direction, which is treated like a boundary). On success cur and w move on.
bool rotationStep(const PolygonStorage& source, int i, int& cur, int& w, bool forward) {
  const int nb = source.otherPolygon(cur, PolygonStorage::makeEdgeKey(i, w));
  if (nb == -1) return false;
  const int next = source.neighbourInPolygon(nb, i, !forward);
  if (next == w) return false;
  cur = nb;
  w = next;
  return true;
}

// A vertex half-way along the boundary edge (i, w) that ended an open fan; it carries the source
// vertex's normal and attr until the normals are recomputed.
Vertex edgeMidpoint(const PolygonStorage& source, int i, int w) {
  Vertex record = source.Vertices[i];
  const V3& a = source.Vertices[i].pos;
  const V3& b = source.Vertices[w].pos;
  record.pos = V3{0.5f * (a.x + b.x), 0.5f * (a.y + b.y), 0.5f * (a.z + b.z)};
  return record;
}

}  // namespace

void PolygonStorage::constructDualSurface(const PolygonStorage& source, bool skipBoundaryMidpoints) {
  constructDualFans(source, skipBoundaryMidpoints);
  finishDualSurface();
}

void PolygonStorage::constructDualFans(const PolygonStorage& source, bool skipBoundaryMidpoints) {
  TS_ASSERT(this != &source);
  if (Output) Output->beginTask("Constructing Dual Surface");

  clear();
  Scale = source.Scale;
  Offset = source.Offset;

  // Destination vertex k is source polygon k, used or not.
  Vertices.assign(source.Midpoints.begin(), source.Midpoints.end());

  const int sourceVertices = static_cast<int>(source.VIndex.size());
  for (int i = 0; i < sourceVertices; ++i) {
    if ((i & 4095) == 0) throwIfInterrupted(Interrupter);
    const VertexIDSet& around = source.VIndex[i];
    if (around.size() <= 2) continue;
    // A manifold fan visits each of its polygons once; on a non-manifold neighbourhood (an edge
    // with more than two polygons, of which the edge index keeps two) the walk may circle without
    // coming back to its start, so no fan takes more polygons than the vertex has.
    const std::size_t limit = around.size();

    const int start = *around.begin();
    Midpoints.push_back(source.Vertices[i]);
    Polygons.emplace_back();
    VertexIDList& fan = Polygons.back();
    fan.push_back(start);
    std::size_t taken = 1;

    int cur = start;
    int w = source.neighbourInPolygon(start, i, false);
    bool open = !rotationStep(source, i, cur, w, true);
    while (!open && cur != start && taken < limit) {
      fan.push_back(cur);
      ++taken;
      open = !rotationStep(source, i, cur, w, true);
    }
    if (!open) continue;

    if (!skipBoundaryMidpoints) fan.push_back(addVertex(edgeMidpoint(source, i, w)));
    cur = start;
    w = source.neighbourInPolygon(start, i, true);
    bool ended = !rotationStep(source, i, cur, w, false);
    while (!ended && taken < limit) {
      fan.insert(fan.begin(), cur);
      ++taken;
      ended = !rotationStep(source, i, cur, w, false);
    }
    if (!skipBoundaryMidpoints && ended) fan.insert(fan.begin(), addVertex(edgeMidpoint(source, i, w)));
  }
}

void PolygonStorage::finishDualSurface() {
  buildIndex();
  // A fan that closed on fewer than three corners is emptied here and leaves the vertex index;
  // the edge index built above still lists it.
  if (computeMidpoints() != 0) buildEdgeIndex();
  computeVertexNormals();

  if (Output) Output->endTask();
}

}  // namespace tessellor
