#include "VoxelizeCommand.h"

#include "ConsoleOutput.h"
#include "InputPipeline.h"
#include "pipeline/QuadDominantTessellor.h"

const CommandSyntax& VoxelizeCommand::syntax() const {
  static const CommandSyntax syntax{
      "voxelize",
      "Read a PLY mesh and write its signed distance volume (.vol).",
      "The mesh is fitted into 50 x 50 x 50, the volume is sized from the voxel budget, filled with\n"
      "the narrow-band signed distance of the mesh's triangles and, with --features, marked with\n"
      "the cells of its sharp edges and corners.\n",
      "IN.ply",
      {CommonOptions::Output, InputPipeline::MaxVoxels, InputPipeline::Features, InputPipeline::Psi,
       InputPipeline::ExactDistance, CommonOptions::Quiet},
      true};
  return syntax;
}

void VoxelizeCommand::run(const CommandLine& args, ConsoleOutput& output) {
  if (!CommandLine::isVolumePath(args.output()))
    throw UsageError("voxelize writes a volume file; '" + args.output() + "' does not end in .vol");
  auto controller = InputPipeline::open(args, output);
  controller->volumeFromInputMesh();

  VolumeStorageDF_IO& io = controller->getVolumeIO();
  io.setFileName(args.output());
  io.write();
}
