#pragma once

#include <cmath>

namespace tessellor {

// Three single-precision components x, y, z, indexed 0..2.
//
// The operations are inline: they sit in the voxelizer's per-lattice-point loop. Each one keeps
// its order of float operations, so inlining changes no result (the library is built without
// floating-point contraction).
class vec3 {
 public:
  vec3() : v{0.0f, 0.0f, 0.0f} {}
  vec3(float x, float y, float z) : v{x, y, z} {}
  vec3(const vec3& other) = default;
  vec3& operator=(const vec3& other) = default;

  void set(float x, float y, float z) {
    v[0] = x;
    v[1] = y;
    v[2] = z;
  }

  vec3& operator+=(const vec3& b) {
    v[0] += b.v[0];
    v[1] += b.v[1];
    v[2] += b.v[2];
    return *this;
  }
  vec3& operator-=(const vec3& b) {
    v[0] -= b.v[0];
    v[1] -= b.v[1];
    v[2] -= b.v[2];
    return *this;
  }
  // One division, then three multiplications by the reciprocal.
  vec3& operator/=(float s) {
    const float r = 1.0f / s;
    v[0] *= r;
    v[1] *= r;
    v[2] *= r;
    return *this;
  }

  // Out-of-range indices are reported and answered with a scratch component.
  float& operator[](int i) { return i < 0 || i > 2 ? outOfRange() : v[i]; }
  const float& operator[](int i) const { return i < 0 || i > 2 ? outOfRange() : v[i]; }

  float length() const { return std::sqrt(length2()); }
  float length2() const { return v[0] * v[0] + v[1] * v[1] + v[2] * v[2]; }
  // No test for zero length: callers check length2() first.
  vec3& normalize() { return *this /= length(); }

  float v[3];

 private:
  // Reports the illegal access and returns a zeroed scratch component.
  static float& outOfRange();
};

inline vec3 operator+(const vec3& a, const vec3& b) { return vec3(a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2]); }
inline vec3 operator-(const vec3& a, const vec3& b) { return vec3(a.v[0] - b.v[0], a.v[1] - b.v[1], a.v[2] - b.v[2]); }
inline vec3 operator*(const vec3& a, float s) { return vec3(a.v[0] * s, a.v[1] * s, a.v[2] * s); }
inline vec3 operator*(float s, const vec3& a) { return vec3(s * a.v[0], s * a.v[1], s * a.v[2]); }
// Dot product.
inline float operator*(const vec3& a, const vec3& b) { return a.v[0] * b.v[0] + a.v[1] * b.v[1] + a.v[2] * b.v[2]; }
// Cross product.
inline vec3 operator^(const vec3& a, const vec3& b) {
  return vec3(a.v[1] * b.v[2] - a.v[2] * b.v[1], a.v[2] * b.v[0] - a.v[0] * b.v[2], a.v[0] * b.v[1] - a.v[1] * b.v[0]);
}
inline void swap(vec3& a, vec3& b) {
  const vec3 t = a;
  a = b;
  b = t;
}

}  // namespace tessellor
