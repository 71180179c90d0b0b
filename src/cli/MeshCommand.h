#pragma once

#include "Command.h"

// mesh IN.vol -o OUT [--mc-mesh MC_OUT]: reads a volume file as it stands (no fitting), extracts
// its zero level set with Marching Cubes 33, moves the midpoints onto the volume's feature points
// and writes the result. --mc-mesh also writes the Marching Cubes mesh, in the format of its own
// extension.
class MeshCommand final : public Command {
 public:
  const CommandSpec& spec() const override;
  void run(const CommandLine& args, ConsoleOutput& output) override;
};
