#pragma once

namespace tessellor {

// Two single-precision components, indexed 0..1.
class vec2 {
 public:
  vec2();
  vec2(float x, float y);
  vec2(const vec2& other) = default;
  vec2& operator=(const vec2& other) = default;

  // Out-of-range indices are reported and answered with a scratch component, never a
  // neighbouring object's memory.
  float& operator[](int i);
  const float& operator[](int i) const;

  float v[2];

 private:
  static float& scratch();
};

vec2 operator-(const vec2& a, const vec2& b);

}  // namespace tessellor
