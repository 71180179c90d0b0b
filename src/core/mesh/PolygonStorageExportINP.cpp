#include "mesh/PolygonStorageExportINP.h"

#include "mesh/AtomicFileWriter.h"
#include "mesh/PolygonStorage.h"

namespace tessellor {

void PolygonStorageExportINP::save(const std::string& fileName, const PolygonStorage& mesh) const {
  AtomicFileWriter out(fileName);
  out.print("*HEADING\n");
  out.print("Quad-dominant shell mesh written by Tessellor\n");
  out.print("*NODE\n");
  int node = 1;
  for (const Vertex& vertex : mesh.Vertices) {
    const V3 f = mesh.fileCoordinates(vertex.pos);
    out.print("%d, %.9g, %.9g, %.9g\n", node++, static_cast<double>(f.x), static_cast<double>(f.y),
              static_cast<double>(f.z));
  }
  // Elements are numbered in polygon order over both kinds; each kind is one block.
  for (const std::size_t corners : {std::size_t{4}, std::size_t{3}}) {
    bool header = false;
    int element = 1;
    for (const VertexIDList& polygon : mesh.Polygons) {
      if (polygon.size() != 3 && polygon.size() != 4) continue;
      const int number = element++;
      if (polygon.size() != corners) continue;
      if (!header) {
        out.print("*ELEMENT, TYPE=%s, ELSET=SHELL\n", corners == 4 ? "S4R" : "S3R");
        header = true;
      }
      out.print("%d", number);
      for (int id : polygon) out.print(", %d", id + 1);
      out.print("\n");
    }
  }
  out.print("** Placeholders: set the thickness and the material of the shell.\n");
  out.print("*SHELL SECTION, ELSET=SHELL, MATERIAL=MATERIAL\n");
  out.print("1.0\n");
  out.print("*MATERIAL, NAME=MATERIAL\n");
  out.print("*ELASTIC\n");
  out.print("210000.0, 0.3\n");
  out.commit();
}

}  // namespace tessellor
