#include "base/LogFrame.h"

#include "base/StatusOutput.h"
#include "base/TaskClock.h"

#include <cstdio>

namespace tessellor {

std::uint32_t LogFrame::begin(StatusOutput& output, const char* name) {
  output.writeLine("--------------- begin ");
  output.writeLine(name ? name : "");
  return TaskClock::ticks();
}

void LogFrame::end(StatusOutput& output, std::uint32_t startTick) {
  char line[64];
  std::snprintf(line, sizeof line, "Duration: %d ms", TaskClock::elapsedMs(startTick, TaskClock::ticks()));
  output.writeLine(line);
  output.writeLine("--------------- end");
}

}  // namespace tessellor
