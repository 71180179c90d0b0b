#pragma once

#include "base/StatusOutput.h"

#include <cstdint>

using namespace tessellor;

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QWidget;

// The window's status output: log memo, status label, busy panel and progress bar. The pipeline
// reports from a worker thread: calls from any thread but the GUI thread are queued to it, in
// order, with the task's clock read when the call was made. On the GUI thread the controls it
// changes are repainted at once.
class MyOutput : public StatusOutput {
 public:
  MyOutput() = default;
  MyOutput(const MyOutput&) = delete;
  MyOutput& operator=(const MyOutput&) = delete;
  virtual ~MyOutput() = default;

  // Binds the controls it drives; all null to unbind (the window is going away).
  void attach(QPlainTextEdit* log, QLabel* status, QWidget* busy, QProgressBar* progress);

  void writeLine(const char* text) override;
  void setProgress(int percent) override;
  void beginTask(const char* name) override;
  void endTask() override;

  // Closes a task that ended by an error, so the log frame and the busy panel are consistent.
  void finishOpenTask();
  bool isBusy() const { return Busy; }

  std::uint32_t StartTick = 0;

 private:
  void setBusyColour(bool busy);

  QPlainTextEdit* meOut = nullptr;
  QLabel* laStatus = nullptr;
  QWidget* pnBusy = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  bool Busy = false;
};
