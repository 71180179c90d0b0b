#include "VoxelizeCommand.h"

#include <climits>
#include <memory>

#include "ConsoleOutput.h"
#include "MeshFiles.h"
#include "pipeline/QuadDominantTessellor.h"

const CommandSyntax& VoxelizeCommand::syntax() const {
  static const CommandSyntax syntax{
      "voxelize",
      "Read a PLY mesh and write its signed distance volume (.vol).",
      "The mesh is fitted into 50 x 50 x 50, the volume is sized from the voxel budget, filled with\n"
      "the narrow-band signed distance of the mesh's triangles and, with --features, marked with\n"
      "the cells of its sharp edges and corners.\n",
      "IN.ply",
      {CommonOptions::Output,
       {"--max-voxels", "N", "voxel budget of the volume (default 100000)"},
       {"--features", nullptr, "detect sharp features and edges"},
       {"--psi", "P", "threshold on |cos| between face normals for sharp edges (default 0.3)"},
       {"--exact-distance", nullptr, "exact closest-point distances instead of the affine-parameter ones"},
       CommonOptions::Quiet},
      true};
  return syntax;
}

void VoxelizeCommand::run(const CommandLine& args, ConsoleOutput& output) {
  if (CommandLine::isVolumePath(args.input()))
    throw UsageError("voxelize reads a PLY mesh; '" + args.input() + "' names a volume file");
  if (!CommandLine::isVolumePath(args.output()))
    throw UsageError("voxelize writes a volume file; '" + args.output() + "' does not end in .vol");
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
  // the sizing below says why it cannot be voxelized.
  if (!mesh.Vertices.empty()) mesh.fitIntoVolume(50, 50, 50);
  controller->volumeFromInputMesh();

  VolumeStorageDF_IO& io = controller->getVolumeIO();
  io.setFileName(args.output());
  io.write();
}
