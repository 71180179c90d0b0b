#pragma once

#include "CommandLine.h"

#include <stdexcept>

class ConsoleOutput;

// Work on several inputs of which some failed, each already reported: exit status 1 and this
// one-line summary.
class PartialFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One subcommand of tessellor-cli. main() parses the arguments by syntax(), prints the usage for
// --help and maps the exceptions of run() to exit codes: UsageError 2, TessellorError and
// PartialFailure 1.
class Command {
 public:
  virtual ~Command() = default;
  virtual const CommandSyntax& syntax() const = 0;
  virtual void run(const CommandLine& args, ConsoleOutput& output) = 0;
};
