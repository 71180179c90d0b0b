#include "mesh/PolygonStorageExportOBJ.h"

#include "mesh/AtomicFileWriter.h"
#include "mesh/PolygonStorage.h"

namespace tessellor {

void PolygonStorageExportOBJ::save(const std::string& fileName, const PolygonStorage& mesh, bool fullPrecision) const {
  AtomicFileWriter out(fileName);
  const char* const vertexFormat = fullPrecision ? "v %.9g %.9g %.9g\n" : "v %f %f %f\n";
  for (const Vertex& vertex : mesh.Vertices) {
    // File coordinates in 32-bit float, printed widened to double.
    const V3 f = mesh.fileCoordinates(vertex.pos);
    out.print(vertexFormat, static_cast<double>(f.x), static_cast<double>(f.y), static_cast<double>(f.z));
  }
  out.print("g obj1\n");
  for (const VertexIDList& polygon : mesh.Polygons) {
    // Deleted and degenerate polygons are no faces.
    if (polygon.size() < 3) continue;
    out.print("f");
    for (int id : polygon) out.print(" %d", id + 1);
    out.print("\n");
  }
  out.commit();
}

}  // namespace tessellor
