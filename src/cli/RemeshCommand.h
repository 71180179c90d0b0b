#pragma once

#include "Command.h"

// remesh IN -o OUT: imports a mesh, fits it as the desktop "Open" does and runs both halves
// of the pipeline; writes the quad-dominant output mesh in the coordinates of the input file.
class RemeshCommand final : public Command {
 public:
  const CommandSyntax& syntax() const override;
  void run(const CommandLine& args, ConsoleOutput& output) override;
};
