#pragma once

#include "Command.h"

// remesh IN -o OUT: imports a mesh, fits it as the desktop "Open" does and runs both halves
// of the pipeline; writes the quad-dominant output mesh in the coordinates of the input file.
// remesh IN... --output-dir DIR [--jobs N]: the same for several files, in parallel.
class RemeshCommand final : public Command {
 public:
  const CommandSyntax& syntax() const override;
  void run(const CommandLine& args, ConsoleOutput& output) override;

 private:
  void runBatch(const CommandLine& args, ConsoleOutput& output);
};
