#include "mesh/PolygonStorageExportPC.h"

#include "mesh/AtomicFileWriter.h"
#include "mesh/PolygonStorage.h"

namespace tessellor {

namespace {
constexpr int MaterialNumber = 13011;
}

void PolygonStorageExportPC::save(const std::string& fileName, const PolygonStorage& mesh, bool fullPrecision) const {
  AtomicFileWriter out(fileName);
  // Material card and its continuation lines; every column is fixed.
  out.print("MATER /    13011     101 7.850000000E-09       0       0\n");
  out.print("               0       0       0       0       0       0      1.\n");
  out.print("%49s\n", "");
  out.print("        0.        0.        0.       1.2       0.0       0.0       0.0       0.0\n");
  out.print("\n\n\n\n\n");

  // Nine significant digits fit the 15 columns: a sign, "0.000" and nine digits at the widest.
  const char* const nodeFormat =
      fullPrecision ? "NODE  /%9d %15.9g %15.9g %15.9g %7d\n" : "NODE  /%9d %15g %15g %15g %7d\n";
  int node = 1;
  for (const Vertex& vertex : mesh.Vertices) {
    const V3 f = mesh.fileCoordinates(vertex.pos);
    out.print(nodeFormat, node++, static_cast<double>(f.x), static_cast<double>(f.y), static_cast<double>(f.z), 0);
  }
  out.print("$\n");

  // Only triangles and quadrilaterals are shells; nothing else advances the element number.
  int element = 1;
  for (const VertexIDList& polygon : mesh.Polygons) {
    const std::size_t corners = polygon.size();
    if (corners != 3 && corners != 4) continue;
    out.print("SHELL /%9d%8d", element++, MaterialNumber);
    for (int id : polygon) out.print("%8d", id + 1);
    if (corners == 3) out.print("%8d", 0);
    out.print("       3     0.0\n");
  }
  out.commit();
}

}  // namespace tessellor
