#pragma once

#include "base/StatusOutput.h"

#include <cstdint>
#include <string>

// A status output that keeps the log of one file's work in memory, framed as the console frames it,
// so that files worked on at the same time print their logs one after another, not interleaved.
// Quiet keeps nothing; progress is not shown.
class BufferedOutput final : public tessellor::StatusOutput {
 public:
  explicit BufferedOutput(bool quiet) : Quiet(quiet) {}

  void writeLine(const char* text) override;
  void setProgress(int) override {}
  void beginTask(const char* name) override;
  void endTask() override;

  const std::string& text() const { return Text; }

 private:
  bool Quiet;
  std::string Text;
  std::uint32_t StartTick = 0;
};
