#include "MeshCommand.h"

#include "ConsoleOutput.h"
#include "MeshFiles.h"
#include "pipeline/QuadDominantTessellor.h"

#include <memory>

const CommandSpec& MeshCommand::spec() const {
  static const CommandSpec spec{
      "mesh",
      "Read a volume file (.vol) and write the surface extracted from it.",
      "The zero level set of the volume's distances is extracted with Marching Cubes 33 and the\n"
      "midpoints are moved onto the volume's feature points. Meshes are written as they are, every\n"
      "vertex and polygon included, in the coordinates of the volume's Scale and Offset.\n",
      "IN.vol",
      {CommonOptions::Output,
       CommonOptions::Format,
       {"--mc-mesh", "MC_OUT", "also write the Marching Cubes mesh (format from its extension)"},
       CommonOptions::Quiet},
      true};
  return spec;
}

void MeshCommand::run(const CommandLine& args, ConsoleOutput& output) {
  if (!CommandLine::isVolumePath(args.input()))
    throw UsageError("mesh reads a volume file; '" + args.input() + "' does not end in .vol");
  // Both formats are settled before any work is done.
  const MeshFormat format = args.outputFormat();
  const std::string mcPath = args.value("--mc-mesh");
  const MeshFormat mcFormat = args.has("--mc-mesh") ? CommandLine::formatOfPath(mcPath) : format;

  // The controller holds three meshes and the volume: too large for the stack.
  auto controller = std::make_unique<QuadDominantTessellor>();
  controller->setStatusOutput(&output);
  VolumeStorageDF_IO& io = controller->getVolumeIO();
  io.setFileName(args.input());
  io.read();
  controller->outputMeshFromVolume();

  // Until the post-processing passes join "Volume -> Output Mesh", the result is the Marching
  // Cubes mesh itself.
  MeshFiles::save(args.output(), format, controller->MCMesh);
  if (args.has("--mc-mesh")) MeshFiles::save(mcPath, mcFormat, controller->MCMesh);
}
