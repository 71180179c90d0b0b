#pragma once

#include "Command.h"

// info FILE: a mesh's import log and statistics block, or a volume's sizes, placement and counts.
class InfoCommand final : public Command {
 public:
  const CommandSyntax& syntax() const override;
  void run(const CommandLine& args, ConsoleOutput& output) override;
};
