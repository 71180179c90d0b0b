#include "RemeshCommand.h"

#include "BatchRunner.h"
#include "ConsoleOutput.h"
#include "SignalInterrupter.h"
#include "InputPipeline.h"
#include "OutputCleanup.h"
#include "mesh/AtomicFileWriter.h"

#include <cctype>
#include <cstdio>

#include <string>

using namespace tessellor;

const CommandSyntax& RemeshCommand::syntax() const {
  static const std::string description =
      std::string(
          "IN is a PLY, STL, OBJ or OFF file (ASCII or binary), told by its content.\n"
          "The mesh is fitted into 50 x 50 x 50, turned into a narrow-band signed distance volume sized\n"
          "from the voxel budget, the element size or the face count (optionally marked with its sharp\n"
          "edges and corners), extracted with Marching Cubes 33 and rebuilt as the dual surface, cut\n"
          "into quads, cleared of rhombus quads and smoothed once. The result is written in the\n"
          "coordinates of the input file, without emptied polygons, unused vertices and degenerate\n"
          "elements, and a short quality summary goes to standard error; --raw writes every vertex\n"
          "and polygon entry as the pipeline made it.\n"
          "\n"
          "With --output-dir DIR it takes several inputs and writes DIR/STEM.FORMAT for each (format\n"
          "--format, default ply), working on --jobs files at once; each file's log and quality\n"
          "summary are printed as one block when it is done. A file that fails is reported and the\n"
          "others go on; a table of every file (status, seconds, polygons, quad share) ends the\n"
          "output, and the exit status is 1 when any file failed.\n") +
      "\n" + InputPipeline::ModeDescription;
  static const CommandSyntax syntax{"remesh",
                                    "Read a mesh and write a quad-dominant remeshing of it.",
                                    description.c_str(),
                                    "IN",
                                    {CommonOptions::Output,
                                     CommonOptions::Format,
                                     InputPipeline::MaxVoxels,
                                     InputPipeline::ElementSize,
                                     InputPipeline::TargetFaces,
                                     InputPipeline::Features,
                                     InputPipeline::Psi,
                                     InputPipeline::Mode,
                                     InputPipeline::ExactDistance,
                                     {"--save-volume", "V.vol", "also write the distance volume", true},
                                     {"--report", "FILE.json", "also write the full quality report as JSON", true},
                                     OutputCleanup::Raw,
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
  const std::string reportPath = args.value("--report");
  if (args.has("--report") && (reportPath == args.output() || reportPath == volumePath))
    throw UsageError("--report names a file that is also written as a mesh or volume");
  const RemeshOptions options = InputPipeline::options(args);
  PolygonStorage mesh, remeshed;
  InputPipeline::read(args, mesh, output);
  VolumeStorageDF volume;
  remesh(mesh, remeshed, options, &output, args.has("--save-volume") ? &volume : nullptr,
         &SignalInterrupter::instance());
  throwIfInterrupted(&SignalInterrupter::instance());
  // The output lies in the voxel frame: its Scale is the voxel edge in file units.
  const double voxelSize = remeshed.Scale;
  const WriteOptions writeOptions = OutputCleanup::apply(args, remeshed, OutputCleanup::Level::Repair, output);
  // From here on both meshes are only read as lists. The output came as lists alone (the
  // options ask for it); the input's indices go, and with them much of the peak memory.
  mesh.releaseIndices();
  // Without --report only the summary is printed, and only its part of the report is measured.
  const MeshQualityReport report = measureMeshQuality(
      remeshed, &mesh, voxelSize, args.has("--report") ? QualityDetail::Full : QualityDetail::Summary);

  // Only a complete run writes anything.
  if (args.has("--save-volume")) writeVolume(volumePath, volume);
  writeMesh(args.output(), remeshed, format, writeOptions);
  const std::string openWarning = OutputCleanup::openEdgeWarning(args.output(), report.OpenEdges);
  if (!openWarning.empty()) output.warning(openWarning);
  if (args.has("--report")) {
    AtomicFileWriter file(reportPath);
    file.print("%s", formatQualityJson(report).c_str());
    file.commit();
  }
  std::fflush(stdout);
  std::fputs(formatQualitySummary(report).c_str(), stderr);
}

void RemeshCommand::runBatch(const CommandLine& args, ConsoleOutput& output) {
  std::string extension = args.value("--format", "ply");
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  MeshFormat format;
  meshFormatFromName(extension, format);  // CommandLine has refused unknown names
  const RemeshOptions options = InputPipeline::options(args);
  const auto jobs = static_cast<unsigned>(args.integer("--jobs", BatchRunner::defaultJobs(), 1, 1024));
  std::vector<BatchItem> items = BatchRunner::plan(args.inputs(), args.value("--output-dir"), extension);

  NullInterrupter* interrupter = &SignalInterrupter::instance();
  BatchRunner runner(jobs, output.isQuiet(), stdout, stderr, interrupter);
  // The single form's steps, file by file; the quality summary joins the file's block.
  const std::size_t failed = runner.run(items, [&](BatchItem& item, StatusOutput& status, std::string& summary) {
    if (isVolumePath(item.Input)) throw ProcessingError("names a volume file; this command reads a mesh");
    PolygonStorage mesh, remeshed;
    readMesh(item.Input, mesh, &status);
    remesh(mesh, remeshed, options, &status, nullptr, interrupter);
    throwIfInterrupted(interrupter);
    const double voxelSize = remeshed.Scale;
    const WriteOptions writeOptions = OutputCleanup::apply(args, remeshed, OutputCleanup::Level::Repair, status);
    mesh.releaseIndices();
    const MeshQualityReport report = measureMeshQuality(remeshed, &mesh, voxelSize, QualityDetail::Summary);
    writeMesh(item.Output, remeshed, format, writeOptions);
    item.Warning = OutputCleanup::openEdgeWarning(item.Output, report.OpenEdges);
    item.Polygons = static_cast<std::size_t>(report.Polygons);
    item.QuadShare = report.QuadShare;
    summary = formatQualitySummary(report);
  });
  runner.printTable(items);
  // Ctrl-C: the files done before it stay written; status 130 as for a single file.
  if (runner.wasCancelled()) throw Cancelled();
  if (failed) throw PartialFailure(std::to_string(failed) + " of " + std::to_string(items.size()) + " files failed");
}
