#include "InfoCommand.h"

#include "ConsoleOutput.h"
#include "SignalInterrupter.h"
#include "tessellor/Tessellor.h"

#include <cstdio>

using namespace tessellor;

namespace {

void printVolume(const std::string& path, ConsoleOutput& output) {
  VolumeStorageDF volume;
  readVolume(path, volume);
  throwIfInterrupted(&SignalInterrupter::instance());  // reads do not poll: stopped before printing

  int withDistance = 0;
  int withFeature = 0;
  for (const VoxelData& voxel : volume.Voxels) {
    if (voxel.Distance != NoValue) ++withDistance;
    if (voxel.FeatureType != 0) ++withFeature;
  }
  const float* offset = volume.getOffset();
  char line[200];
  output.setQuiet(false);
  std::snprintf(line, sizeof line, "Volume Size %d x %d x %d", volume.getXSize(), volume.getYSize(), volume.getZSize());
  output.writeLine(line);
  std::snprintf(line, sizeof line, "Scale %g", static_cast<double>(volume.getScale()));
  output.writeLine(line);
  std::snprintf(line, sizeof line, "Offset (%g|%g|%g)", static_cast<double>(offset[0]), static_cast<double>(offset[1]),
                static_cast<double>(offset[2]));
  output.writeLine(line);
  std::snprintf(line, sizeof line, "Voxels with distance: %d", withDistance);
  output.writeLine(line);
  std::snprintf(line, sizeof line, "Voxels with feature: %d", withFeature);
  output.writeLine(line);
}

}  // namespace

const CommandSyntax& InfoCommand::syntax() const {
  static const CommandSyntax syntax{
      "info",
      "Print the statistics of a mesh or a volume file (.vol).",
      "A mesh is a PLY, STL, OBJ or OFF file (ASCII or binary), told by its content.\n"
      "A mesh is imported as it stands (no fitting): the import log, then the statistics block.\n"
      "A volume prints its sizes, Scale, Offset and the numbers of voxels with a distance and with a feature.\n"
      "--quiet leaves out the import log; the results are always printed.\n",
      "FILE",
      {CommonOptions::Quiet}};
  return syntax;
}

void InfoCommand::run(const CommandLine& args, ConsoleOutput& output) {
  if (isVolumePath(args.input())) {
    printVolume(args.input(), output);
    return;
  }
  PolygonStorage mesh;
  readMesh(args.input(), mesh, &output);
  throwIfInterrupted(&SignalInterrupter::instance());
  // The statistics are the result: printed even when the import log is silenced.
  output.setQuiet(false);
  mesh.printStatistics();
}
