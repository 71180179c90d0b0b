// A mesh reader (FUZZ_IMPORTER: the PLY, STL, OBJ or OFF importer, one fuzz target each): any
// bytes either import into a consistent mesh or are refused with the target mesh left exactly as
// it was, in memory bounded by a constant times the file's size (the replay checks the bound).
#include "FuzzSupport.h"

#include "base/TessellorError.h"
#include "mesh/PolygonStorageImportOBJ.h"
#include "mesh/PolygonStorageImportOFF.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "mesh/PolygonStorageImportSTL.h"
#include "support/TestMeshes.h"

#include <cmath>

using namespace tessellor;

long long fuzzMemoryBound(std::size_t size) { return FuzzFixedBytes + 256 * static_cast<long long>(size); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  silenceDiagnostics();
  const std::string path = writeScratchFile(data, size, FUZZ_EXTENSION);
  NullOutput output;
  PolygonStorage mesh, before;
  mesh.setStatusOutput(&output);
  testmeshes::build(mesh, {"triangle", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}, 1});
  mesh.setScale(2.0f);
  mesh.setOffset(1.0f, 2.0f, 3.0f);
  before.copyContents(mesh);
  FUZZ_IMPORTER importer;
  importer.setStatusOutput(&output);
  try {
    importer.import(path, mesh);
  } catch (const FileError& error) {
    FUZZ_CHECK(std::string(error.what()).rfind(path + ":", 0) == 0);
    // A line (from 1) in text, a byte (from 0) in binary data.
    FUZZ_CHECK(error.Position == FileError::Where::Line ? error.At > 0
                                                        : error.Position == FileError::Where::Byte && error.At >= 0);
    FUZZ_CHECK(testmeshes::meshDifference(before, mesh).empty());
    return 0;
  }
  FUZZ_CHECK(testmeshes::indexFault(mesh).empty());
  for (const Vertex& v : mesh.Vertices)
    FUZZ_CHECK(std::isfinite(v.pos.x) && std::isfinite(v.pos.y) && std::isfinite(v.pos.z));
  return 0;
}
