#include "QualityCommand.h"

#include <cstdio>

#include "ConsoleOutput.h"
#include "tessellor/Tessellor.h"

using namespace tessellor;

const CommandSyntax& QualityCommand::syntax() const {
  static const CommandSyntax syntax{
      "quality",
      "Report the quality of a mesh: topology, element shapes, distance to a reference.",
      "Prints vertices used, polygons by corner count, quad share, open and non-manifold edges,\n"
      "components, orientation, Euler characteristic, the valence histogram and, for quads and\n"
      "triangles, the finite-element shape measures (angles, aspect ratio, skew, taper, warpage,\n"
      "scaled Jacobian) with the number of elements outside their acceptable range. With\n"
      "--reference, also the one-sided distances from the mesh to the reference and back.\n",
      "MESH",
      {{"--reference", "INPUT", "measure the distances to and from this mesh"},
       {"--voxel-size", "H", "also give the distances in voxels of edge H"},
       {"--json", nullptr, "print the report as JSON"}},
      false};
  return syntax;
}

void QualityCommand::run(const CommandLine& args, ConsoleOutput&) {
  if (isVolumePath(args.input())) throw UsageError("quality reads a mesh; '" + args.input() + "' names a volume file");
  const double voxelSize = args.number("--voxel-size", 0.0, 0.0, 1e30);
  PolygonStorage mesh, reference;
  // The report is the only thing written to standard output, so it stays readable as JSON.
  readMesh(args.input(), mesh);
  const bool withReference = args.has("--reference");
  if (withReference) readMesh(args.value("--reference"), reference);
  const MeshQualityReport report = measureMeshQuality(mesh, withReference ? &reference : nullptr, voxelSize);
  const std::string text = args.has("--json") ? formatQualityJson(report) : formatQualityText(report);
  std::fputs(text.c_str(), stdout);
}
