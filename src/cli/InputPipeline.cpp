#include "InputPipeline.h"

#include <climits>

#include "ConsoleOutput.h"

using namespace tessellor;

const OptionSyntax InputPipeline::MaxVoxels{"--max-voxels", "N", "voxel budget of the volume (default 100000)"};
const OptionSyntax InputPipeline::Features{"--features", nullptr, "detect sharp features and edges"};
const OptionSyntax InputPipeline::Psi{"--psi", "P",
                                      "threshold on |cos| between face normals for sharp edges (default 0.3)"};
const OptionSyntax InputPipeline::ExactDistance{"--exact-distance", nullptr,
                                                "exact closest-point distances instead of the affine-parameter ones"};

RemeshOptions InputPipeline::options(const CommandLine& args) {
  RemeshOptions options;
  options.maxVoxels = static_cast<int>(args.integer("--max-voxels", 100000, 1, INT_MAX));
  options.thresholdPsi = static_cast<float>(args.number("--psi", 0.3, -1000.0, 1000.0));
  options.detectSharpFeatures = args.has("--features");
  options.exactDistance = args.has("--exact-distance");
  return options;
}

void InputPipeline::read(const CommandLine& args, PolygonStorage& mesh, ConsoleOutput& output) {
  if (isVolumePath(args.input()))
    throw UsageError("'" + args.input() + "' names a volume file; this command reads a mesh");
  readMesh(args.input(), mesh, &output);
}
