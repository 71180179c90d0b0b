#include "OutputCleanup.h"

using namespace tessellor;

const OptionSyntax OutputCleanup::Raw{"--raw", nullptr,
                                      "write every vertex and polygon entry as made, in the specified number formats"};

WriteOptions OutputCleanup::apply(const CommandLine& args, PolygonStorage& mesh, Level level, StatusOutput& output) {
  WriteOptions options;
  if (args.has("--raw")) return options;
  // The commands only write and measure the result: its indices are not made again.
  if (level == Level::Repair)
    cleanMesh(mesh, &output, false);
  else
    removeUnusedEntries(mesh, &output);
  options.fullPrecision = true;
  return options;
}

std::string OutputCleanup::openEdgeWarning(const std::string& path, const PolygonStorage& mesh) {
  return openEdgeWarning(path, countOpenEdges(mesh));
}

std::string OutputCleanup::openEdgeWarning(const std::string& path, int open) {
  if (open == 0) return std::string();
  return path + ": the output mesh is not closed (" + std::to_string(open) + " open edges)";
}
