#pragma once

#include "base/StatusOutput.h"

namespace tessellor {

// A status output that drops everything: for runs whose results are checked, not their log
// (benchmarks, fuzz targets), and what a stage reports to when its caller gives no output.
class NullOutput final : public StatusOutput {
 public:
  void writeLine(const char*) override {}
  void setProgress(int) override {}
  void beginTask(const char*) override {}
  void endTask() override {}

  // One shared instance: it has no state.
  static NullOutput& instance();
};

}  // namespace tessellor
