#include "InputPipeline.h"

#include <climits>

#include "ConsoleOutput.h"

using namespace tessellor;

const OptionSyntax InputPipeline::MaxVoxels{"--max-voxels", "N", "voxel budget of the volume (default 100000)"};
const OptionSyntax InputPipeline::ElementSize{"--element-size", "H",
                                              "size the volume for output edges of length H (input units)"};
const OptionSyntax InputPipeline::TargetFaces{"--target-faces", "N", "size the volume for about N output polygons"};
const OptionSyntax InputPipeline::Features{"--features", nullptr, "detect sharp features and edges"};
const OptionSyntax InputPipeline::Psi{"--psi", "P",
                                      "threshold on |cos| between face normals for sharp edges (default 0.3)"};
const OptionSyntax InputPipeline::Mode{"--mode", "classic|exact|robust", "voxelization mode (default robust)"};
const OptionSyntax InputPipeline::ExactDistance{"--exact-distance", nullptr, "the same as --mode exact"};

const char* const InputPipeline::ModeDescription =
    "The voxelization mode decides how distances and their signs are found. robust (the default)\n"
    "triangulates every polygon, joins corners at equal positions and takes inside and outside from\n"
    "the winding number of the repaired surface, so flipped faces, triangle soups, quads and small\n"
    "holes still give a closed surface. exact and classic take the side from the face normals and\n"
    "skip polygons that are not triangles; classic reproduces the original voxelizer.\n";

RemeshOptions InputPipeline::options(const CommandLine& args) {
  RemeshOptions options;
  options.maxVoxels = static_cast<int>(args.integer("--max-voxels", 100000, 1, INT_MAX));
  if (args.has("--max-voxels") + args.has("--element-size") + args.has("--target-faces") > 1)
    throw UsageError("give only one of --max-voxels, --element-size and --target-faces");
  options.elementSize = args.number("--element-size", 0.0, 1e-30, 1e30);
  options.targetFaces = args.integer("--target-faces", 0, 1, 1000000000000LL);
  options.thresholdPsi = static_cast<float>(args.number("--psi", 0.3, -1000.0, 1000.0));
  options.detectSharpFeatures = args.has("--features");
  options.mode = VoxelizationMode::Robust;
  if (args.has("--mode") && !voxelizationModeFromName(args.value("--mode"), options.mode))
    throw UsageError("unknown mode '" + args.value("--mode") + "' (classic, exact or robust)");
  if (args.has("--exact-distance")) {
    if (args.has("--mode") && options.mode != VoxelizationMode::Exact)
      throw UsageError("--exact-distance means --mode exact, not --mode " + args.value("--mode"));
    options.mode = VoxelizationMode::Exact;
  }
  // The commands clean and write the output, which read only its lists.
  options.outputListsOnly = true;
  return options;
}

void InputPipeline::read(const CommandLine& args, PolygonStorage& mesh, ConsoleOutput& output) {
  if (isVolumePath(args.input()))
    throw UsageError("'" + args.input() + "' names a volume file; this command reads a mesh");
  readMesh(args.input(), mesh, &output);
}
