#pragma once

// Runs the built tessellor-cli as a user would, in a child process with its standard output and
// error in files (nothing blocks on a full pipe), standard input from /dev/null, a memory cap and
// a time limit. Shared by every command-line test.

#include <string>
#include <vector>

struct CliRun {
  int Exit = -1;   // exit status, or -1 when the process did not exit normally
  int Signal = 0;  // the signal that ended it
  bool TimedOut = false;
  long long MaxResidentKiB = 0;
  std::string Out;
  std::string Err;
};

struct CliLimits {
  long long MemoryMiB = 2048;  // address space (sanitizer builds: largest single allocation); 0 for none
  long long FileSize = -1;     // RLIMIT_FSIZE in bytes, -1 for none
  int TimeoutSeconds = 60;
  std::string InterruptWhenOut;  // when standard output first holds this text, send SIGINT (Ctrl-C)
};

CliRun runCli(const std::vector<std::string>& args, const CliLimits& limits = CliLimits());

// Exit status, signal, time-out and both streams, for failure messages.
std::string describe(const CliRun& run);

// A scratch path unique to the running test and process.
std::string scratchPath(const std::string& name);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);
std::vector<std::string> lines(const std::string& text);
bool hasLine(const std::string& text, const std::string& line);
