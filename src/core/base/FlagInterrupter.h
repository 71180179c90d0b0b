#pragma once

#include "base/NullInterrupter.h"

#include <atomic>

namespace tessellor {

// An interrupter with one flag: interrupt() from any thread (a window's Cancel button, a signal
// handler) makes every later wasInterrupted answer true until reset().
class FlagInterrupter : public NullInterrupter {
 public:
  // Lock-free, so that a signal handler may set it.
  static_assert(std::atomic<bool>::is_always_lock_free, "the flag must be usable from a signal handler");

  void interrupt() noexcept { Flag.store(true, std::memory_order_relaxed); }
  void reset() noexcept { Flag.store(false, std::memory_order_relaxed); }
  bool isInterrupted() const noexcept { return Flag.load(std::memory_order_relaxed); }

  bool wasInterrupted(int percent = -1) override {
    (void)percent;
    return isInterrupted();
  }

 private:
  std::atomic<bool> Flag{false};
};

}  // namespace tessellor
