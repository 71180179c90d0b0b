#pragma once

namespace tessellor {

// The sink every long operation reports through: a task frame, log lines and progress.
// Implementations: ConsoleOutput (command line), RecordingOutput (tests), MyOutput (window).
class StatusOutput {
 public:
  virtual void writeLine(const char* text) = 0;
  virtual void setProgress(int percent) = 0;
  virtual void beginTask(const char* name) = 0;
  virtual void endTask() = 0;

 protected:
  // Never deleted through this interface.
  ~StatusOutput() = default;
};

}  // namespace tessellor
