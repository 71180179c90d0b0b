// A mesh reader (FUZZ_IMPORTER: the PLY, STL, OBJ or OFF importer, one fuzz target each): any
// bytes either import into a consistent mesh or are refused with the target mesh left exactly as
// it was.
#include "FuzzSupport.h"

#include "mesh/PolygonStorage.h"
#include "mesh/PolygonStorageImportOBJ.h"
#include "mesh/PolygonStorageImportOFF.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "mesh/PolygonStorageImportSTL.h"
#include "base/TessellorError.h"

#include <cmath>
#include <cstring>

using namespace tessellor;

namespace {
void fillKnownMesh(PolygonStorage& mesh) {
  mesh.clear();
  mesh.addVertex(Vertex{{0, 0, 0}, {}, 0});
  mesh.addVertex(Vertex{{1, 0, 0}, {}, 0});
  mesh.addVertex(Vertex{{0, 1, 0}, {}, 0});
  mesh.addTriangle(0, 1, 2);
  mesh.setScale(2.0f);
  mesh.setOffset(1.0f, 2.0f, 3.0f);
  mesh.buildIndex();
  mesh.computeMidpoints();
  mesh.computeVertexNormals();
  mesh.computeBoundingBox();
}

bool sameVertex(const Vertex& a, const Vertex& b) {
  return std::memcmp(&a.pos, &b.pos, sizeof a.pos) == 0 && std::memcmp(&a.n, &b.n, sizeof a.n) == 0 && a.attr == b.attr;
}

bool unchanged(const PolygonStorage& mesh) {
  PolygonStorage expected;
  fillKnownMesh(expected);
  if (mesh.Polygons != expected.Polygons || mesh.VIndex != expected.VIndex) return false;
  if (mesh.Vertices.size() != expected.Vertices.size() || mesh.Midpoints.size() != expected.Midpoints.size())
    return false;
  for (std::size_t i = 0; i < mesh.Vertices.size(); ++i)
    if (!sameVertex(mesh.Vertices[i], expected.Vertices[i])) return false;
  for (std::size_t i = 0; i < mesh.Midpoints.size(); ++i)
    if (!sameVertex(mesh.Midpoints[i], expected.Midpoints[i])) return false;
  return mesh.Scale == expected.Scale && mesh.Offset.x == expected.Offset.x &&
         mesh.EdgeIndex.size() == expected.EdgeIndex.size();
}

void checkConsistent(const PolygonStorage& mesh) {
  const int vertexCount = static_cast<int>(mesh.Vertices.size());
  FUZZ_CHECK(mesh.VIndex.size() == mesh.Vertices.size());
  FUZZ_CHECK(mesh.Midpoints.size() == mesh.Polygons.size());
  for (const Vertex& v : mesh.Vertices)
    FUZZ_CHECK(std::isfinite(v.pos.x) && std::isfinite(v.pos.y) && std::isfinite(v.pos.z));
  for (std::size_t p = 0; p < mesh.Polygons.size(); ++p) {
    const VertexIDList& polygon = mesh.Polygons[p];
    FUZZ_CHECK(polygon.empty() || polygon.size() >= 3);
    for (int id : polygon) {
      FUZZ_CHECK(id >= 0 && id < vertexCount);
      FUZZ_CHECK(mesh.VIndex[id].count(static_cast<int>(p)) == 1);
    }
  }
  for (std::size_t v = 0; v < mesh.VIndex.size(); ++v)
    for (int p : mesh.VIndex[v]) {
      FUZZ_CHECK(p >= 0 && p < static_cast<int>(mesh.Polygons.size()));
      FUZZ_CHECK(!mesh.Polygons[p].empty());
    }
  for (const auto& [key, data] : mesh.EdgeIndex) {
    FUZZ_CHECK(key.Lower < key.Upper);
    FUZZ_CHECK(data.First >= 0 && !mesh.Polygons[data.First].empty());
    FUZZ_CHECK(data.Second == -1 || !mesh.Polygons[data.Second].empty());
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  silenceDiagnostics();
  const std::string path = writeScratchFile(data, size, FUZZ_EXTENSION);
  NullOutput output;
  PolygonStorage mesh;
  mesh.setStatusOutput(&output);
  fillKnownMesh(mesh);
  FUZZ_IMPORTER importer;
  importer.setStatusOutput(&output);
  try {
    importer.import(path, mesh);
  } catch (const FileError& error) {
    FUZZ_CHECK(std::string(error.what()).find(path) != std::string::npos);
    FUZZ_CHECK(unchanged(mesh));
    return 0;
  }
  checkConsistent(mesh);
  return 0;
}
