#pragma once

#include <memory>

#include "CommandLine.h"

class ConsoleOutput;
class QuadDominantTessellor;

// The settings and input shared by the commands that start from a PLY mesh (voxelize, remesh):
// --max-voxels, --features, --psi, --exact-distance, and the mesh imported and fitted into
// 50 x 50 x 50 as the desktop "Open" does.
class InputPipeline {
 public:
  static const OptionSyntax MaxVoxels;
  static const OptionSyntax Features;
  static const OptionSyntax Psi;
  static const OptionSyntax ExactDistance;

  // Checks the settings, then builds a controller wired to output with the input mesh imported
  // and fitted. Throws UsageError for bad settings, FileError for a bad mesh.
  static std::unique_ptr<QuadDominantTessellor> open(const CommandLine& args, ConsoleOutput& output);
};
