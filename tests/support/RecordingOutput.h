#pragma once

#include "base/StatusOutput.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace tessellor;

// A status output that keeps everything it is told, with the same task frame as the log.
class RecordingOutput final : public StatusOutput {
 public:
  void writeLine(const char* text) override;
  void setProgress(int percent) override;
  void beginTask(const char* name) override;
  void endTask() override;

  std::vector<std::string> Lines;  // the log, line by line, frames included
  std::vector<int> Progress;       // every distinct progress value, in order
  std::vector<int> ProgressCalls;  // every setProgress call, repeats included
  std::vector<std::string> Tasks;  // task names in the order begun
  int CurrentProgress = 0;
  bool Busy = false;
  std::uint32_t StartTick = 0;

  // True when some log line equals text.
  bool hasLine(const std::string& text) const;
};
