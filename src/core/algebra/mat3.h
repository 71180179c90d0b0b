#pragma once

#include "algebra/vec3.h"

namespace tessellor {

// Three vec3 rows; element (i, j) is row i, component j. Default: identity.
class mat3 {
 public:
  mat3();
  mat3(const vec3& r0, const vec3& r1, const vec3& r2);
  mat3(const mat3& other) = default;
  mat3& operator=(const mat3& other) = default;

  void set(const vec3& r0, const vec3& r1, const vec3& r2);

  // Out-of-range indices are reported and answered with a scratch row.
  vec3& operator[](int i);
  const vec3& operator[](int i) const;

  mat3 transpose() const;
  // Gauss-Jordan with partial pivoting; a zero pivot is reported and the result is then
  // not meaningful.
  mat3 inverse() const;
  static mat3 identity();

  vec3 row[3];

 private:
  static vec3& scratch();
};

vec3 operator*(const mat3& m, const vec3& v);

}  // namespace tessellor
