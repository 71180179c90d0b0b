#include "RemeshCommand.h"

#include "BatchRunner.h"
#include "ConsoleOutput.h"
#include "InputPipeline.h"

#include <cctype>
#include <cstdio>

using namespace tessellor;

const CommandSyntax& RemeshCommand::syntax() const {
  static const CommandSyntax syntax{
      "remesh",
      "Read a mesh and write a quad-dominant remeshing of it.",
      "IN is a PLY, STL, OBJ or OFF file (ASCII or binary), told by its content.\n"
      "The mesh is fitted into 50 x 50 x 50, turned into a narrow-band signed distance volume sized\n"
      "from the voxel budget (optionally marked with its sharp edges and corners), extracted with\n"
      "Marching Cubes 33 and rebuilt as the dual surface, cut into quads, cleared of rhombus quads\n"
      "and smoothed once. The result is written in the coordinates of the input file, every vertex\n"
      "and polygon entry included.\n"
      "\n"
      "With --output-dir DIR it takes several inputs and writes DIR/STEM.FORMAT for each (format\n"
      "--format, default ply), working on --jobs files at once. A file that fails is reported and\n"
      "the others go on; a table of every file (status, seconds, polygons, quad share) ends the\n"
      "output, and the exit status is 1 when any file failed.\n",
      "IN",
      {CommonOptions::Output,
       CommonOptions::Format,
       InputPipeline::MaxVoxels,
       InputPipeline::Features,
       InputPipeline::Psi,
       InputPipeline::ExactDistance,
       {"--save-volume", "V.vol", "also write the distance volume", true},
       CommonOptions::Threads,
       CommonOptions::OutputDir,
       CommonOptions::Jobs,
       CommonOptions::Quiet},
      true};
  return syntax;
}

void RemeshCommand::run(const CommandLine& args, ConsoleOutput& output) {
  if (args.has("--output-dir")) {
    runBatch(args, output);
    return;
  }
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
}

void RemeshCommand::runBatch(const CommandLine& args, ConsoleOutput& output) {
  std::string extension = args.value("--format", "ply");
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  MeshFormat format;
  meshFormatFromName(extension, format);  // CommandLine has refused unknown names
  const RemeshOptions options = InputPipeline::options(args);
  const auto jobs = static_cast<unsigned>(args.integer("--jobs", BatchRunner::defaultJobs(), 1, 1024));
  std::vector<BatchItem> items = BatchRunner::plan(args.inputs(), args.value("--output-dir"), extension);

  BatchRunner runner(jobs, output.isQuiet(), stdout, stderr);
  const std::size_t failed = runner.run(items, [&](BatchItem& item, StatusOutput& status) {
    if (isVolumePath(item.Input)) throw ProcessingError("names a volume file; this command reads a mesh");
    PolygonStorage mesh, remeshed;
    readMesh(item.Input, mesh, &status);
    remesh(mesh, remeshed, options, &status);
    writeMesh(item.Output, remeshed, format);
    std::size_t quads = 0;
    for (const VertexIDList& polygon : remeshed.Polygons) {
      if (!polygon.empty()) ++item.Polygons;
      if (polygon.size() == 4) ++quads;
    }
    item.QuadShare = item.Polygons ? static_cast<double>(quads) / static_cast<double>(item.Polygons) : 0.0;
  });
  runner.printTable(items);
  if (failed) throw PartialFailure(std::to_string(failed) + " of " + std::to_string(items.size()) + " files failed");
}
