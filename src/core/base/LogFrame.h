#pragma once

#include <cstdint>

namespace tessellor {

class StatusOutput;

// The frame every task has in the log, whatever shows it (console, window, tests):
//   "--------------- begin ", the task name, the task's lines, "Duration: N ms", "--------------- end".
// The lines go through the output's own writeLine.
class LogFrame {
 public:
  // Writes the begin line and the name; returns the start tick of the task.
  static std::uint32_t begin(StatusOutput& output, const char* name);
  // Writes the duration since startTick and the end line.
  static void end(StatusOutput& output, std::uint32_t startTick);
};

}  // namespace tessellor
