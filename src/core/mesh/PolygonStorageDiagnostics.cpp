// Human-readable facts about a mesh, written to its status output: one vertex, one polygon and
// the valence / polygon-size statistics block.
#include "mesh/PolygonStorage.h"

#include "base/StatusOutput.h"

#include <cstdio>
#include <cstring>

namespace tessellor {

void PolygonStorage::printVertex(int v) {
  // The id is typed by the user: never read outside the vector.
  if (v < 0 || v >= static_cast<int>(Vertices.size())) {
    writeMsg("Vertex %d is out of range (0 .. %d)", v, static_cast<int>(Vertices.size()) - 1);
    return;
  }
  const Vertex& vertex = Vertices[v];
  writeMsg("pos = (%g|%g|%g) n = (%g|%g|%g)", vertex.pos.x, vertex.pos.y, vertex.pos.z, vertex.n.x, vertex.n.y,
           vertex.n.z);
}

void PolygonStorage::printPolygon(int p) {
  if (p < 0 || p >= static_cast<int>(Polygons.size())) {
    writeMsg("Polygon %d is out of range (0 .. %d)", p, static_cast<int>(Polygons.size()) - 1);
    return;
  }
  writeMsg("Polygon %d", p);
  formatIdList(Polygons[p], Msg, static_cast<int>(sizeof Msg));
  if (Output) Output->writeLine(Msg);
}

void PolygonStorage::formatIdList(const VertexIDList& list, char* buffer, int size) {
  if (size <= 0) return;
  buffer[0] = '\0';
  // The text stays within size - 6 characters; the id that would cross the limit is cut there.
  const int limit = size - 6;
  if (limit <= 0) return;
  int length = 0;
  char item[16];
  for (int id : list) {
    const int itemLength = std::snprintf(item, sizeof item, "%d|", id);
    if (length + itemLength > limit) {
      std::memcpy(buffer + length, item, static_cast<std::size_t>(limit - length));
      length = limit;
      break;
    }
    std::memcpy(buffer + length, item, static_cast<std::size_t>(itemLength));
    length += itemLength;
  }
  buffer[length] = '\0';
}

void PolygonStorage::printStatistics() {
  int vertexBins[10] = {};
  int polygonBins[10] = {};
  for (const VertexIDSet& entry : VIndex) {
    const std::size_t d = entry.size();
    ++vertexBins[d < 9 ? d : 9];
  }
  for (const VertexIDList& polygon : Polygons) {
    const std::size_t k = polygon.size();
    ++polygonBins[k < 9 ? k : 9];
  }
  writeMsg("------ Polygon Storage Statistics -------- begin");
  writeMsg("Vertex grad statistics");
  for (int d = 0; d < 9; ++d) writeMsg(" %d grad %d", vertexBins[d], d);
  writeMsg(" %d grad >=%d", vertexBins[9], 9);
  writeMsg("Total vertices: %d", static_cast<int>(VIndex.size()));
  writeMsg("Polygon edge statistics");
  for (int k = 0; k < 9; ++k) writeMsg(" %d with %d edges", polygonBins[k], k);
  writeMsg(" %d with >=%d edges", polygonBins[9], 9);
  writeMsg("Total : %d", static_cast<int>(Polygons.size()));
  writeMsg("------ Polygon Storage Statistics -------- end");
}

}  // namespace tessellor
