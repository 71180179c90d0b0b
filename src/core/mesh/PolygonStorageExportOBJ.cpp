#include "mesh/PolygonStorageExportOBJ.h"

#include "mesh/AtomicFileWriter.h"
#include "mesh/PolygonStorage.h"
#include "mesh/TextLine.h"

namespace tessellor {

void PolygonStorageExportOBJ::save(const std::string& fileName, const PolygonStorage& mesh, bool fullPrecision) const {
  AtomicFileWriter out(fileName);
  TextLine line;
  for (const Vertex& vertex : mesh.Vertices) {
    // File coordinates in 32-bit float, printed widened to double ("%f" or "%.9g").
    const V3 f = mesh.fileCoordinates(vertex.pos);
    const double c[3] = {static_cast<double>(f.x), static_cast<double>(f.y), static_cast<double>(f.z)};
    line.clear();
    line.character('v');
    for (double value : c) {
      line.character(' ');
      if (fullPrecision)
        line.general9(value);
      else
        line.fixed6(value);
    }
    line.character('\n');
    out.write(line.data(), line.size());
  }
  out.print("g obj1\n");
  for (const VertexIDList& polygon : mesh.Polygons) {
    // Deleted and degenerate polygons are no faces.
    if (polygon.size() < 3) continue;
    line.clear();
    line.character('f');
    for (int id : polygon) {
      if (line.room() < 32) {
        out.write(line.data(), line.size());
        line.clear();
      }
      line.character(' ');
      line.integer(id + 1);
    }
    line.character('\n');
    out.write(line.data(), line.size());
  }
  out.commit();
}

}  // namespace tessellor
