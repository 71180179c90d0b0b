#include "mesh/PolygonStorage.h"

#include "base/StatusOutput.h"

#include <cstddef>
#include <cstdio>
#include <vector>

namespace tessellor {

namespace {

float squaredDifference(const V3& a, const V3& b) {
  const float x = a.x - b.x;
  const float y = a.y - b.y;
  const float z = a.z - b.z;
  return x * x + y * y + z * z;
}

}  // namespace

bool PolygonStorage::checkIntegrity() {
  if (Output) Output->beginTask("Check Integrity");

  const auto printRecord = [this](const Vertex& record) {
    writeMsg("pos = (%g|%g|%g) n = (%g|%g|%g)", record.pos.x, record.pos.y, record.pos.z, record.n.x, record.n.y,
             record.n.z);
  };
  const auto writeBuffer = [this]() {
    if (Output) Output->writeLine(Msg);
  };

  bool indexOk = true;
  {
    const int entries = static_cast<int>(VIndex.size());
    std::vector<VertexIDSet> fresh(VIndex.size());
    for (int p = 0; p < static_cast<int>(Polygons.size()); ++p) {
      for (int v : Polygons[p]) {
        if (v >= 0 && v < entries) {
          fresh[v].insert(p);
        } else {
          // Such an id has no index entry to be missing from; it still means the index cannot
          // describe this mesh.
          writeMsg("Polygon %d uses vertex %d, which has no index entry", p, v);
          indexOk = false;
        }
      }
    }
    for (int i = 0; i < entries; ++i) {
      if (fresh[i] == VIndex[i]) continue;
      writeMsg("Vertex Index for Vertex %d is wrong", i);
      if (static_cast<std::size_t>(i) < Vertices.size()) printRecord(Vertices[i]);
      writeMsg("New VIndex");
      formatIdSet(fresh[i], Msg, static_cast<int>(sizeof Msg));
      writeBuffer();
      writeMsg("Old VIndex");
      formatIdSet(VIndex[i], Msg, static_cast<int>(sizeof Msg));
      writeBuffer();
      indexOk = false;
    }
    writeMsg(indexOk ? "VIndex OK" : "VIndex corrupted");
  }

  bool midpointsOk = true;
  {
    const std::vector<Vertex> old = Midpoints;
    // As computeMidpoints, except that a polygon with a vertex id that has no vertex (reported
    // above) is not read and keeps its record. Polygons of fewer than three ids are emptied and
    // leave the vertex index; the edge index must follow.
    Midpoints.resize(Polygons.size());
    const int vertexCount = static_cast<int>(Vertices.size());
    int emptied = 0;
    for (int p = 0; p < static_cast<int>(Polygons.size()); ++p) {
      const VertexIDList& polygon = Polygons[p];
      if (!polygon.empty() && polygon.size() < 3) ++emptied;
      bool readable = true;
      for (int v : polygon) readable = readable && v >= 0 && v < vertexCount;
      if (readable || polygon.size() < 3) computeMidpoint(p);
    }
    if (emptied != 0) buildEdgeIndex();
    const std::size_t compared = old.size() < Midpoints.size() ? old.size() : Midpoints.size();
    for (std::size_t i = 0; i < compared; ++i) {
      const float dp = squaredDifference(old[i].pos, Midpoints[i].pos);
      const float dn = squaredDifference(old[i].n, Midpoints[i].n);
      if (static_cast<double>(dp) > 1e-07 || static_cast<double>(dn) > 1e-07) {
        midpointsOk = false;
        writeMsg("Midpoint wrong for Polygon %d. Follows old and new midpoint.", static_cast<int>(i));
        printRecord(old[i]);
        printRecord(Midpoints[i]);
      }
    }
  }

  if (Output) Output->endTask();
  return indexOk && midpointsOk;
}

void PolygonStorage::formatIdSet(const VertexIDSet& set, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return;
  buffer[0] = '\0';
  const int limit = size - 6;
  int length = 0;
  for (int id : set) {
    if (length >= limit) break;
    char piece[16];
    const int pieceLength = std::snprintf(piece, sizeof piece, "%d|", id);
    for (int k = 0; k < pieceLength && length < limit; ++k) buffer[length++] = piece[k];
  }
  buffer[length] = '\0';
}

}  // namespace tessellor
