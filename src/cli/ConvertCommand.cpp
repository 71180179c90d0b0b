#include "ConvertCommand.h"

#include "ConsoleOutput.h"
#include "tessellor/Tessellor.h"

using namespace tessellor;

const CommandSyntax& ConvertCommand::syntax() const {
  static const CommandSyntax syntax{"convert",
                                    "Read a mesh and write it as PLY, OBJ or a .pc deck.",
                                    "IN is a PLY, STL, OBJ or OFF file (ASCII or binary), told by its content.\n"
                                    "The mesh is written as imported, in the coordinates of the input file.\n",
                                    "IN",
                                    {CommonOptions::Output, CommonOptions::Format, CommonOptions::Quiet},
                                    true};
  return syntax;
}

void ConvertCommand::run(const CommandLine& args, ConsoleOutput& output) {
  const MeshFormat format = args.outputFormat();
  if (isVolumePath(args.input())) throw UsageError("convert reads a mesh; '" + args.input() + "' names a volume file");
  PolygonStorage mesh;
  readMesh(args.input(), mesh, &output);
  writeMesh(args.output(), mesh, format);
}
