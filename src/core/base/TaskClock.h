#pragma once

#include <cstdint>

namespace tessellor {

// Millisecond tick counter for task durations; wraps like a 32-bit tick count.
class TaskClock {
 public:
  static std::uint32_t ticks();
  // The duration line of a task, "Duration: %d ms", for a start and an end tick.
  static int elapsedMs(std::uint32_t start, std::uint32_t now) { return static_cast<int>(now - start); }
};

}  // namespace tessellor
