#pragma once

#include "CommandLine.h"
#include "tessellor/Tessellor.h"

class ConsoleOutput;

// The settings and input shared by the commands that start from a mesh (voxelize, remesh):
// --max-voxels (or --element-size, --target-faces), --features, --psi, --mode (and its synonym
// --exact-distance), and the input mesh as read.
class InputPipeline {
 public:
  static const OptionSyntax MaxVoxels;
  static const OptionSyntax ElementSize;
  static const OptionSyntax TargetFaces;
  static const OptionSyntax Features;
  static const OptionSyntax Psi;
  static const OptionSyntax Mode;
  static const OptionSyntax ExactDistance;
  // A paragraph for the commands' --help on what the modes do.
  static const char* const ModeDescription;

  // The pipeline settings of the command line; throws UsageError for bad ones.
  static tessellor::RemeshOptions options(const CommandLine& args);
  // Reads the input mesh; throws UsageError for a volume file, FileError for a bad mesh.
  static void read(const CommandLine& args, tessellor::PolygonStorage& mesh, ConsoleOutput& output);
};
