#include "mesh/PolygonStorageExportPLY.h"

#include "mesh/AtomicFileWriter.h"
#include "mesh/PolygonStorage.h"
#include "mesh/TextLine.h"

namespace tessellor {

void PolygonStorageExportPLY::save(const std::string& fileName, const PolygonStorage& mesh, bool fullPrecision) const {
  AtomicFileWriter out(fileName);
  out.print("ply\n");
  out.print("format ascii 1.0\n");
  out.print("element vertex %d\n", static_cast<int>(mesh.Vertices.size()));
  out.print("property float32 x\n");
  out.print("property float32 y\n");
  out.print("property float32 z\n");
  out.print("element face %d\n", static_cast<int>(mesh.Polygons.size()));
  out.print("property list uint8 int32 vertex_indices\n");
  out.print("end_header\n");
  TextLine line;
  for (const Vertex& vertex : mesh.Vertices) {
    // File coordinates in 32-bit float, printed widened to double ("%f" or "%.9g").
    const V3 f = mesh.fileCoordinates(vertex.pos);
    const double c[3] = {static_cast<double>(f.x), static_cast<double>(f.y), static_cast<double>(f.z)};
    line.clear();
    for (int i = 0; i < 3; ++i) {
      if (i > 0) line.character(' ');
      if (fullPrecision)
        line.general9(c[i]);
      else
        line.fixed6(c[i]);
    }
    line.character('\n');
    out.write(line.data(), line.size());
  }
  for (const VertexIDList& polygon : mesh.Polygons) {
    line.clear();
    line.integer(static_cast<int>(polygon.size()));
    for (int id : polygon) {
      if (line.room() < 32) {
        out.write(line.data(), line.size());
        line.clear();
      }
      line.character(' ');
      line.integer(id);
    }
    line.character('\n');
    out.write(line.data(), line.size());
  }
  out.commit();
}

}  // namespace tessellor
