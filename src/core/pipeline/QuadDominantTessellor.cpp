#include "pipeline/QuadDominantTessellor.h"

#include <climits>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "extract/TransferFeaturePointsToMidpoints.h"
#include "mesh/OpenEdges.h"
#include "base/StatusOutput.h"
#include "base/StringFormat.h"
#include "base/TessellorError.h"

namespace tessellor {

namespace {

const char* const AxisNames[3] = {"x", "y", "z"};

// Voxels along an axis of extent e for a budget, in double: the caller checks the range before
// anything becomes an int.
double axisVoxels(float e, double volume, double budget) {
  const double f = std::pow(budget / volume, 1.0 / 3.0);
  return std::trunc(static_cast<double>(e) * f);
}

// Frees a mesh's vertices, polygons and indices; scale, offset and box stay.
void dropLists(PolygonStorage& mesh) {
  std::vector<VertexIDList>().swap(mesh.Polygons);
  std::vector<Vertex>().swap(mesh.Vertices);
  std::vector<VertexIDSet>().swap(mesh.VIndex);
  std::vector<Vertex>().swap(mesh.Midpoints);
  EdgeIndexTable().swap(mesh.EdgeIndex);
}

}  // namespace

QuadDominantTessellor::QuadDominantTessellor() : MarchingCubes33(-1, -1, -1) {
  Voxelizer.setVolume(&Volume);
  Voxelizer.setMesh(&InputMesh);
  setVolume(&Volume);
  setMesh(&MCMesh);
  VolumeIO.setVolume(&Volume);
  Features.setMesh(&InputMesh);
  Voxelizer.setSharpFeatures(&Features);
}

void QuadDominantTessellor::setSparseVolume(bool sparse) {
  UseSparseVolume = sparse;
  GenericVolumeStorage* volume = &activeVolume();
  Voxelizer.setVolume(volume);
  setVolume(volume);
  VolumeIO.setVolume(volume);
}

void QuadDominantTessellor::setStatusOutput(StatusOutput* output) {
  Output = output;
  MarchingCubes33::setStatusOutput(output);
  Voxelizer.setStatusOutput(output);
  InputMesh.setStatusOutput(output);
  OutputMesh.setStatusOutput(output);
  MCMesh.setStatusOutput(output);
}

void QuadDominantTessellor::setInterrupter(NullInterrupter* interrupter) {
  Interrupter = interrupter;
  MarchingCubes33::setInterrupter(interrupter);
  Voxelizer.setInterrupter(interrupter);
  InputMesh.setInterrupter(interrupter);
  OutputMesh.setInterrupter(interrupter);
  MCMesh.setInterrupter(interrupter);
}

void QuadDominantTessellor::volumeSize(float ex, float ey, float ez, int maxVoxels, int& nx, int& ny, int& nz) {
  const float extent[3] = {ex, ey, ez};
  for (int axis = 0; axis < 3; ++axis) {
    if (!std::isfinite(extent[axis]))
      throw ProcessingError(formatString(
          "Cannot size the volume: the input mesh's extent along %s is not a finite number", AxisNames[axis]));
    if (!(extent[axis] > 0.0f))
      throw ProcessingError(
          formatString("Cannot size the volume: the input mesh has no extent along %s (a flat mesh)", AxisNames[axis]));
  }
  // The product is taken in float, as the extents are; a tiny mesh can underflow it to 0.
  const double volume = static_cast<double>(ex * ey * ez);
  if (!(volume > 0.0) || !std::isfinite(volume))
    throw ProcessingError(
        formatString("Cannot size the volume: the input mesh's extents %g x %g x %g give no finite volume",
                     static_cast<double>(ex), static_cast<double>(ey), static_cast<double>(ez)));
  if (maxVoxels <= 0)
    throw ProcessingError(formatString("Cannot size the volume: the voxel budget %d is not positive", maxVoxels));

  double n[3];
  int thinnest = 0;
  for (int axis = 0; axis < 3; ++axis) {
    n[axis] = axisVoxels(extent[axis], volume, maxVoxels);
    if (!(n[axis] >= n[thinnest])) thinnest = axis;
  }
  // Below 5 voxels the 1.5-voxel border leaves no room for the mesh.
  if (!(n[thinnest] >= 5.0)) {
    const float e = extent[thinnest];
    double budget = std::ceil(125.0 * volume / (static_cast<double>(e) * e * e));
    std::string advice;
    if (budget < static_cast<double>(INT_MAX)) {
      long long b = budget < 1.0 ? 1 : static_cast<long long>(budget);
      while (b > 1 && axisVoxels(e, volume, static_cast<double>(b - 1)) >= 5.0) --b;
      while (b < INT_MAX && axisVoxels(e, volume, static_cast<double>(b)) < 5.0) ++b;
      advice = formatString("a voxel budget of at least %lld gives it 5", b);
    } else {
      advice = "no voxel budget gives it 5";
    }
    throw ProcessingError(
        formatString("Cannot size the volume: %d voxels give the input mesh only %.0f voxels along %s "
                     "(at least 5 needed); %s",
                     maxVoxels, n[thinnest] < 0 ? 0.0 : n[thinnest], AxisNames[thinnest], advice.c_str()));
  }
  for (int axis = 0; axis < 3; ++axis)
    if (!(n[axis] <= static_cast<double>(INT_MAX)))
      throw ProcessingError(
          formatString("Cannot size the volume: %.0f voxels along %s are too many", n[axis], AxisNames[axis]));
  nx = static_cast<int>(n[0]);
  ny = static_cast<int>(n[1]);
  nz = static_cast<int>(n[2]);
  if (VolumeStorageDF::checkedVoxelCount(nx, ny, nz) < 0)
    throw ProcessingError(formatString("Cannot size the volume: %d x %d x %d voxels are too many", nx, ny, nz));
}

void QuadDominantTessellor::volumeFromInputMesh() {
  const InterrupterScope scope(Interrupter, "Input Mesh -> Volume");
  if (InputMesh.Vertices.empty()) throw ProcessingError("Cannot size the volume: the input mesh has no vertices");
  int nx = 0, ny = 0, nz = 0;
  volumeSize(InputMesh.BBoxMax.x - InputMesh.BBoxMin.x, InputMesh.BBoxMax.y - InputMesh.BBoxMin.y,
             InputMesh.BBoxMax.z - InputMesh.BBoxMin.z, MaxVoxels, nx, ny, nz);

  // The classic and exact modes voxelize triangles only: a mesh of larger polygons would give an
  // empty volume.
  int polygons = 0, triangles = 0;
  for (const VertexIDList& polygon : InputMesh.Polygons) {
    polygons += polygon.size() > 2 ? 1 : 0;
    triangles += polygon.size() == 3 ? 1 : 0;
  }
  if (Mode != VoxelizationMode::Robust && polygons > 0 && triangles == 0)
    throw ProcessingError(
        formatString("The %s mode voxelizes triangles only, and all %d polygons of the input mesh have four or more "
                     "corners; the robust mode (--mode robust) triangulates them",
                     Mode == VoxelizationMode::Exact ? "exact" : "classic", polygons));
  // Allocate before re-fitting the mesh, so that a failure leaves mesh and volume as they were.
  // The sparse volume allocates only its block tables here, its blocks as the band is written.
  std::vector<VoxelData> storage;
  VolumeStorageSparse sparse;
  try {
    if (UseSparseVolume)
      sparse.resize(nx, ny, nz);
    else
      storage.resize(static_cast<std::size_t>(VolumeStorageDF::checkedVoxelCount(nx, ny, nz)));
  } catch (const std::bad_alloc&) {
    throw ProcessingError(
        formatString("Cannot allocate a volume of %d x %d x %d voxels; lower the maximum voxel count", nx, ny, nz));
  } catch (const std::length_error&) {
    throw ProcessingError(
        formatString("Cannot allocate a volume of %d x %d x %d voxels; lower the maximum voxel count", nx, ny, nz));
  }
  if (!InputMesh.fitIntoVolume(nx, ny, nz))
    throw ProcessingError(formatString("The input mesh cannot be fitted into %d x %d x %d voxels", nx, ny, nz));
  if (UseSparseVolume) {
    SparseVolume = std::move(sparse);
    // The dense volume of an earlier run would only hold memory.
    Volume.Voxels = std::vector<VoxelData>();
    Volume.resize(0, 0, 0);
  } else {
    Volume.Voxels.swap(storage);
    storage = std::vector<VoxelData>();
    // Voxels already has the new size, so this allocates nothing.
    Volume.resize(nx, ny, nz);
  }

  char msg[200];
  std::snprintf(msg, sizeof msg, "Volume Size %d x %d x %d", nx, ny, nz);
  if (Output) Output->writeLine(msg);

  Voxelizer.setMode(Mode);
  Voxelizer.voxelize();
  if (Mode != VoxelizationMode::Robust && polygons > 0 && Voxelizer.SkippedPolygons >= polygons)
    throw ProcessingError(
        formatString("The %s mode had to skip all %d polygons of the input mesh (triangles without area or polygons "
                     "of four or more corners); the robust mode (--mode robust) triangulates every polygon",
                     Mode == VoxelizationMode::Exact ? "exact" : "classic", polygons));
  if (DetectSharpFeatures) Voxelizer.detectSharpFeatures();
}

void QuadDominantTessellor::outputMeshFromVolume() {
  const InterrupterScope scope(Interrupter, "Volume -> Output Mesh");
  release();
  initialize();
  // Nothing reads the normals of the intermediate meshes: smoothing computes the output's.
  setVertexNormals(!ReleaseMeshes);
  extract();
  transferFeaturePointsToMidpoints(MCMesh, activeVolume());
  // The dual's vertices are the extracted polygons' midpoints, now on the feature points; open
  // fans are closed directly, without edge midpoints.
  if (ReleaseVolume) {
    SparseVolume = VolumeStorageSparse();
    Volume.Voxels = std::vector<VoxelData>();
  }
  if (ReleaseMeshes) {
    // The midpoints become the dual's vertices: moved, not copied, since the mesh goes next.
    OutputMesh.constructDualFans(MCMesh, true, &MCMesh.Midpoints);
    dropLists(MCMesh);
    OutputMesh.finishDualSurface(false, !OutputListsOnly);
  } else {
    OutputMesh.constructDualSurface(MCMesh, true);
  }
  OutputMesh.reducePolygonDegree();
  // An output that comes as lists has no normals to keep up to date.
  OutputMesh.removeRhombusPolygons(!OutputListsOnly);
  OutputMesh.smooth(OutputListsOnly);
  const int open = countOpenEdges(OutputMesh);
  if (open > 0 && Output) {
    char msg[200];
    std::snprintf(msg, sizeof msg, "Output mesh not closed: %d open edges", open);
    Output->writeLine(msg);
  }
}

void QuadDominantTessellor::remesh() {
  volumeFromInputMesh();
  if (ReleaseMeshes) dropLists(InputMesh);
  outputMeshFromVolume();
}

}  // namespace tessellor
