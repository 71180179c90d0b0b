#pragma once

#include "CommandLine.h"
#include "tessellor/Tessellor.h"

#include <string>

// How the commands that write meshes treat them: by default without emptied polygons and unused
// vertices (and, for the pipeline's output, without degenerate elements), with coordinates that
// read back as the same 32-bit floats; with --raw exactly as made, every entry, in the specified
// number formats.
class OutputCleanup {
 public:
  static const OptionSyntax Raw;

  enum class Level {
    Compact,  // remove emptied polygons and unused vertices
    Repair    // also mend degenerate elements
  };

  // Cleans mesh unless --raw was given, logging through output; returns how to write it.
  static tessellor::WriteOptions apply(const CommandLine& args, tessellor::PolygonStorage& mesh, Level level,
                                       tessellor::StatusOutput& output);

  // The warning for an output mesh written to path with open edges ("PATH: the output mesh is not
  // closed (N open edges)"), or "" for a closed one.
  static std::string openEdgeWarning(const std::string& path, const tessellor::PolygonStorage& mesh);
  // The same for a mesh whose open edges are already counted (as its quality report does).
  static std::string openEdgeWarning(const std::string& path, int openEdges);
};
