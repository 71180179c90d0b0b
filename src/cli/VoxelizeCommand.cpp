#include "VoxelizeCommand.h"

#include "ConsoleOutput.h"
#include "InputPipeline.h"

using namespace tessellor;

const CommandSyntax& VoxelizeCommand::syntax() const {
  static const CommandSyntax syntax{
      "voxelize",
      "Read a mesh and write its signed distance volume (.vol).",
      "IN is a PLY, STL, OBJ or OFF file (ASCII or binary), told by its content.\n"
      "The mesh is fitted into 50 x 50 x 50, the volume is sized from the voxel budget, filled with\n"
      "the narrow-band signed distance of the mesh's triangles and, with --features, marked with\n"
      "the cells of its sharp edges and corners.\n",
      "IN",
      {CommonOptions::Output, InputPipeline::MaxVoxels, InputPipeline::Features, InputPipeline::Psi,
       InputPipeline::ExactDistance, CommonOptions::Threads, CommonOptions::Quiet},
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
  meshToVolume(mesh, volume, options, &output);
  writeVolume(args.output(), volume);
}
