#include "ConvertCommand.h"

#include "ConsoleOutput.h"
#include "OutputCleanup.h"
#include "SignalInterrupter.h"
#include "tessellor/Tessellor.h"

using namespace tessellor;

const CommandSyntax& ConvertCommand::syntax() const {
  static const CommandSyntax syntax{
      "convert",
      "Read a mesh and write it as PLY, OBJ, a .pc, Abaqus .inp or Nastran .bdf deck.",
      "IN is a PLY, STL, OBJ or OFF file (ASCII or binary), told by its content.\n"
      "The mesh is written in the coordinates of the input file, without polygons of fewer than\n"
      "three corners and vertices no polygon uses, with coordinates that read back as the same\n"
      "32-bit floats; --raw writes every entry as imported, in the specified number formats.\n",
      "IN",
      {CommonOptions::Output, CommonOptions::Format, OutputCleanup::Raw, CommonOptions::Quiet},
      true};
  return syntax;
}

void ConvertCommand::run(const CommandLine& args, ConsoleOutput& output) {
  const MeshFormat format = args.outputFormat();
  if (isVolumePath(args.input())) throw UsageError("convert reads a mesh; '" + args.input() + "' names a volume file");
  PolygonStorage mesh;
  readMesh(args.input(), mesh, &output);
  throwIfInterrupted(&SignalInterrupter::instance());
  const WriteOptions options = OutputCleanup::apply(args, mesh, OutputCleanup::Level::Compact, output);
  writeMesh(args.output(), mesh, format, options);
}
