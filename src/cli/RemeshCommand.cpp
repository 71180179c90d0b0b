#include "RemeshCommand.h"

#include "ConsoleOutput.h"
#include "MeshFiles.h"
#include "pipeline/QuadDominantTessellor.h"

#include <climits>
#include <memory>

const CommandSyntax& RemeshCommand::syntax() const {
  static const CommandSyntax syntax{
      "remesh",
      "Read a PLY mesh and write a quad-dominant remeshing of it.",
      "The mesh is fitted into 50 x 50 x 50, turned into a narrow-band signed distance volume sized\n"
      "from the voxel budget (optionally marked with its sharp edges and corners), extracted with\n"
      "Marching Cubes 33 and rebuilt as the dual surface, cut into quads, cleared of rhombus quads\n"
      "and smoothed once. The result is written in the coordinates of the input file, every vertex\n"
      "and polygon entry included.\n",
      "IN.ply",
      {CommonOptions::Output,
       CommonOptions::Format,
       {"--max-voxels", "N", "voxel budget of the volume (default 100000)"},
       {"--features", nullptr, "detect sharp features and edges"},
       {"--psi", "P", "threshold on |cos| between face normals for sharp edges (default 0.3)"},
       {"--exact-distance", nullptr, "exact closest-point distances instead of the affine-parameter ones"},
       {"--save-volume", "V.vol", "also write the distance volume"},
       CommonOptions::Quiet},
      true};
  return syntax;
}

void RemeshCommand::run(const CommandLine& args, ConsoleOutput& output) {
  if (CommandLine::isVolumePath(args.input()))
    throw UsageError("remesh reads a PLY mesh; '" + args.input() + "' names a volume file (use mesh)");
  // Everything the command line decides is settled before any work is done.
  const MeshFormat format = args.outputFormat();
  const int maxVoxels = static_cast<int>(args.integer("--max-voxels", 100000, 1, INT_MAX));
  const float psi = static_cast<float>(args.number("--psi", 0.3, -1000.0, 1000.0));
  const std::string volumePath = args.value("--save-volume");
  if (args.has("--save-volume") && !CommandLine::isVolumePath(volumePath))
    throw UsageError("--save-volume writes a volume file; '" + volumePath + "' does not end in .vol");

  // The controller holds three meshes and the volume: too large for the stack.
  auto controller = std::make_unique<QuadDominantTessellor>();
  controller->setStatusOutput(&output);
  controller->setMaxVoxels(maxVoxels);
  controller->setThresholdPsi(psi);
  controller->setDetectSharpFeatures(args.has("--features"));
  controller->setExactDistance(args.has("--exact-distance"));

  PolygonStorage& mesh = controller->getInputMesh();
  MeshFiles::import(args.input(), mesh, &output);
  // As the desktop "Open": a mesh that cannot be fitted stays as read, and the sizing in
  // remesh refuses it with the reason.
  if (!mesh.Vertices.empty()) mesh.fitIntoVolume(50, 50, 50);
  controller->remesh();

  // Only a complete run writes anything.
  if (args.has("--save-volume")) {
    VolumeStorageDF_IO& io = controller->getVolumeIO();
    io.setFileName(volumePath);
    io.write();
  }
  MeshFiles::save(args.output(), format, controller->getOutputMesh());
}
