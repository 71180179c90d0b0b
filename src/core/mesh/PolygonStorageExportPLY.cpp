#include "mesh/PolygonStorageExportPLY.h"

#include "mesh/AtomicFileWriter.h"
#include "mesh/PolygonStorage.h"
#include "mesh/TextLine.h"

#include <string>
#include <utility>
#include <vector>

#include "base/Parallel.h"

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
  // The lines are formatted in parallel, a range of elements at a time, and written in order.
  const auto inPieces = [&out](int count, const auto& format) {
    forEachPiece<std::string>(
        count, 16384,
        [&](int begin, int end, std::string& text) {
          TextLine line;
          for (int i = begin; i < end; ++i) {
            line.clear();
            format(i, line, text);
            text.append(line.data(), line.size());
          }
        },
        [&](const std::string& text) { out.write(text.data(), text.size()); });
  };
  inPieces(static_cast<int>(mesh.Vertices.size()), [&](int v, TextLine& line, std::string&) {
    // File coordinates in 32-bit float, printed widened to double ("%f" or "%.9g").
    const V3 f = mesh.fileCoordinates(mesh.Vertices[static_cast<std::size_t>(v)].pos);
    const double c[3] = {static_cast<double>(f.x), static_cast<double>(f.y), static_cast<double>(f.z)};
    for (int i = 0; i < 3; ++i) {
      if (i > 0) line.character(' ');
      if (fullPrecision)
        line.general9(c[i]);
      else
        line.fixed6(c[i]);
    }
    line.character('\n');
  });
  inPieces(static_cast<int>(mesh.Polygons.size()), [&](int p, TextLine& line, std::string& text) {
    const VertexIDList& polygon = mesh.Polygons[static_cast<std::size_t>(p)];
    line.integer(static_cast<int>(polygon.size()));
    for (int id : polygon) {
      if (line.room() < 32) {
        text.append(line.data(), line.size());
        line.clear();
      }
      line.character(' ');
      line.integer(id);
    }
    line.character('\n');
  });
  out.commit();
}

}  // namespace tessellor
