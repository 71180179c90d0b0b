#pragma once

#include "mesh/EdgeIndexTable.h"
#include "mesh/IdList.h"
#include "mesh/SortedIdSet.h"

#include <cstdint>
#include <vector>

namespace tessellor {

class NullInterrupter;
class StatusOutput;

// Three 32-bit floats.
struct V3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// A vertex, or a polygon's midpoint record (centroid, unit face normal).
// attr: 0 ordinary, 1 on a feature edge, 2 at a feature corner.
struct Vertex {
  V3 pos;
  V3 n;
  std::uint8_t attr = 0;
};

using VertexIDList = IdList;      // one polygon, ids in boundary order (counter-clockwise seen from the normal)
using VertexIDSet = SortedIdSet;  // the polygons of one vertex, ascending
using VertexIDListList = std::vector<VertexIDList>;

// The one mesh container of the system. Ids are positions in the vectors and stay stable:
// deleted polygons are empty lists, vertices are never erased.
// File coordinates = stored position * Scale + Offset.
class PolygonStorage {
 public:
  PolygonStorage();
  PolygonStorage(const PolygonStorage&) = delete;
  PolygonStorage& operator=(const PolygonStorage&) = delete;

  std::vector<VertexIDList> Polygons;
  std::vector<Vertex> Vertices;
  std::vector<VertexIDSet> VIndex;
  std::vector<Vertex> Midpoints;
  EdgeIndexTable EdgeIndex;
  V3 BBoxMax;
  V3 BBoxMin;
  StatusOutput* Output = nullptr;
  NullInterrupter* Interrupter = nullptr;  // polled by the post-processing passes; not owned
  char Msg[100] = {};
  float Scale = 1.0f;
  V3 Offset;

  // --- bulk state
  void clear();
  void setStatusOutput(StatusOutput* output) { Output = output; }
  // A stopped pass throws Cancelled and leaves the mesh partly processed: run it on a copy.
  void setInterrupter(NullInterrupter* interrupter) { Interrupter = interrupter; }
  float getScale() const { return Scale; }
  void setScale(float scale) { Scale = scale; }
  V3 getOffset() const { return Offset; }
  void setOffset(float x, float y, float z) { Offset = V3{x, y, z}; }
  // A stored position in the coordinates of the file the mesh came from, per axis in 32-bit float.
  V3 fileCoordinates(const V3& p) const {
    return V3{Scale * p.x + Offset.x, Scale * p.y + Offset.y, Scale * p.z + Offset.z};
  }
  int addVertex(const Vertex& vertex);
  int addTriangle(int a, int b, int c);
  // Swaps every field except Output and Interrupter (readers fill a fresh mesh and swap on success).
  void swapContents(PolygonStorage& other);
  // Copies every field except Output and Interrupter.
  void copyContents(const PolygonStorage& other);
  // Frees VIndex, EdgeIndex and Midpoints (and their memory) for a mesh that from now on is only
  // read as lists of vertices and polygons, for instance by the writers; buildIndex and
  // computeMidpoints bring them back.
  void releaseIndices();

  // --- index maintenance
  void buildIndex();
  // The polygons of every vertex, ascending (a polygon naming a vertex twice is listed twice):
  // those of vertex v are ids[start[v] .. start[v + 1]). Every id must lie in [0, vertexCount).
  static void polygonsOfVertices(const std::vector<VertexIDList>& polygons, int vertexCount, std::vector<int>& start,
                                 std::vector<int>& ids);
  void addPolygonToIndex(int p);
  void removePolygonFromIndex(int p);
  void buildEdgeIndex();
  void insertEdge(int p, int a, int b);
  // Null when the key is not in the index.
  const EdgeEntryData* findEdge(const EdgeEntryKey& key) const;
  static EdgeEntryKey makeEdgeKey(int a, int b);
  int otherPolygon(int p, const EdgeEntryKey& key) const;

  // --- geometry
  void computeBoundingBox();
  // The centroid and normal of polygon p; without normal the record's normal is zero.
  void computeMidpoint(int p, bool normal = true);
  // Returns the number of polygons it emptied (fewer than three ids); those are also taken out
  // of VIndex, and the caller rebuilds EdgeIndex when the count is not 0. Without normals the
  // records' normals are zero (for meshes whose later passes read only the centroids).
  int computeMidpoints(bool normals = true);
  float angleAtVertex(int v, int p) const;
  void computeVertexNormal(Vertex& vert, int v);
  void computeVertexNormals();
  int neighbourInPolygon(int p, int v, bool next) const;
  // Rescales the mesh into a volume of nx x ny x nz voxels with a 1.5 voxel border.
  // Returns false and changes nothing when the scale would not be a finite positive number.
  bool fitIntoVolume(int nx, int ny, int nz);

  // --- local edits
  void updatePolygon(int p);
  void deletePolygon(int p);
  void splitPolygon(int p, int a, int b);
  void replaceVertexInPolygon(int oldId, int newId, int p);
  void replaceVertex(int oldId, int newId);
  // Moves vertex v and recomputes the midpoints around it and its normal; without normals only
  // the midpoints' centroids (their normals become zero) and not the vertex normal.
  void moveVertex(Vertex& vert, int v, float x, float y, float z, bool normals = true);

  // --- diagnostics (PolygonStorageDiagnostics.cpp)
  void printVertex(int v);
  void printPolygon(int p);
  void printStatistics();
  static void formatIdList(const VertexIDList& list, char* buffer, int size);

  // --- post-processing passes (src/core/postprocess, one source file each)
  void constructDualSurface(const PolygonStorage& source, bool skipBoundaryMidpoints);
  // constructDualSurface in two halves: the fans (the only step that reads source), then the
  // indices, midpoints and (with vertexNormals) normals; a caller may free source in between.
  // With centres given, the dual's first vertices are moved out of it (normally source.Midpoints,
  // which the walk does not read) instead of being copied from source.Midpoints.
  void constructDualFans(const PolygonStorage& source, bool skipBoundaryMidpoints,
                         std::vector<Vertex>* centres = nullptr);
  // Without midpointNormals the midpoints get positions only, for a mesh whose midpoint records
  // nobody reads after the later passes (see smooth's listsOnly).
  void finishDualSurface(bool vertexNormals = true, bool midpointNormals = true);
  void reducePolygonDegree();
  void splitPolygonAroundCenter(int p, int g, int start, Vertex centerVertex);
  // Without vertexNormals no normal is recomputed around a collapse (the midpoints there get zero
  // normals, the vertices keep theirs), for a mesh whose normals nobody reads afterwards.
  void removeRhombusPolygons(bool vertexNormals = true);
  // With listsOnly the smoothed mesh is left as its vertex and polygon lists, for a caller that
  // reads nothing else: the indices and midpoints are released instead of being made anew for the
  // moved positions, and the vertex normals are not computed again.
  void smooth(bool listsOnly = false);
  bool checkIntegrity();
  static void formatIdSet(const VertexIDSet& set, char* buffer, int size);

 private:
  // Formats into Msg (cut to 99 characters) and writes it to Output, when set.
  void writeMsg(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
};

}  // namespace tessellor
