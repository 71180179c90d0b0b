#include "algebra/vec3.h"

#include <cmath>

#include "base/Diagnostics.h"

namespace tessellor {

vec3::vec3() : v{0.0f, 0.0f, 0.0f} {}

vec3::vec3(float x, float y, float z) : v{x, y, z} {}

void vec3::set(float x, float y, float z) {
  v[0] = x;
  v[1] = y;
  v[2] = z;
}

vec3& vec3::operator+=(const vec3& b) {
  v[0] += b.v[0];
  v[1] += b.v[1];
  v[2] += b.v[2];
  return *this;
}

vec3& vec3::operator-=(const vec3& b) {
  v[0] -= b.v[0];
  v[1] -= b.v[1];
  v[2] -= b.v[2];
  return *this;
}

vec3& vec3::operator/=(float s) {
  const float r = 1.0f / s;
  v[0] *= r;
  v[1] *= r;
  v[2] *= r;
  return *this;
}

float& vec3::scratch() {
  static thread_local float dummy;
  dummy = 0.0f;
  return dummy;
}

float& vec3::operator[](int i) {
  if (i < 0 || i > 2) {
    Diagnostics::printf("VERROR %s\n", "vec3 [] operator: illegal access");
    return scratch();
  }
  return v[i];
}

const float& vec3::operator[](int i) const {
  if (i < 0 || i > 2) {
    Diagnostics::printf("VERROR %s\n", "vec3 [] operator: illegal access");
    return scratch();
  }
  return v[i];
}

float vec3::length2() const { return v[0] * v[0] + v[1] * v[1] + v[2] * v[2]; }

float vec3::length() const { return std::sqrt(length2()); }

vec3& vec3::normalize() { return *this /= length(); }

vec3 operator+(const vec3& a, const vec3& b) { return vec3(a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2]); }

vec3 operator-(const vec3& a, const vec3& b) { return vec3(a.v[0] - b.v[0], a.v[1] - b.v[1], a.v[2] - b.v[2]); }

vec3 operator*(const vec3& a, float s) { return vec3(a.v[0] * s, a.v[1] * s, a.v[2] * s); }

vec3 operator*(float s, const vec3& a) { return vec3(s * a.v[0], s * a.v[1], s * a.v[2]); }

float operator*(const vec3& a, const vec3& b) { return a.v[0] * b.v[0] + a.v[1] * b.v[1] + a.v[2] * b.v[2]; }

vec3 operator^(const vec3& a, const vec3& b) {
  return vec3(a.v[1] * b.v[2] - a.v[2] * b.v[1], a.v[2] * b.v[0] - a.v[0] * b.v[2], a.v[0] * b.v[1] - a.v[1] * b.v[0]);
}

void swap(vec3& a, vec3& b) {
  const vec3 t = a;
  a = b;
  b = t;
}

}  // namespace tessellor
