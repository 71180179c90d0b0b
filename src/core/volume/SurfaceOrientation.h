#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mesh/PolygonStorage.h"

namespace tessellor {

class AxisRayCrossing;

// Gives a triangle surface one orientation that a winding number can be taken from, whatever the
// orientation of its input faces:
// 1. Triangles with the same three corners are kept once.
// 2. Each connected component (triangles joined across manifold edges, edges of exactly two
//    triangles) is made consistent by a breadth-first walk that turns every triangle to agree
//    with the one it was reached from.
// 3. Each component is turned outward (positive signed volume), then inward when its nesting
//    depth is odd: the number of other components that hold it, by the parity of crossings along
//    the three axes from sample corners. So a shell inside another is a cavity, while bodies that
//    merely overlap stay outward and make their union. Only solid pieces (closed, or with holes
//    whose rims are short against the piece's size) are nested; sheets stay at depth 0.
class SurfaceOrientation {
 public:
  using Triangle = std::array<int, 3>;

  // Reorients (and deduplicates) triangles in place. rays holds the positions in fixed point.
  void orient(const std::vector<V3>& positions, std::vector<Triangle>& triangles, const AxisRayCrossing& rays);

  int Components = 0;
  int ClosedComponents = 0;  // every edge shared by two of its triangles, in opposite directions
  int Cavities = 0;          // components turned inward for their odd nesting depth
  int Turned = 0;            // triangles whose orientation differs from their input's
  int Duplicates = 0;        // triangles left out for repeating the corners of an earlier one

 private:
  struct EdgeUse {
    std::uint64_t Key;  // lower id << 32 | upper id
    int Triangle;
    int Forward;  // 1 if the triangle runs from lower to upper id
  };
  struct Component {
    double Volume = 0;
    bool Solid = false;
    float Lo[3] = {0, 0, 0}, Hi[3] = {0, 0, 0};
    int FirstTriangle = 0, LastTriangle = 0;  // range in Order
    std::vector<int> Samples;                 // corner ids tested against the other components
  };

  void removeDuplicates(std::vector<Triangle>& triangles);
  void linkAndWalk(const std::vector<Triangle>& triangles);
  bool holds(const Component& outer, const Component& inner, const std::vector<V3>& positions,
             const std::vector<Triangle>& triangles, const AxisRayCrossing& rays) const;

  std::vector<EdgeUse> Uses;
  std::vector<int> Neighbour;    // per triangle corner k: the triangle across edge (k, k+1), or -1
  std::vector<int> ComponentOf;  // per triangle
  std::vector<char> Flip;        // per triangle: turn it
  std::vector<int> Order;        // triangles grouped by component
  std::vector<Component> Parts;
};

}  // namespace tessellor
