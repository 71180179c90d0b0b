#pragma once

#include "Command.h"

// quality MESH [--reference INPUT] [--json]: the quality report of a mesh file (topology, element
// shapes and, with a reference, the distances both ways), as text or JSON on standard output.
class QualityCommand final : public Command {
 public:
  const CommandSyntax& syntax() const override;
  void run(const CommandLine& args, ConsoleOutput& output) override;
};
