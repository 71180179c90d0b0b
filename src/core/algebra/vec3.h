#pragma once

namespace tessellor {

// Three single-precision components x, y, z, indexed 0..2.
class vec3 {
 public:
  vec3();
  vec3(float x, float y, float z);
  vec3(const vec3& other) = default;
  vec3& operator=(const vec3& other) = default;

  void set(float x, float y, float z);

  vec3& operator+=(const vec3& b);
  vec3& operator-=(const vec3& b);
  // One division, then three multiplications by the reciprocal.
  vec3& operator/=(float s);

  // Out-of-range indices are reported and answered with a scratch component.
  float& operator[](int i);
  const float& operator[](int i) const;

  float length() const;
  float length2() const;
  // No test for zero length: callers check length2() first.
  vec3& normalize();

  float v[3];

 private:
  static float& scratch();
};

vec3 operator+(const vec3& a, const vec3& b);
vec3 operator-(const vec3& a, const vec3& b);
vec3 operator*(const vec3& a, float s);
vec3 operator*(float s, const vec3& a);
// Dot product.
float operator*(const vec3& a, const vec3& b);
// Cross product.
vec3 operator^(const vec3& a, const vec3& b);
void swap(vec3& a, vec3& b);

}  // namespace tessellor
