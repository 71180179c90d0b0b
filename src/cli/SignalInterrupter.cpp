#include "SignalInterrupter.h"

#include <signal.h>

#include <cstring>

namespace {

tessellor::FlagInterrupter Interrupter;

extern "C" void onInterrupt(int) { Interrupter.interrupt(); }

}  // namespace

tessellor::FlagInterrupter& SignalInterrupter::install() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  // Reset to the default after the first signal, so that a second Ctrl-C stops a stuck process.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  return Interrupter;
}

tessellor::FlagInterrupter& SignalInterrupter::instance() { return Interrupter; }
