#include "algebra/mat3.h"

#include <cmath>

#include "base/Diagnostics.h"

namespace tessellor {

vec3& mat3::outOfRange() {
  Diagnostics::printf("VERROR %s\n", "mat3 [] operator: illegal access");
  static thread_local vec3 dummy;
  dummy.set(0, 0, 0);
  return dummy;
}

mat3 mat3::inverse() const {
  mat3 a(*this);
  mat3 b;
  for (int j = 0; j < 3; ++j) {
    // Ties keep the earlier row.
    int pivot = j;
    for (int i = j + 1; i < 3; ++i)
      if (std::fabs(a.row[i].v[j]) > std::fabs(a.row[pivot].v[j])) pivot = i;
    swap(a.row[j], a.row[pivot]);
    swap(b.row[j], b.row[pivot]);
    if (a.row[j].v[j] == 0.0f) Diagnostics::printf("VERROR %s\n", "mat3::inverse: singular matrix; can't invert\n");
    const float d = a.row[j].v[j];
    b.row[j] /= d;
    a.row[j] /= d;
    for (int i = 0; i < 3; ++i) {
      if (i == j) continue;
      const float f = a.row[i].v[j];
      b.row[i] -= f * b.row[j];
      a.row[i] -= f * a.row[j];
    }
  }
  return b;
}

}  // namespace tessellor
