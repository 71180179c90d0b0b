#include "VoxelizeCommand.h"

#include "ConsoleOutput.h"
#include "SignalInterrupter.h"
#include "InputPipeline.h"

#include <string>

using namespace tessellor;

const CommandSyntax& VoxelizeCommand::syntax() const {
  static const std::string description =
      std::string(
          "IN is a PLY, STL, OBJ or OFF file (ASCII or binary), told by its content.\n"
          "The mesh is fitted into 50 x 50 x 50, the volume is sized from the voxel budget, filled with\n"
          "the narrow-band signed distance of the mesh and, with --features, marked with the cells of\n"
          "its sharp edges and corners.\n") +
      "\n" + InputPipeline::ModeDescription;
  static const CommandSyntax syntax{
      "voxelize",
      "Read a mesh and write its signed distance volume (.vol).",
      description.c_str(),
      "IN",
      {CommonOptions::Output, InputPipeline::MaxVoxels, InputPipeline::Features, InputPipeline::Psi,
       InputPipeline::Mode, InputPipeline::ExactDistance, CommonOptions::Threads, CommonOptions::Quiet},
      true};
  return syntax;
}

void VoxelizeCommand::run(const CommandLine& args, ConsoleOutput& output) {
  if (!isVolumePath(args.output()))
    throw UsageError("voxelize writes a volume file; '" + args.output() + "' does not end in .vol");
  const RemeshOptions options = InputPipeline::options(args);
  PolygonStorage mesh;
  InputPipeline::read(args, mesh, output);
  VolumeStorageDF volume;
  meshToVolume(mesh, volume, options, &output, &SignalInterrupter::instance());
  throwIfInterrupted(&SignalInterrupter::instance());
  writeVolume(args.output(), volume);
}
