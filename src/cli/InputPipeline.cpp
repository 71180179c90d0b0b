#include "InputPipeline.h"

#include <climits>

#include "ConsoleOutput.h"
#include "MeshFiles.h"
#include "pipeline/QuadDominantTessellor.h"

const OptionSyntax InputPipeline::MaxVoxels{"--max-voxels", "N", "voxel budget of the volume (default 100000)"};
const OptionSyntax InputPipeline::Features{"--features", nullptr, "detect sharp features and edges"};
const OptionSyntax InputPipeline::Psi{"--psi", "P",
                                      "threshold on |cos| between face normals for sharp edges (default 0.3)"};
const OptionSyntax InputPipeline::ExactDistance{"--exact-distance", nullptr,
                                                "exact closest-point distances instead of the affine-parameter ones"};

std::unique_ptr<QuadDominantTessellor> InputPipeline::open(const CommandLine& args, ConsoleOutput& output) {
  if (CommandLine::isVolumePath(args.input()))
    throw UsageError("'" + args.input() + "' names a volume file; this command reads a PLY mesh");
  const int maxVoxels = static_cast<int>(args.integer("--max-voxels", 100000, 1, INT_MAX));
  const float psi = static_cast<float>(args.number("--psi", 0.3, -1000.0, 1000.0));

  // The controller holds three meshes and the volume: too large for the stack.
  auto controller = std::make_unique<QuadDominantTessellor>();
  controller->setStatusOutput(&output);
  controller->setMaxVoxels(maxVoxels);
  controller->setThresholdPsi(psi);
  controller->setDetectSharpFeatures(args.has("--features"));
  controller->setExactDistance(args.has("--exact-distance"));

  PolygonStorage& mesh = controller->getInputMesh();
  MeshFiles::import(args.input(), mesh, &output);
  // As the desktop "Open": a mesh that cannot be fitted (no extent at all) stays as read, and
  // the sizing of the volume says why it cannot be voxelized.
  if (!mesh.Vertices.empty()) mesh.fitIntoVolume(50, 50, 50);
  return controller;
}
