#include "tessellor/Tessellor.h"

#include <cctype>
#include <cmath>
#include <memory>
#include <utility>

#include "mesh/PolygonStorageExportOBJ.h"
#include "mesh/PolygonStorageExportPC.h"
#include "mesh/PolygonStorageExportPLY.h"
#include "mesh/MeshFormatSniffer.h"
#include "mesh/MeshImportFrame.h"
#include "mesh/PolygonStorageImportOBJ.h"
#include "mesh/PolygonStorageImportOFF.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "mesh/PolygonStorageImportSTL.h"
#include "pipeline/QuadDominantTessellor.h"
#include "volume/VolumeStorageDF_IO.h"

namespace tessellor {

namespace {

std::string lowerExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

// The controller holds three meshes and the volume: too large for the stack.
std::unique_ptr<QuadDominantTessellor> makeController(const RemeshOptions& options, StatusOutput* status) {
  auto controller = std::make_unique<QuadDominantTessellor>();
  controller->setStatusOutput(status);
  controller->setMaxVoxels(options.maxVoxels);
  controller->setThresholdPsi(options.thresholdPsi);
  controller->setDetectSharpFeatures(options.detectSharpFeatures);
  controller->setExactDistance(options.exactDistance);
  return controller;
}

template <class Importer>
void importWith(const std::string& path, PolygonStorage& mesh, StatusOutput* status) {
  Importer importer;
  importer.setStatusOutput(status);
  importer.import(path, mesh);
}

void fittedInput(QuadDominantTessellor& controller, const PolygonStorage& input) {
  controller.InputMesh.copyContents(input);
  fitIntoWorkingBox(controller.InputMesh);
}

}  // namespace

const char* version() { return TESSELLOR_VERSION; }

bool meshFormatFromName(const std::string& name, MeshFormat& format) {
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "ply")
    format = MeshFormat::PLY;
  else if (lower == "obj")
    format = MeshFormat::OBJ;
  else if (lower == "pc")
    format = MeshFormat::PC;
  else
    return false;
  return true;
}

bool meshFormatFromPath(const std::string& path, MeshFormat& format) {
  return meshFormatFromName(lowerExtension(path), format);
}

bool isVolumePath(const std::string& path) { return lowerExtension(path) == "vol"; }

void readMesh(const std::string& path, PolygonStorage& mesh, StatusOutput* status) {
  mesh.setStatusOutput(status);
  switch (MeshFormatSniffer::detect(path)) {
    case MeshFileFormat::PLY:
      importWith<PolygonStorageImportPLY>(path, mesh, status);
      break;
    case MeshFileFormat::STL:
      importWith<PolygonStorageImportSTL>(path, mesh, status);
      break;
    case MeshFileFormat::OBJ:
      importWith<PolygonStorageImportOBJ>(path, mesh, status);
      break;
    case MeshFileFormat::OFF:
      importWith<PolygonStorageImportOFF>(path, mesh, status);
      break;
    case MeshFileFormat::Unknown:
      // Refused inside the import task, after the checks that the file can be opened at all.
      MeshImportFrame::run(path, mesh, status, [&](std::FILE*, long long fileSize, PolygonStorage&) {
        if (fileSize == 0) throw FileError(path, "file is empty or not a regular file");
        throw FileError(path, std::string("unknown file format; meshes are read from ") +
                                  MeshFormatSniffer::FormatNames + " files");
      });
      break;
  }
}

void prepareMesh(PolygonStorage& mesh) {
  const long long vertexCount = static_cast<long long>(mesh.Vertices.size());
  for (std::size_t v = 0; v < mesh.Vertices.size(); ++v) {
    const V3& p = mesh.Vertices[v].pos;
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
      throw ProcessingError("vertex " + std::to_string(v) + " has a coordinate that is not finite");
  }
  for (std::size_t p = 0; p < mesh.Polygons.size(); ++p)
    for (int id : mesh.Polygons[p])
      if (id < 0 || id >= vertexCount)
        throw ProcessingError("polygon " + std::to_string(p) + " refers to vertex " + std::to_string(id) + " of " +
                              std::to_string(vertexCount));
  mesh.computeBoundingBox();
  mesh.buildIndex();
  // Polygons of fewer than three corners are emptied here; their edges must leave the index.
  if (mesh.computeMidpoints() > 0) mesh.buildEdgeIndex();
  mesh.computeVertexNormals();
}

void writeMesh(const std::string& path, const PolygonStorage& mesh) {
  MeshFormat format;
  if (!meshFormatFromPath(path, format))
    throw FileError(path, "cannot tell the format from the extension (.ply, .obj or .pc)");
  writeMesh(path, mesh, format);
}

void writeMesh(const std::string& path, const PolygonStorage& mesh, MeshFormat format) {
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

void fitIntoWorkingBox(PolygonStorage& mesh) {
  // A mesh that cannot be fitted (no extent at all) stays as read; sizing the volume says why.
  if (!mesh.Vertices.empty()) mesh.fitIntoVolume(50, 50, 50);
}

void remesh(const PolygonStorage& input, PolygonStorage& output, const RemeshOptions& options, StatusOutput* status,
            VolumeStorageDF* volume) {
  auto controller = makeController(options, status);
  fittedInput(*controller, input);
  controller->remesh();
  output.swapContents(controller->OutputMesh);
  if (volume) *volume = std::move(controller->Volume);
}

void meshToVolume(const PolygonStorage& input, VolumeStorageDF& volume, const RemeshOptions& options,
                  StatusOutput* status) {
  auto controller = makeController(options, status);
  fittedInput(*controller, input);
  controller->volumeFromInputMesh();
  volume = std::move(controller->Volume);
}

void volumeToMesh(VolumeStorageDF& volume, PolygonStorage& output, StatusOutput* status, PolygonStorage* mcMesh) {
  auto controller = makeController(RemeshOptions{}, status);
  std::swap(controller->Volume, volume);
  try {
    controller->outputMeshFromVolume();
  } catch (...) {
    std::swap(controller->Volume, volume);
    throw;
  }
  std::swap(controller->Volume, volume);
  output.swapContents(controller->OutputMesh);
  if (mcMesh) mcMesh->swapContents(controller->MCMesh);
}

void readVolume(const std::string& path, VolumeStorageDF& volume) {
  VolumeStorageDF_IO io;
  io.setVolume(&volume);
  io.setFileName(path);
  io.read();
}

void writeVolume(const std::string& path, const VolumeStorageDF& volume) {
  VolumeStorageDF_IO io;
  // The writer only reads the volume.
  io.setVolume(const_cast<VolumeStorageDF*>(&volume));
  io.setFileName(path);
  io.write();
}

}  // namespace tessellor
