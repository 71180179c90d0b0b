#pragma once

namespace tessellor {

class PolygonStorage;
class StatusOutput;

// Turns a pipeline mesh, with its stable ids, emptied polygons and unused vertices, into a mesh a
// finite-element program or a mesh library takes as it is.
//
// compact: removes polygons with fewer than three corners and vertices that no polygon uses;
// the remaining vertices and polygons keep their order and are numbered from 0 again.
//
// repair: removes the degenerate elements at their cause, then compacts:
//   - an edge of zero length is collapsed (its two vertices merged), and so is the shortest edge
//     of a triangle or quad without area;
//   - a polygon that names one vertex twice is cut there into its loops; loops of fewer than
//     three vertices go (two polygons that enclose nothing go with them);
//   - a quad folded over one corner (scaled Jacobian at or below the limit) is split along the
//     diagonal that gives two triangles facing the quad's way;
//   - where the polygons around a vertex form fans that touch only there, each further fan gets a
//     vertex of its own, and vertices of different polygons in one place are parted: each moves
//     a twentieth of the way towards the middle of its edge neighbours.
// Edges are collapsed only where the surface stays manifold; elements that cannot be mended so
// are left and counted. Positions move only where an edge of non-zero length is collapsed (the
// merged vertex takes the position of the feature vertex among the two, else their midpoint) and
// where vertices are parted.
class MeshCleanup {
 public:
  struct Result {
    int RemovedPolygons = 0;  // entries with fewer than three corners, and loops that enclosed nothing
    int RemovedVertices = 0;  // vertices no polygon used any more
    int CollapsedEdges = 0;
    int SplitPolygons = 0;        // polygons cut into loops or folded quads cut into triangles
    int SeparatedFans = 0;        // vertices added where fans of polygons touched in one vertex
    int PartedVertices = 0;       // vertices moved apart from others in the same place
    int RemainingDegenerate = 0;  // triangles and quads still at or below the scaled-Jacobian limit
  };

  // Elements at or below this scaled Jacobian are mended by repair.
  static constexpr double MinScaledJacobian = 0.02;

  // Both keep Scale, Offset and every vertex record; they rebuild VIndex, EdgeIndex and the
  // midpoints, and repair also the vertex normals. Lines go to status (may be null) in a task
  // frame named "Cleaning up mesh" / "Removing unused entries".
  static Result compact(PolygonStorage& mesh, StatusOutput* status = nullptr);
  // With rebuildIndices false the indices and midpoints stay empty and the vertex normals as
  // they were: for a mesh that is only read as lists from then on (written, measured).
  static Result repair(PolygonStorage& mesh, StatusOutput* status = nullptr, bool rebuildIndices = true);
};

}  // namespace tessellor
