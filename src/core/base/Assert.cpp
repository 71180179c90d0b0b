#include "base/Assert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessellor {

void tessellorAssertionFailed(const char* condition, const char* file, int line) {
  const char* unit = std::strrchr(file, '/');
  unit = unit ? unit + 1 : file;
  // Name the unit without its extension, as the log and the bug reports do.
  const char* dot = std::strrchr(unit, '.');
  int length = dot ? static_cast<int>(dot - unit) : static_cast<int>(std::strlen(unit));
  std::fprintf(stderr, "Assertion failed: %s, unit %.*s, line %d\n", condition, length, unit, line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace tessellor
