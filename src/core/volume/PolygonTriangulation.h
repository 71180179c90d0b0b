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
  // The triangles of a run of polygons and the scratch of cutting them.
  struct Cut {
    std::vector<Triangle> Triangles;
    int Degenerate = 0;
    std::vector<int> Corners;  // the welded corners of one polygon
    std::vector<int> Next, Prev;
    std::vector<double> U, V;  // the corners projected into the polygon's plane
  };
  void addPolygon(Cut& cut, const VertexIDList& polygon) const;
  static void addTriangle(Cut& cut, int a, int b, int c);
  void clipEars(Cut& cut, const double normal[3]) const;

  std::vector<int> Welded;  // mesh vertex id -> welded id
};

}  // namespace tessellor
