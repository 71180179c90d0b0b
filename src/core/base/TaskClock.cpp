#include "base/TaskClock.h"

#include <chrono>

namespace tessellor {

std::uint32_t TaskClock::ticks() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace tessellor
