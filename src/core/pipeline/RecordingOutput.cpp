#include "pipeline/RecordingOutput.h"

#include "pipeline/TaskClock.h"

#include <algorithm>
#include <cstdio>

void RecordingOutput::writeLine(const char* text) { Lines.emplace_back(text); }

void RecordingOutput::setProgress(int percent) {
  if (percent == CurrentProgress) return;
  CurrentProgress = percent;
  Progress.push_back(percent);
}

void RecordingOutput::beginTask(const char* name) {
  Busy = true;
  CurrentProgress = 0;
  Tasks.emplace_back(name);
  Lines.emplace_back("--------------- begin ");
  Lines.emplace_back(name);
  StartTick = TaskClock::ticks();
}

void RecordingOutput::endTask() {
  Busy = false;
  CurrentProgress = 0;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "Duration: %d ms", TaskClock::elapsedMs(StartTick, TaskClock::ticks()));
  Lines.emplace_back(buffer);
  Lines.emplace_back("--------------- end");
}

bool RecordingOutput::hasLine(const std::string& text) const {
  return std::find(Lines.begin(), Lines.end(), text) != Lines.end();
}
