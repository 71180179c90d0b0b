#pragma once

#include "base/TessellorError.h"

namespace tessellor {

// Lets a long operation be stopped from outside, in the manner of OpenVDB's util::NullInterrupter.
// A stage calls start(name) when it begins and end() when it ends, and polls wasInterrupted(percent)
// in its per-slab or per-polygon loop; percent is its progress, or -1 when it has none to give.
// wasInterrupted may be answered from another thread's request, so implementations make it
// thread-safe. This base is never interrupted; a null interrupter pointer means the same.
class NullInterrupter {
 public:
  NullInterrupter() = default;
  NullInterrupter(const NullInterrupter&) = delete;
  NullInterrupter& operator=(const NullInterrupter&) = delete;
  virtual ~NullInterrupter() = default;

  virtual void start(const char* name = nullptr) { (void)name; }
  virtual void end() {}
  virtual bool wasInterrupted(int percent = -1) {
    (void)percent;
    return false;
  }
};

// The check of a loop: true when interrupter is set and asks to stop.
inline bool wasInterrupted(NullInterrupter* interrupter, int percent = -1) {
  return interrupter != nullptr && interrupter->wasInterrupted(percent);
}

// The same check for stages that unwind when stopped: throws Cancelled. A stage that can be
// stopped works on scratch data or is run on a copy, so the caller's data stays as it was.
inline void throwIfInterrupted(NullInterrupter* interrupter, int percent = -1) {
  if (wasInterrupted(interrupter, percent)) throw Cancelled();
}

// Brackets a step with start and end, also when the step ends by an exception.
class InterrupterScope {
 public:
  InterrupterScope(NullInterrupter* interrupter, const char* name) : Interrupter(interrupter) {
    if (Interrupter != nullptr) Interrupter->start(name);
  }
  ~InterrupterScope() {
    if (Interrupter != nullptr) Interrupter->end();
  }
  InterrupterScope(const InterrupterScope&) = delete;
  InterrupterScope& operator=(const InterrupterScope&) = delete;

 private:
  NullInterrupter* Interrupter;
};

}  // namespace tessellor
