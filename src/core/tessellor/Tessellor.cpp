#include "tessellor/Tessellor.h"

#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <utility>

#include "base/StringFormat.h"
#include "mesh/PolygonStorageExportBDF.h"
#include "mesh/PolygonStorageExportINP.h"
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
#include "pipeline/VolumeSizing.h"
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
std::unique_ptr<QuadDominantTessellor> makeController(const RemeshOptions& options, StatusOutput* status, int budget,
                                                      NullInterrupter* interrupter) {
  auto controller = std::make_unique<QuadDominantTessellor>();
  controller->setStatusOutput(status);
  controller->setInterrupter(interrupter);
  controller->setMaxVoxels(budget);
  controller->setThresholdPsi(options.thresholdPsi);
  controller->setDetectSharpFeatures(options.detectSharpFeatures);
  controller->setVoxelizationMode(options.mode);
  controller->setOutputListsOnly(options.outputListsOnly);
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
  else if (lower == "inp")
    format = MeshFormat::INP;
  else if (lower == "bdf")
    format = MeshFormat::BDF;
  else
    return false;
  return true;
}

bool meshFormatFromPath(const std::string& path, MeshFormat& format) {
  return meshFormatFromName(lowerExtension(path), format);
}

bool voxelizationModeFromName(const std::string& name, VoxelizationMode& mode) {
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "classic")
    mode = VoxelizationMode::Classic;
  else if (lower == "exact")
    mode = VoxelizationMode::Exact;
  else if (lower == "robust")
    mode = VoxelizationMode::Robust;
  else
    return false;
  return true;
}

const char* voxelizationModeName(VoxelizationMode mode) {
  switch (mode) {
    case VoxelizationMode::Exact:
      return "exact";
    case VoxelizationMode::Robust:
      return "robust";
    case VoxelizationMode::Classic:
      break;
  }
  return "classic";
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
    throw FileError(path, "cannot tell the format from the extension (.ply, .obj, .pc, .inp or .bdf)");
  writeMesh(path, mesh, format);
}

void writeMesh(const std::string& path, const PolygonStorage& mesh, MeshFormat format) {
  writeMesh(path, mesh, format, WriteOptions{});
}

void writeMesh(const std::string& path, const PolygonStorage& mesh, MeshFormat format, const WriteOptions& options) {
  switch (format) {
    case MeshFormat::PLY:
      PolygonStorageExportPLY().save(path, mesh, options.fullPrecision);
      break;
    case MeshFormat::OBJ:
      PolygonStorageExportOBJ().save(path, mesh, options.fullPrecision);
      break;
    case MeshFormat::PC:
      PolygonStorageExportPC().save(path, mesh, options.fullPrecision);
      break;
    case MeshFormat::INP:
      PolygonStorageExportINP().save(path, mesh);
      break;
    case MeshFormat::BDF:
      PolygonStorageExportBDF().save(path, mesh);
      break;
  }
}

MeshCleanup::Result removeUnusedEntries(PolygonStorage& mesh, StatusOutput* status) {
  return MeshCleanup::compact(mesh, status);
}

MeshCleanup::Result cleanMesh(PolygonStorage& mesh, StatusOutput* status, bool rebuildIndices) {
  return MeshCleanup::repair(mesh, status, rebuildIndices);
}

void fitIntoWorkingBox(PolygonStorage& mesh) {
  // A mesh that cannot be fitted (no extent at all) stays as read; sizing the volume says why.
  if (!mesh.Vertices.empty()) mesh.fitIntoVolume(50, 50, 50);
}

namespace {

// The bounding box and placement the pipeline starts from, without copying the mesh.
void fittedFrame(const PolygonStorage& input, PolygonStorage& fitted) {
  fitted.Vertices.push_back(input.Vertices[0]);
  fitted.BBoxMin = input.BBoxMin;
  fitted.BBoxMax = input.BBoxMax;
  fitted.Scale = input.Scale;
  fitted.Offset = input.Offset;
  fitIntoWorkingBox(fitted);
}

const char* adviceFor(const RemeshOptions& options) {
  if (options.elementSize > 0.0) return "choose a larger element size";
  if (options.targetFaces > 0) return "ask for fewer faces";
  return "lower the maximum voxel count";
}

void logLine(StatusOutput* status, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

void logLine(StatusOutput* status, const char* format, ...) {
  if (!status) return;
  va_list args;
  va_start(args, format);
  const std::string line = formatStringV(format, args);
  va_end(args);
  status->writeLine(line.c_str());
}

}  // namespace

int voxelBudget(const PolygonStorage& input, const RemeshOptions& options) {
  const bool bySize = options.elementSize != 0.0, byFaces = options.targetFaces != 0;
  if (bySize && byFaces)
    throw ProcessingError("Cannot size the volume: give an element size or a face count, not both");
  if (bySize && !(options.elementSize > 0.0 && std::isfinite(options.elementSize)))
    throw ProcessingError("Cannot size the volume: the element size must be a positive number");
  if (byFaces && options.targetFaces < 0)
    throw ProcessingError("Cannot size the volume: the face count must be positive");
  // A mesh without vertices cannot be sized; the pipeline says so.
  if (input.Vertices.empty()) return options.maxVoxels;

  PolygonStorage fitted;
  fittedFrame(input, fitted);
  const double area = VolumeSizing::triangleArea(input);
  int budget = options.maxVoxels;
  if (bySize) {
    budget = VolumeSizing::budgetForVoxelSize(fitted, options.elementSize / VolumeSizing::EdgePerVoxel);
  } else if (byFaces) {
    if (!(area > 0.0))
      throw ProcessingError("Cannot size the volume for a face count: the input mesh has no triangles");
    budget = VolumeSizing::budgetForVoxelSize(
        fitted, std::sqrt(VolumeSizing::FacesPerArea * area / static_cast<double>(options.targetFaces)));
  }
  VolumeSizing::checkMemory(fitted, budget, area, adviceFor(options));
  return budget;
}

void remesh(const PolygonStorage& input, PolygonStorage& output, const RemeshOptions& options, StatusOutput* status,
            VolumeStorageDF* volume, NullInterrupter* interrupter) {
  int budget = voxelBudget(input, options);
  const bool bySize = options.elementSize > 0.0, byFaces = options.targetFaces > 0;
  if (bySize) logLine(status, "Element size %g: voxel budget %d", options.elementSize, budget);
  if (byFaces) logLine(status, "Target faces %lld: voxel budget %d", options.targetFaces, budget);
  auto controller = makeController(options, status, budget, interrupter);
  controller->setSparseVolume(true);
  controller->setReleaseIntermediates(true, volume == nullptr);
  fittedInput(*controller, input);
  controller->remesh();

  if (bySize || byFaces) {
    // The calibration holds for typical surfaces; this one tells its own ratio, so a clear miss
    // is run once more with the voxel edge corrected by it.
    const double voxel = controller->OutputMesh.Scale;
    double corrected = voxel;
    if (bySize) {
      const double edge = VolumeSizing::medianEdge(controller->OutputMesh);
      logLine(status, "Median edge %g", edge);
      if (edge > 0.0 && std::fabs(edge / options.elementSize - 1.0) > VolumeSizing::EdgeTolerance)
        corrected = voxel * options.elementSize / edge;
    } else {
      const double faces = static_cast<double>(VolumeSizing::faceCount(controller->OutputMesh));
      logLine(status, "Faces %.0f", faces);
      if (faces > 0.0 &&
          std::fabs(faces / static_cast<double>(options.targetFaces) - 1.0) > VolumeSizing::FacesTolerance)
        corrected = voxel * std::sqrt(faces / static_cast<double>(options.targetFaces));
    }
    if (corrected != voxel) {
      PolygonStorage fitted;
      fittedFrame(input, fitted);
      const int again = VolumeSizing::budgetForVoxelSize(fitted, corrected);
      if (again != budget) {
        VolumeSizing::checkMemory(fitted, again, VolumeSizing::triangleArea(input), adviceFor(options));
        logLine(status, "Voxel edge corrected to %g: voxel budget %d", corrected, again);
        budget = again;
        controller = makeController(options, status, budget, interrupter);
        controller->setSparseVolume(true);
        controller->setReleaseIntermediates(true, volume == nullptr);
        fittedInput(*controller, input);
        controller->remesh();
      }
    }
  }
  output.swapContents(controller->OutputMesh);
  if (volume) controller->SparseVolume.copyTo(*volume);
}

void meshToVolume(const PolygonStorage& input, VolumeStorageDF& volume, const RemeshOptions& options,
                  StatusOutput* status, NullInterrupter* interrupter) {
  auto controller = makeController(options, status, voxelBudget(input, options), interrupter);
  fittedInput(*controller, input);
  controller->volumeFromInputMesh();
  volume = std::move(controller->Volume);
}

void volumeToMesh(VolumeStorageDF& volume, PolygonStorage& output, StatusOutput* status, PolygonStorage* mcMesh,
                  NullInterrupter* interrupter) {
  auto controller = makeController(RemeshOptions{}, status, RemeshOptions{}.maxVoxels, interrupter);
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
