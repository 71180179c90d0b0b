#include "algebra/vec3.h"

#include "base/Diagnostics.h"

namespace tessellor {

float& vec3::outOfRange() {
  Diagnostics::printf("VERROR %s\n", "vec3 [] operator: illegal access");
  static thread_local float dummy;
  dummy = 0.0f;
  return dummy;
}

}  // namespace tessellor
