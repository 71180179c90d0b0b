#include "MeshCommand.h"

#include "ConsoleOutput.h"
#include "MeshFiles.h"
#include "extract/MarchingCubes33.h"
#include "extract/TransferFeaturePointsToMidpoints.h"
#include "mesh/PolygonStorage.h"
#include "volume/VolumeStorageDF.h"
#include "volume/VolumeStorageDF_IO.h"

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

  VolumeStorageDF volume;
  VolumeStorageDF_IO file;
  file.setFileName(args.input());
  file.setVolume(&volume);
  file.read();

  // The Marching Cubes mesh keeps every vertex and polygon slot as extracted: unreferenced
  // vertices next to unmarked grid points included.
  PolygonStorage mcMesh;
  mcMesh.setStatusOutput(&output);
  MarchingCubes33 extractor(-1, -1, -1);
  extractor.setVolume(&volume);
  extractor.setMesh(&mcMesh);
  extractor.setStatusOutput(&output);
  extractor.release();
  extractor.initialize();
  extractor.extract();
  transferFeaturePointsToMidpoints(mcMesh, volume);

  // Until the post-processing passes are routed through this command, the result is the
  // Marching Cubes mesh itself.
  MeshFiles::save(args.output(), format, mcMesh);
  if (args.has("--mc-mesh")) MeshFiles::save(mcPath, mcFormat, mcMesh);
}
