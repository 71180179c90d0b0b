#pragma once

#include <array>
#include <vector>

#include "mesh/PolygonStorage.h"
#include "volume/AxisRayCrossing.h"

namespace tessellor {

// Inside or outside for the lattice points of a grid, from the winding number of a triangle
// surface along the lattice lines. For every line parallel to an axis the signed crossings are
// collected (+1 where the line enters through a face, -1 where it leaves, by the face's
// orientation) and sorted along the line; the winding number of a lattice point on the line is
// the sum of the crossings below it. A point is inside where its winding number is above zero,
// so overlapping bodies make one solid and a body oriented inward inside another is a cavity.
// The three lines through a point vote: a line whose crossings do not sum to zero has passed
// through a hole in the surface, and its vote counts only where the counts from both of its ends
// agree.
class GridLineWinding {
 public:
  using Triangle = std::array<int, 3>;

  // Collects the crossings of the lattice lines of an nx x ny x nz grid with the triangles.
  void build(const AxisRayCrossing& rays, const std::vector<V3>& positions, const std::vector<Triangle>& triangles,
             const int size[3]);
  bool inside(int x, int y, int z) const;

  long long Crossings = 0;  // crossings found over the three families of lines
  long long OpenLines = 0;  // lines whose crossings do not sum to zero (passing through a hole)

 private:
  struct Crossing {
    double At;  // coordinate along the line
    int Step;   // +1 entering, -1 leaving
  };
  struct Family {
    int Across[2] = {0, 0};  // sizes of the grid across the line: axes (a + 1) % 3, (a + 2) % 3
    std::vector<int> Start;  // per line, its first crossing; one entry more than there are lines
    std::vector<Crossing> Crossings;
  };

  Family Families[3];
  std::vector<AxisRayCrossing::LatticeHit> Hits;  // scratch for one family
};

}  // namespace tessellor
