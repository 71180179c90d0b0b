#include "support/RecordingOutput.h"

#include "base/LogFrame.h"

#include <algorithm>
#include <cstdio>

using namespace tessellor;

void RecordingOutput::writeLine(const char* text) { Lines.emplace_back(text); }

void RecordingOutput::setProgress(int percent) {
  ProgressCalls.push_back(percent);
  if (percent == CurrentProgress) return;
  CurrentProgress = percent;
  Progress.push_back(percent);
}

void RecordingOutput::beginTask(const char* name) {
  Busy = true;
  CurrentProgress = 0;
  Tasks.emplace_back(name);
  StartTick = LogFrame::begin(*this, name);
}

void RecordingOutput::endTask() {
  Busy = false;
  CurrentProgress = 0;
  LogFrame::end(*this, StartTick);
}

bool RecordingOutput::hasLine(const std::string& text) const {
  return std::find(Lines.begin(), Lines.end(), text) != Lines.end();
}
