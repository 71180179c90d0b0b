#pragma once

#include <map>
#include <set>
#include <utility>

#include "mesh/PolygonStorage.h"

namespace tessellor {

// Sharp edges by key, with their polygons; edges are taken out as they are chained.
using EdgeIndexMap = std::map<EdgeEntryKey, EdgeEntryData, compareEdgeEntryKey>;

// Selects the sharp edges of a mesh (boundary edges and creases) and chains them into feature
// lines of vertex ids.
class SharpFeatures {
 public:
  SharpFeatures() = default;
  SharpFeatures(const SharpFeatures&) = delete;
  SharpFeatures& operator=(const SharpFeatures&) = delete;

  void setMesh(PolygonStorage* mesh) { Mesh = mesh; }

  // Boundary edges, and interior edges whose face normals have |cos| below psi; then chains them.
  void detectSharpEdges(float psi);
  // Consumes SharpEdges; keeps the lines of three or more ids.
  void buildFeatureLines();
  // The first edge of SharpEdges (in key order) at v that may continue the edge just walked,
  // whose polygons are (q1, q2). On success v, q1, q2 move on to it; SharpEdges.end() is "none".
  EdgeIndexMap::iterator findNextSharpEdge(int& v, int& q1, int& q2);

  PolygonStorage* Mesh = nullptr;  // not owned
  EdgeIndexMap SharpEdges;
  VertexIDListList FeatureLines;

 private:
  bool continues(const EdgeEntryData& e, int q1, int q2) const;
  void eraseSharpEdge(EdgeIndexMap::iterator it);
  EdgeIndexMap::iterator insertSharpEdge(const EdgeEntryKey& key, const EdgeEntryData& data);

  // (Upper, Lower) of every entry of SharpEdges: the edges whose upper end is a vertex, in the
  // order of their keys. Together with the Lower-ordered map it answers the continuation search
  // without scanning the whole map.
  // Kept only while buildFeatureLines runs; other callers get a plain scan.
  std::set<std::pair<int, int>> ByUpper;
  bool Chaining = false;
};

}  // namespace tessellor
