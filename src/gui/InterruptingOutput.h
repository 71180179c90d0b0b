#pragma once

#include "base/NullInterrupter.h"
#include "base/StatusOutput.h"

using namespace tessellor;

// Passes everything on to another status output and, at every progress step, asks an interrupter
// whether to stop (throwing Cancelled): a stage that reports progress but takes no interrupter
// (a file reader) can be stopped this way.
class InterruptingOutput final : public StatusOutput {
 public:
  InterruptingOutput(StatusOutput& output, NullInterrupter& interrupter) : Output(output), Interrupter(interrupter) {}

  void writeLine(const char* text) override { Output.writeLine(text); }
  void setProgress(int percent) override {
    throwIfInterrupted(&Interrupter, percent);
    Output.setProgress(percent);
  }
  void beginTask(const char* name) override { Output.beginTask(name); }
  void endTask() override { Output.endTask(); }

 private:
  StatusOutput& Output;
  NullInterrupter& Interrupter;
};
