#pragma once

#include "base/StatusOutput.h"

#include <cstdint>
#include <cstdio>
#include <string>

using namespace tessellor;

// The command line's status output: every log line goes to standard output in order, with the
// same task frame as the window's log; a progress bar goes to standard error, and only when that
// is a terminal. Quiet silences the log and the bar (results are printed with quiet off).
// While a bar can be shown, diagnostics go to the bar's stream after the bar is erased.
class ConsoleOutput final : public StatusOutput {
 public:
  ConsoleOutput();
  ConsoleOutput(std::FILE* log, std::FILE* bar, bool showBar);
  ~ConsoleOutput();
  ConsoleOutput(const ConsoleOutput&) = delete;
  ConsoleOutput& operator=(const ConsoleOutput&) = delete;

  void writeLine(const char* text) override;
  void setProgress(int percent) override;
  void beginTask(const char* name) override;
  void endTask() override;

  // "tessellor-cli: warning: TEXT" on standard error, also when quiet.
  void warning(const std::string& text);

  void setQuiet(bool quiet) { Quiet = quiet; }
  bool isQuiet() const { return Quiet; }

 private:
  void drawBar();
  void eraseBar();
  static void diagnostic(const char* text, void* self);

  std::FILE* Log;
  std::FILE* Bar;
  bool ShowBar;
  bool Quiet = false;
  bool BarVisible = false;
  int Progress = 0;
  char TaskName[48] = {};
  std::uint32_t StartTick = 0;
};
