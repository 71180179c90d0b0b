#pragma once

#include "algebra/vec3.h"

namespace tessellor {

// The lattice points a triangle's distance pass visits: the integer box of its corners, kept
// inside the grid. The upper end stops at size - 2, a box of zero width is widened by one each
// way, and the lower end starts at 0. Both ends are included.
class LatticeBox {
 public:
  static void of(const vec3& a, const vec3& b, const vec3& c, const int size[3], int lo[3], int hi[3]);

  // floor / ceil as int, saturated so that coordinates far outside the grid cannot overflow.
  static int floorToInt(float x);
  static int ceilToInt(float x);
};

}  // namespace tessellor
