#include "mesh/PolygonStorageExportPLY.h"

#include "mesh/AtomicFileWriter.h"
#include "mesh/PolygonStorage.h"

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
  const char* const vertexFormat = fullPrecision ? "%.9g %.9g %.9g\n" : "%f %f %f\n";
  for (const Vertex& vertex : mesh.Vertices) {
    // File coordinates in 32-bit float, printed widened to double.
    const V3 f = mesh.fileCoordinates(vertex.pos);
    out.print(vertexFormat, static_cast<double>(f.x), static_cast<double>(f.y), static_cast<double>(f.z));
  }
  for (const VertexIDList& polygon : mesh.Polygons) {
    out.print("%d", static_cast<int>(polygon.size()));
    for (int id : polygon) out.print(" %d", id);
    out.print("\n");
  }
  out.commit();
}

}  // namespace tessellor
