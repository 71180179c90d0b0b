#pragma once

namespace tessellor {

// Two single-precision components, indexed 0..1.
class vec2 {
 public:
  vec2() : v{0.0f, 0.0f} {}
  vec2(float x, float y) : v{x, y} {}
  vec2(const vec2& other) = default;
  vec2& operator=(const vec2& other) = default;

  // Out-of-range indices are reported and answered with a scratch component, never a
  // neighbouring object's memory.
  float& operator[](int i) { return i < 0 || i > 1 ? outOfRange() : v[i]; }
  const float& operator[](int i) const { return i < 0 || i > 1 ? outOfRange() : v[i]; }

  float v[2];

 private:
  // Reports the illegal access and returns a zeroed scratch component.
  static float& outOfRange();
};

inline vec2 operator-(const vec2& a, const vec2& b) { return vec2(a.v[0] - b.v[0], a.v[1] - b.v[1]); }

}  // namespace tessellor
