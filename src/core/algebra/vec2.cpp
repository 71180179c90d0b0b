#include "algebra/vec2.h"

#include "base/Diagnostics.h"

namespace tessellor {

float& vec2::outOfRange() {
  Diagnostics::printf("VERROR %s\n", "vec2 [] operator: illegal access");
  static thread_local float dummy;
  dummy = 0.0f;
  return dummy;
}

}  // namespace tessellor
