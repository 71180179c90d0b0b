#include "mesh/PolygonStorage.h"

#include "base/Assert.h"
#include "base/NullInterrupter.h"
#include "base/Parallel.h"
#include "base/StatusOutput.h"

#include <cstddef>
#include <utility>
#include <vector>

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

void PolygonStorage::constructDualFans(const PolygonStorage& source, bool skipBoundaryMidpoints,
                                       std::vector<Vertex>* centres) {
  TS_ASSERT(this != &source);
  if (Output) Output->beginTask("Constructing Dual Surface");

  clear();
  Scale = source.Scale;
  Offset = source.Offset;

  // Destination vertex k is source polygon k, used or not.
  if (centres)
    Vertices.swap(*centres);
  else
    Vertices.assign(source.Midpoints.begin(), source.Midpoints.end());

  // The fans are walked in parallel over ranges of source vertices and appended in vertex order.
  // Within a range the edge midpoints it adds are numbered -2, -3, ...; the merge gives them
  // their ids in the order a single walk would have added them.
  struct Piece {
    std::vector<VertexIDList> Fans;
    std::vector<Vertex> Centres;
    std::vector<Vertex> Added;
  };
  forEachPiece<Piece>(
      static_cast<int>(source.VIndex.size()), 4096,
      [&](int begin, int end, Piece& piece) {
        for (int i = begin; i < end; ++i) {
          if ((i & 4095) == 0) throwIfInterrupted(Interrupter);
          const VertexIDSet& around = source.VIndex[i];
          if (around.size() <= 2) continue;
          // A manifold fan visits each of its polygons once; on a non-manifold neighbourhood (an
          // edge with more than two polygons, of which the edge index keeps two) the walk may
          // circle without coming back to its start, so no fan takes more polygons than the
          // vertex has.
          const std::size_t limit = around.size();
          const auto addMidpoint = [&](int w) {
            piece.Added.push_back(edgeMidpoint(source, i, w));
            return -1 - static_cast<int>(piece.Added.size());
          };

          const int start = *around.begin();
          piece.Centres.push_back(source.Vertices[i]);
          piece.Fans.emplace_back();
          VertexIDList& fan = piece.Fans.back();
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

          if (!skipBoundaryMidpoints) fan.push_back(addMidpoint(w));
          cur = start;
          w = source.neighbourInPolygon(start, i, true);
          bool ended = !rotationStep(source, i, cur, w, false);
          while (!ended && taken < limit) {
            fan.insert(fan.begin(), cur);
            ++taken;
            ended = !rotationStep(source, i, cur, w, false);
          }
          if (!skipBoundaryMidpoints && ended) fan.insert(fan.begin(), addMidpoint(w));
        }
      },
      [&](Piece& piece) {
        const int base = static_cast<int>(Vertices.size());
        for (VertexIDList& fan : piece.Fans) {
          for (int& id : fan)
            if (id < -1) id = base + (-2 - id);
          Polygons.push_back(std::move(fan));
        }
        Vertices.insert(Vertices.end(), piece.Added.begin(), piece.Added.end());
        Midpoints.insert(Midpoints.end(), piece.Centres.begin(), piece.Centres.end());
      });
}

void PolygonStorage::finishDualSurface(bool vertexNormals, bool midpointNormals) {
  buildIndex();
  // A fan that closed on fewer than three corners is emptied here and leaves the vertex index;
  // the edge index built above still lists it.
  // The midpoints keep their normals (unless midpointNormals is off): the records of polygons
  // emptied later stay in the result.
  if (computeMidpoints(midpointNormals) != 0) buildEdgeIndex();
  if (vertexNormals) computeVertexNormals();

  if (Output) Output->endTask();
}

}  // namespace tessellor
