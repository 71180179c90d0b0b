#include "BufferedOutput.h"

#include "base/LogFrame.h"

using namespace tessellor;

void BufferedOutput::writeLine(const char* text) {
  if (Quiet) return;
  Text += text;
  Text += '\n';
}

void BufferedOutput::beginTask(const char* name) { StartTick = LogFrame::begin(*this, name); }

void BufferedOutput::endTask() { LogFrame::end(*this, StartTick); }
