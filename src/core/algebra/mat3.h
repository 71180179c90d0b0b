#pragma once

#include "algebra/vec3.h"

namespace tessellor {

// Three vec3 rows; element (i, j) is row i, component j. Default: identity.
class mat3 {
 public:
  mat3() : row{vec3(1, 0, 0), vec3(0, 1, 0), vec3(0, 0, 1)} {}
  mat3(const vec3& r0, const vec3& r1, const vec3& r2) : row{r0, r1, r2} {}
  mat3(const mat3& other) = default;
  mat3& operator=(const mat3& other) = default;

  void set(const vec3& r0, const vec3& r1, const vec3& r2) {
    row[0] = r0;
    row[1] = r1;
    row[2] = r2;
  }

  // Out-of-range indices are reported and answered with a scratch row.
  vec3& operator[](int i) { return i < 0 || i > 2 ? outOfRange() : row[i]; }
  const vec3& operator[](int i) const { return i < 0 || i > 2 ? outOfRange() : row[i]; }

  mat3 transpose() const {
    return mat3(vec3(row[0].v[0], row[1].v[0], row[2].v[0]), vec3(row[0].v[1], row[1].v[1], row[2].v[1]),
                vec3(row[0].v[2], row[1].v[2], row[2].v[2]));
  }
  // Gauss-Jordan with partial pivoting; a zero pivot is reported and the result is then
  // not meaningful.
  mat3 inverse() const;
  static mat3 identity() { return mat3(); }

  vec3 row[3];

 private:
  // Reports the illegal access and returns a zeroed scratch row.
  static vec3& outOfRange();
};

inline vec3 operator*(const mat3& m, const vec3& v) { return vec3(m.row[0] * v, m.row[1] * v, m.row[2] * v); }

}  // namespace tessellor
