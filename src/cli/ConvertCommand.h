#pragma once

#include "Command.h"

// convert IN -o OUT: imports a mesh and writes it in another format, in file coordinates.
class ConvertCommand final : public Command {
 public:
  const CommandSyntax& syntax() const override;
  void run(const CommandLine& args, ConsoleOutput& output) override;
};
