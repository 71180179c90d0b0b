#include "mesh/PolygonStorageExportBDF.h"

#include "mesh/AtomicFileWriter.h"
#include "mesh/PolygonStorage.h"

namespace tessellor {

void PolygonStorageExportBDF::save(const std::string& fileName, const PolygonStorage& mesh) const {
  AtomicFileWriter out(fileName);
  out.print("$ Quad-dominant shell mesh written by Tessellor\n");
  out.print("$ Placeholders: set the thickness (PSHELL) and the material (MAT1).\n");
  out.print("BEGIN BULK\n");
  // Small fields of 8 columns.
  out.print("%-8s%8d%8d%8s\n", "PSHELL", 1, 1, "1.0");
  out.print("%-8s%8d%8s%8s%8s\n", "MAT1", 1, "2.1E+5", "", "0.3");
  int grid = 1;
  for (const Vertex& vertex : mesh.Vertices) {
    const V3 f = mesh.fileCoordinates(vertex.pos);
    // Large fields of 16 columns; %16.8E keeps nine significant digits and always a decimal point.
    out.print("GRID*   %16d%16s%16.8E%16.8E\n*       %16.8E\n", grid++, "", static_cast<double>(f.x),
              static_cast<double>(f.y), static_cast<double>(f.z));
  }
  int element = 1;
  for (const VertexIDList& polygon : mesh.Polygons) {
    if (polygon.size() != 3 && polygon.size() != 4) continue;
    out.print("%-8s%8d%8d", polygon.size() == 4 ? "CQUAD4" : "CTRIA3", element++, 1);
    for (int id : polygon) out.print("%8d", id + 1);
    out.print("\n");
  }
  out.print("ENDDATA\n");
  out.commit();
}

}  // namespace tessellor
