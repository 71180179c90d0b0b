#include "algebra/vec2.h"

#include "base/Diagnostics.h"

namespace tessellor {

vec2::vec2() : v{0.0f, 0.0f} {}

vec2::vec2(float x, float y) : v{x, y} {}

float& vec2::scratch() {
  static thread_local float dummy;
  dummy = 0.0f;
  return dummy;
}

float& vec2::operator[](int i) {
  if (i < 0 || i > 1) {
    Diagnostics::printf("VERROR %s\n", "vec2 [] operator: illegal access");
    return scratch();
  }
  return v[i];
}

const float& vec2::operator[](int i) const {
  if (i < 0 || i > 1) {
    Diagnostics::printf("VERROR %s\n", "vec2 [] operator: illegal access");
    return scratch();
  }
  return v[i];
}

vec2 operator-(const vec2& a, const vec2& b) { return vec2(a.v[0] - b.v[0], a.v[1] - b.v[1]); }

}  // namespace tessellor
