#pragma once

#include "Command.h"

// voxelize IN -o OUT.vol: imports a mesh, fits it as the desktop "Open" does, runs
// "Input Mesh -> Volume" and writes the volume file.
class VoxelizeCommand final : public Command {
 public:
  const CommandSyntax& syntax() const override;
  void run(const CommandLine& args, ConsoleOutput& output) override;
};
