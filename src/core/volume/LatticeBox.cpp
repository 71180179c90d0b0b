#include "volume/LatticeBox.h"

#include <cmath>

namespace tessellor {

int LatticeBox::floorToInt(float x) {
  const double f = std::floor(static_cast<double>(x));
  if (!(f > -1e9)) return -1000000000;
  if (f > 1e9) return 1000000000;
  return static_cast<int>(f);
}

int LatticeBox::ceilToInt(float x) {
  const double f = std::ceil(static_cast<double>(x));
  if (!(f < 1e9)) return 1000000000;
  if (f < -1e9) return -1000000000;
  return static_cast<int>(f);
}

void LatticeBox::of(const vec3& a, const vec3& b, const vec3& c, const int size[3], int lo[3], int hi[3]) {
  for (int axis = 0; axis < 3; ++axis) {
    lo[axis] = floorToInt(std::fmin(std::fmin(a.v[axis], b.v[axis]), c.v[axis]));
    hi[axis] = ceilToInt(std::fmax(std::fmax(a.v[axis], b.v[axis]), c.v[axis]));
    if (hi[axis] > size[axis] - 2) hi[axis] = size[axis] - 2;
    if (lo[axis] == hi[axis]) {
      lo[axis] = lo[axis] - 1;
      hi[axis] = hi[axis] + 1;
    }
    if (lo[axis] < 0) lo[axis] = 0;
  }
}

}  // namespace tessellor
