#include "algebra/mat3.h"

#include <cmath>

#include "base/Diagnostics.h"

namespace tessellor {

mat3::mat3() : row{vec3(1, 0, 0), vec3(0, 1, 0), vec3(0, 0, 1)} {}

mat3::mat3(const vec3& r0, const vec3& r1, const vec3& r2) : row{r0, r1, r2} {}

void mat3::set(const vec3& r0, const vec3& r1, const vec3& r2) {
  row[0] = r0;
  row[1] = r1;
  row[2] = r2;
}

vec3& mat3::scratch() {
  static thread_local vec3 dummy;
  dummy.set(0, 0, 0);
  return dummy;
}

vec3& mat3::operator[](int i) {
  if (i < 0 || i > 2) {
    Diagnostics::printf("VERROR %s\n", "mat3 [] operator: illegal access");
    return scratch();
  }
  return row[i];
}

const vec3& mat3::operator[](int i) const {
  if (i < 0 || i > 2) {
    Diagnostics::printf("VERROR %s\n", "mat3 [] operator: illegal access");
    return scratch();
  }
  return row[i];
}

mat3 mat3::transpose() const {
  return mat3(vec3(row[0].v[0], row[1].v[0], row[2].v[0]), vec3(row[0].v[1], row[1].v[1], row[2].v[1]),
              vec3(row[0].v[2], row[1].v[2], row[2].v[2]));
}

mat3 mat3::identity() { return mat3(); }

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

vec3 operator*(const mat3& m, const vec3& v) { return vec3(m.row[0] * v, m.row[1] * v, m.row[2] * v); }

}  // namespace tessellor
