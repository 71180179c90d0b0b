#include "MeshCommand.h"

#include "ConsoleOutput.h"
#include "OutputCleanup.h"
#include "SignalInterrupter.h"
#include "tessellor/Tessellor.h"
#include "base/TessellorError.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using namespace tessellor;

namespace {

// A name beside path (same directory, so the final rename stays on one file system) for a file
// that is written before it may take the place of path.
std::string stagingNameFor(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return directory + "." + base + ".staged-" + std::to_string(static_cast<long>(getpid()));
}

// Removes a staged file unless it has been moved into place.
class StagedFile {
 public:
  explicit StagedFile(std::string name) : Name(std::move(name)) {}
  ~StagedFile() {
    if (!Name.empty()) std::remove(Name.c_str());
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  const std::string& name() const { return Name; }
  void moveTo(const std::string& target) {
    if (std::rename(Name.c_str(), target.c_str()) != 0)
      throw FileError(target, std::string("cannot replace file: ") + std::strerror(errno));
    Name.clear();
  }

 private:
  std::string Name;
};

}  // namespace

const CommandSyntax& MeshCommand::syntax() const {
  static const CommandSyntax syntax{
      "mesh",
      "Read a volume file (.vol) and write the quad-dominant mesh of its surface.",
      "Runs \"Volume -> Output Mesh\" on the volume as it stands (no fitting): the zero level set of\n"
      "its distances is extracted with Marching Cubes 33, the midpoints are moved onto the volume's\n"
      "feature points, and the dual surface is built, cut into quads, cleared of rhombus quads and\n"
      "smoothed once. OUT is that output mesh; --mc-mesh also writes the Marching Cubes mesh. Meshes\n"
      "are written in the coordinates of the volume's Scale and Offset, without emptied polygons and\n"
      "unused vertices (the output mesh also without degenerate elements), with coordinates that\n"
      "read back as the same 32-bit floats; --raw writes every entry as made, in the specified\n"
      "number formats. Nothing is written when any step fails.\n",
      "IN.vol",
      {CommonOptions::Output,
       CommonOptions::Format,
       {"--mc-mesh", "MC_OUT", "also write the Marching Cubes mesh (format from its extension)"},
       CommonOptions::Threads,
       OutputCleanup::Raw,
       CommonOptions::Quiet},
      true};
  return syntax;
}

void MeshCommand::run(const CommandLine& args, ConsoleOutput& output) {
  if (!isVolumePath(args.input()))
    throw UsageError("mesh reads a volume file; '" + args.input() + "' does not end in .vol");
  // Everything the command line decides is settled before any work is done.
  const MeshFormat format = args.outputFormat();
  const bool writeMC = args.has("--mc-mesh");
  const std::string mcPath = args.value("--mc-mesh");
  const MeshFormat mcFormat = writeMC ? CommandLine::formatOfPath(mcPath) : format;
  if (writeMC && mcPath == args.output()) throw UsageError("-o and --mc-mesh name the same file '" + mcPath + "'");

  VolumeStorageDF volume;
  readVolume(args.input(), volume);
  PolygonStorage remeshed, mcMesh;
  volumeToMesh(volume, remeshed, &output, writeMC ? &mcMesh : nullptr, &SignalInterrupter::instance());
  throwIfInterrupted(&SignalInterrupter::instance());
  const WriteOptions options = OutputCleanup::apply(args, remeshed, OutputCleanup::Level::Repair, output);
  if (writeMC) OutputCleanup::apply(args, mcMesh, OutputCleanup::Level::Compact, output);

  // Only a complete run writes anything, and both files or neither: the Marching Cubes mesh is
  // staged beside its target and moved into place once the output mesh is written.
  const std::string openWarning = OutputCleanup::openEdgeWarning(args.output(), remeshed);
  if (!writeMC) {
    writeMesh(args.output(), remeshed, format, options);
    if (!openWarning.empty()) output.warning(openWarning);
    return;
  }
  struct stat existing;
  if (::stat(mcPath.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
    throw FileError(mcPath, "cannot create file: it is a directory");
  StagedFile staged(stagingNameFor(mcPath));
  try {
    writeMesh(staged.name(), mcMesh, mcFormat, options);
  } catch (const FileError& error) {
    // The message names the file the user asked for, not the staging name.
    throw FileError(mcPath, error.Reason, error.Position, error.At);
  }
  writeMesh(args.output(), remeshed, format, options);
  staged.moveTo(mcPath);
  if (!openWarning.empty()) output.warning(openWarning);
}
