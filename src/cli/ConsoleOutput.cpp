#include "ConsoleOutput.h"

#include "base/Diagnostics.h"
#include "base/LogFrame.h"

#include <unistd.h>

#include <cstring>

using namespace tessellor;

ConsoleOutput::ConsoleOutput() : ConsoleOutput(stdout, stderr, isatty(fileno(stderr)) != 0) {}

ConsoleOutput::ConsoleOutput(std::FILE* log, std::FILE* bar, bool showBar) : Log(log), Bar(bar), ShowBar(showBar) {
  // Diagnostics share the terminal with the bar: each one takes the bar away before it is printed.
  if (ShowBar) Diagnostics::setSink(&ConsoleOutput::diagnostic, this);
}

ConsoleOutput::~ConsoleOutput() {
  if (ShowBar) Diagnostics::setSink(nullptr, nullptr);
  eraseBar();
  std::fflush(Log);
}

void ConsoleOutput::diagnostic(const char* text, void* self) {
  ConsoleOutput& output = *static_cast<ConsoleOutput*>(self);
  output.eraseBar();
  std::fflush(output.Log);
  std::fputs(text, output.Bar);
  std::fflush(output.Bar);
}

void ConsoleOutput::warning(const std::string& text) {
  eraseBar();
  std::fflush(Log);
  std::fprintf(Bar, "tessellor-cli: warning: %s\n", text.c_str());
  std::fflush(Bar);
}

void ConsoleOutput::writeLine(const char* text) {
  if (Quiet) return;
  // The bar shares the terminal with the log: take it away while the line is written.
  const bool redraw = BarVisible;
  eraseBar();
  std::fputs(text, Log);
  std::fputc('\n', Log);
  if (redraw) {
    std::fflush(Log);
    drawBar();
  }
}

void ConsoleOutput::setProgress(int percent) {
  if (percent == Progress) return;
  Progress = percent;
  if (!Quiet) drawBar();
}

void ConsoleOutput::beginTask(const char* name) {
  std::snprintf(TaskName, sizeof TaskName, "%s", name);
  Progress = 0;
  StartTick = LogFrame::begin(*this, name);
}

void ConsoleOutput::endTask() {
  Progress = 0;
  eraseBar();
  LogFrame::end(*this, StartTick);
  std::fflush(Log);
}

void ConsoleOutput::drawBar() {
  if (!ShowBar) return;
  const int width = 40;
  int filled = Progress * width / 100;
  if (filled < 0) filled = 0;
  if (filled > width) filled = width;
  char bar[width + 1];
  std::memset(bar, '#', static_cast<std::size_t>(filled));
  std::memset(bar + filled, ' ', static_cast<std::size_t>(width - filled));
  bar[width] = 0;
  std::fflush(Log);
  std::fprintf(Bar, "\r[%s] %3d%% %s", bar, Progress, TaskName);
  std::fflush(Bar);
  BarVisible = true;
}

void ConsoleOutput::eraseBar() {
  if (!BarVisible) return;
  std::fputs("\r\033[K", Bar);
  std::fflush(Bar);
  BarVisible = false;
}
