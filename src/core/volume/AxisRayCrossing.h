#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "mesh/PolygonStorage.h"

namespace tessellor {

// Where a line parallel to a coordinate axis crosses a triangle, decided exactly. Positions are
// held as 64-bit fixed-point numbers (a power-of-two scale that keeps every float of the voxel
// frame exact) and the orientation tests run in 128-bit integers, so two triangles that share an
// edge or a corner always agree on the side of the line. A line through an edge or a corner is
// moved by a symbolic offset (eps, eps^2) in the plane across the axis (simulation of
// simplicity): it crosses exactly one of the triangles on either side of an edge, and none of a
// triangle that is parallel to it. Along axis a the other two coordinates are taken in cyclic
// order, (a + 1) % 3 and (a + 2) % 3.
class AxisRayCrossing {
 public:
  using Triangle = std::array<int, 3>;

  // Takes the positions and a bound on the lattice coordinates (the largest grid size) that
  // queries will use.
  void setPositions(const std::vector<V3>& positions, int latticeBound);

  // Lattice coordinate i in fixed point.
  std::int64_t lattice(int i) const { return static_cast<std::int64_t>(i) * Unit; }
  // A position's fixed-point coordinate.
  std::int64_t fixed(int vertex, int axis) const { return Fixed[static_cast<std::size_t>(vertex)][axis]; }
  // The lattice lines across axis a that can meet the triangle: coordinates lo..hi (inclusive,
  // clipped to 0..size - 1) on axis (a + 1) % 3 and on axis (a + 2) % 3. False when none.
  bool latticeRange(int axis, const Triangle& t, const int size[3], int lo[2], int hi[2]) const;

  // A lattice line that crosses a triangle: its coordinates across the axis (b on (a + 1) % 3,
  // c on (a + 2) % 3), where along the axis it meets the triangle, and the sign of the triangle's
  // normal component along the axis.
  struct LatticeHit {
    int B, C;
    double At;
    int Sign;
  };
  // Appends the crossings of t with the lattice lines parallel to axis of a grid of the given
  // size, as cross() would find them one by one; the orientation tests step from line to line
  // exactly, by integer increments.
  void scan(int axis, const Triangle& t, const int size[3], const std::vector<V3>& positions,
            std::vector<LatticeHit>& hits) const;

  // Whether the line parallel to axis through the fixed-point point (pb, pc) crosses t. Returns
  // 0 if not, else the sign of the component along the axis of t's normal (1 or -1), and writes
  // the coordinate along the axis where the line meets t's plane to `at`.
  int cross(int axis, std::int64_t pb, std::int64_t pc, const Triangle& t, const std::vector<V3>& positions,
            double& at) const;

 private:
  std::vector<std::array<std::int64_t, 3>> Fixed;
  std::int64_t Unit = 1;  // fixed-point value of 1
};

}  // namespace tessellor
