#include "MeshFiles.h"

#include "mesh/PolygonStorage.h"
#include "mesh/PolygonStorageExportOBJ.h"
#include "mesh/PolygonStorageExportPC.h"
#include "mesh/PolygonStorageExportPLY.h"
#include "mesh/PolygonStorageImportPLY.h"

void MeshFiles::import(const std::string& path, PolygonStorage& mesh, StatusOutput* output) {
  PolygonStorageImportPLY importer;
  importer.setStatusOutput(output);
  mesh.setStatusOutput(output);
  importer.import(path, mesh);
}

void MeshFiles::save(const std::string& path, MeshFormat format, const PolygonStorage& mesh) {
  switch (format) {
    case MeshFormat::PLY:
      PolygonStorageExportPLY().save(path, mesh);
      break;
    case MeshFormat::OBJ:
      PolygonStorageExportOBJ().save(path, mesh);
      break;
    case MeshFormat::PC:
      PolygonStorageExportPC().save(path, mesh);
      break;
  }
}
