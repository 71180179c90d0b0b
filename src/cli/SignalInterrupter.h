#pragma once

#include "base/FlagInterrupter.h"

// The command line's interrupter: Ctrl-C (SIGINT) sets its flag, the running stage sees it at its
// next check and unwinds with Cancelled, and main exits with 130 having written nothing. A second
// Ctrl-C ends the process at once (the handler is reset after the first).
class SignalInterrupter {
 public:
  // Installs the SIGINT handler (once) and returns the interrupter it sets.
  static tessellor::FlagInterrupter& install();
  // The interrupter the commands pass to the pipeline.
  static tessellor::FlagInterrupter& instance();
};
