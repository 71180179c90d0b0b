#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "mesh/PolygonStorage.h"

namespace tessellor {

// Every polygon of a mesh as triangles over welded corners: corners with identical positions
// become one vertex, so that a triangle soup is as connected as the surface it describes. A
// polygon keeps its orientation in its triangles. Polygons of four or more corners, planar or
// not, convex or not, are cut by ear clipping in the plane of their area vector; a polygon
// without area (fewer than three distinct corners, all corners on one line) is left out and
// counted.
class PolygonTriangulation {
 public:
  using Triangle = std::array<int, 3>;

  void build(const PolygonStorage& mesh);

  // Twice the area of triangle t, computed in double; 0 for a triangle on one line.
  double doubleArea(std::size_t t) const;

  std::vector<V3> Positions;        // the welded corners
  std::vector<Triangle> Triangles;  // ids into Positions
  int DegeneratePolygons = 0;       // polygons of three or more ids left out for having no area

 private:
  void addPolygon(const VertexIDList& polygon);
  void addTriangle(int a, int b, int c);
  void clipEars(const double normal[3]);

  std::vector<int> Welded;   // mesh vertex id -> welded id
  std::vector<int> Corners;  // scratch: the welded corners of one polygon
  std::vector<int> Next, Prev;
  std::vector<double> U, V;  // scratch: the corners projected into the polygon's plane
};

}  // namespace tessellor
