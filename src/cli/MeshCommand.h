#pragma once

#include "Command.h"

// mesh IN.vol -o OUT [--mc-mesh MC_OUT]: reads a volume file as it stands (no fitting) and runs
// "Volume -> Output Mesh" on it: Marching Cubes 33, feature transfer, dual surface, degree
// reduction, rhombus removal, smoothing. OUT is the quad-dominant output mesh; --mc-mesh also
// writes the Marching Cubes mesh (after the feature transfer), in the format of its own extension.
class MeshCommand final : public Command {
 public:
  const CommandSyntax& syntax() const override;
  void run(const CommandLine& args, ConsoleOutput& output) override;
};
