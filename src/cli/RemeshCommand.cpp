#include "RemeshCommand.h"

#include <cstdio>

#include "ConsoleOutput.h"
#include "InputPipeline.h"
#include "OutputCleanup.h"
#include "mesh/AtomicFileWriter.h"

using namespace tessellor;

const CommandSyntax& RemeshCommand::syntax() const {
  static const CommandSyntax syntax{
      "remesh",
      "Read a PLY mesh and write a quad-dominant remeshing of it.",
      "The mesh is fitted into 50 x 50 x 50, turned into a narrow-band signed distance volume sized\n"
      "from the voxel budget, the element size or the face count (optionally marked with its sharp\n"
      "edges and corners), extracted with Marching Cubes 33 and rebuilt as the dual surface, cut\n"
      "into quads, cleared of rhombus quads and smoothed once. The result is written in the\n"
      "coordinates of the input file, without emptied polygons, unused vertices and degenerate\n"
      "elements, and a short quality summary goes to standard error; --raw writes every vertex\n"
      "and polygon entry as the pipeline made it.\n",
      "IN.ply",
      {CommonOptions::Output,
       CommonOptions::Format,
       InputPipeline::MaxVoxels,
       InputPipeline::ElementSize,
       InputPipeline::TargetFaces,
       InputPipeline::Features,
       InputPipeline::Psi,
       InputPipeline::ExactDistance,
       {"--save-volume", "V.vol", "also write the distance volume"},
       {"--report", "FILE.json", "also write the full quality report as JSON"},
       OutputCleanup::Raw,
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
  const std::string reportPath = args.value("--report");
  if (args.has("--report") && (reportPath == args.output() || reportPath == volumePath))
    throw UsageError("--report names a file that is also written as a mesh or volume");
  const RemeshOptions options = InputPipeline::options(args);
  PolygonStorage mesh, remeshed;
  InputPipeline::read(args, mesh, output);
  VolumeStorageDF volume;
  remesh(mesh, remeshed, options, &output, args.has("--save-volume") ? &volume : nullptr);
  // The output lies in the voxel frame: its Scale is the voxel edge in file units.
  const double voxelSize = remeshed.Scale;
  const WriteOptions writeOptions = OutputCleanup::apply(args, remeshed, OutputCleanup::Level::Repair, output);
  const MeshQualityReport report = measureMeshQuality(remeshed, &mesh, voxelSize);

  // Only a complete run writes anything.
  if (args.has("--save-volume")) writeVolume(volumePath, volume);
  writeMesh(args.output(), remeshed, format, writeOptions);
  if (args.has("--report")) {
    AtomicFileWriter file(reportPath);
    file.print("%s", formatQualityJson(report).c_str());
    file.commit();
  }
  std::fflush(stdout);
  std::fputs(formatQualitySummary(report).c_str(), stderr);
}
