#include "RemeshCommand.h"

#include "ConsoleOutput.h"
#include "InputPipeline.h"

#include <string>

using namespace tessellor;

const CommandSyntax& RemeshCommand::syntax() const {
  static const std::string description =
      std::string(
          "IN is a PLY, STL, OBJ or OFF file (ASCII or binary), told by its content.\n"
          "The mesh is fitted into 50 x 50 x 50, turned into a narrow-band signed distance volume sized\n"
          "from the voxel budget (optionally marked with its sharp edges and corners), extracted with\n"
          "Marching Cubes 33 and rebuilt as the dual surface, cut into quads, cleared of rhombus quads\n"
          "and smoothed once. The result is written in the coordinates of the input file, every vertex\n"
          "and polygon entry included.\n") +
      "\n" + InputPipeline::ModeDescription;
  static const CommandSyntax syntax{"remesh",
                                    "Read a mesh and write a quad-dominant remeshing of it.",
                                    description.c_str(),
                                    "IN",
                                    {CommonOptions::Output,
                                     CommonOptions::Format,
                                     InputPipeline::MaxVoxels,
                                     InputPipeline::Features,
                                     InputPipeline::Psi,
                                     InputPipeline::Mode,
                                     InputPipeline::ExactDistance,
                                     {"--save-volume", "V.vol", "also write the distance volume"},
                                     CommonOptions::Threads,
                                     CommonOptions::Quiet},
                                    true};
  return syntax;
}

void RemeshCommand::run(const CommandLine& args, ConsoleOutput& output) {
  // Everything the command line decides is settled before any work is done.
  const MeshFormat format = args.outputFormat();
  const std::string volumePath = args.value("--save-volume");
  if (args.has("--save-volume") && !isVolumePath(volumePath))
    throw UsageError("--save-volume writes a volume file; '" + volumePath + "' does not end in .vol");
  const RemeshOptions options = InputPipeline::options(args);
  PolygonStorage mesh, remeshed;
  InputPipeline::read(args, mesh, output);
  VolumeStorageDF volume;
  remesh(mesh, remeshed, options, &output, args.has("--save-volume") ? &volume : nullptr);

  // Only a complete run writes anything.
  if (args.has("--save-volume")) writeVolume(volumePath, volume);
  writeMesh(args.output(), remeshed, format);
  const int open = countOpenEdges(remeshed);
  if (open > 0)
    output.warning(args.output() + ": the output mesh is not closed (" + std::to_string(open) + " open edges)");
}
