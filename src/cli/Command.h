#pragma once

#include "CommandLine.h"

class ConsoleOutput;

// One subcommand of tessellor-cli. main() parses the arguments by syntax(), prints the usage for
// --help and maps the exceptions of run() to exit codes: UsageError 2, TessellorError 1.
class Command {
 public:
  virtual ~Command() = default;
  virtual const CommandSyntax& syntax() const = 0;
  virtual void run(const CommandLine& args, ConsoleOutput& output) = 0;
};
