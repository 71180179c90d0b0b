#pragma once

#include "pipeline/StatusOutput.h"

// A status output that drops everything: for runs whose results are checked, not their log
// (benchmarks, fuzz targets).
class NullOutput final : public StatusOutput {
 public:
  void writeLine(const char*) override {}
  void setProgress(int) override {}
  void beginTask(const char*) override {}
  void endTask() override {}
};
