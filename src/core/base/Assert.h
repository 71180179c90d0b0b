#pragma once

namespace tessellor {

// Internal invariants only: input that a user can supply is reported as an error, never asserted.
// On failure prints the condition, the source unit and the line to standard error, then stops.
[[noreturn]] void tessellorAssertionFailed(const char* condition, const char* file, int line);

#define TS_ASSERT(condition) \
  ((condition) ? static_cast<void>(0) : ::tessellor::tessellorAssertionFailed(#condition, __FILE__, __LINE__))

}  // namespace tessellor
