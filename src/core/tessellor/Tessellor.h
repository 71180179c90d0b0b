#pragma once

// The public interface of the Tessellor library: free functions over the mesh and volume
// containers, in the manner of mesh-to-volume / volume-to-mesh tools. Every function that takes
// a StatusOutput accepts nullptr, which reports nothing.
//
//   tessellor::PolygonStorage mesh, out;
//   tessellor::readMesh("part.ply", mesh);
//   tessellor::remesh(mesh, out, tessellor::RemeshOptions{});
//   tessellor::writeMesh("part-quads.obj", out);
//
// Failures that input can cause throw tessellor::FileError (naming the file and the line or
// byte) or tessellor::ProcessingError; the containers a call would fill keep their contents.
//
// The pipeline functions take an optional interrupter (nullptr: never interrupted), polled in
// the stages' loops; another thread (or a signal handler) stops the run through it:
//
//   tessellor::FlagInterrupter stop;           // stop.interrupt() from anywhere
//   tessellor::remesh(mesh, out, {}, nullptr, nullptr, &stop);
//
// A stopped call throws tessellor::Cancelled and, like a failed one, leaves output (and the
// volume) exactly as they were.

#include <string>

#include "base/FlagInterrupter.h"
#include "base/NullInterrupter.h"
#include "base/Parallel.h"
#include "base/StatusOutput.h"
#include "base/TessellorError.h"
#include "mesh/MeshQuality.h"
#include "mesh/OpenEdges.h"
#include "mesh/PolygonStorage.h"
#include "postprocess/MeshCleanup.h"
#include "volume/VolumeStorageDF.h"
#include "volume/VoxelizationMode.h"

namespace tessellor {

// Threads: setThreadCount(n) (base/Parallel.h) sets how many threads the parallel passes use, for
// every call that follows: 0 (the default) all cores, 1 the calling thread only. Every result is
// the same for any count.

// The version of the library, "MAJOR.MINOR.PATCH".
const char* version();

// PLY, Wavefront OBJ, the fixed-column .pc deck, Abaqus .inp, Nastran bulk data .bdf.
enum class MeshFormat { PLY, OBJ, PC, INP, BDF };

// The writer for a format name ("ply", "obj", "pc", "inp", "bdf") or a file's extension, in any
// case; false when the name or extension is not one of them.
bool meshFormatFromName(const std::string& name, MeshFormat& format);
bool meshFormatFromPath(const std::string& path, MeshFormat& format);

// True when the path ends in ".vol" (any case): a volume file.
bool isVolumePath(const std::string& path);

// Reads a mesh file as it stands (Scale 1, Offset 0) into mesh, with its indices built. The
// format is told by the content: PLY (ASCII or binary), STL (ASCII or binary), OBJ or OFF; the
// extension only breaks ties. A file of no known format is refused with FileError.
void readMesh(const std::string& path, PolygonStorage& mesh, StatusOutput* status = nullptr);

// Builds what the pipeline needs of a mesh filled by hand (Vertices and Polygons): the vertex and
// edge indices, midpoints, normals and bounding box, as a reader leaves them. Polygons of fewer
// than three corners are emptied. Throws ProcessingError, changing nothing, for a vertex id out
// of range or a coordinate that is not finite.
void prepareMesh(PolygonStorage& mesh);

// Writes mesh in the coordinates of the file it came from; the format is taken from the path's
// extension. Throws FileError for an unknown extension or a file that cannot be written; an
// existing file is replaced only by a complete one.
void writeMesh(const std::string& path, const PolygonStorage& mesh);
void writeMesh(const std::string& path, const PolygonStorage& mesh, MeshFormat format);

struct WriteOptions {
  // false: the number formats the PLY, OBJ and .pc writers are specified with ("%f", "%15g"),
  // byte for byte as they always were; true: nine significant digits, so that every coordinate
  // reads back as the same 32-bit float. The .inp and .bdf decks always carry nine digits.
  bool fullPrecision = false;
};
void writeMesh(const std::string& path, const PolygonStorage& mesh, MeshFormat format, const WriteOptions& options);

// Removes the polygons of fewer than three corners and the vertices no polygon uses, numbering
// the rest in order (MeshCleanup::compact).
MeshCleanup::Result removeUnusedEntries(PolygonStorage& mesh, StatusOutput* status = nullptr);
// Also mends the degenerate elements at their cause: no polygon repeats a vertex and no triangle
// or quad has a scaled Jacobian at or below MeshCleanup::MinScaledJacobian where the surface
// allows it (MeshCleanup::repair). rebuildIndices false skips rebuilding the indices, midpoints
// and vertex normals, for a mesh that is only written or measured next.
MeshCleanup::Result cleanMesh(PolygonStorage& mesh, StatusOutput* status = nullptr, bool rebuildIndices = true);

// Rescales mesh into the 50 x 50 x 50 working box the pipeline starts from (as the desktop
// "Open" does); a mesh without vertices stays as it is.
void fitIntoWorkingBox(PolygonStorage& mesh);

// The voxelization mode for a name ("classic", "exact", "robust"; any case); false for any other.
bool voxelizationModeFromName(const std::string& name, VoxelizationMode& mode);
const char* voxelizationModeName(VoxelizationMode mode);

struct RemeshOptions {
  int maxVoxels = 100000;  // voxel budget of the volume
  // At most one of the two below may be set (> 0); it replaces maxVoxels with the budget whose
  // voxels give it (see VolumeSizing).
  double elementSize = 0.0;          // target edge length of the output, in the input's units
  long long targetFaces = 0;         // target number of output polygons
  bool detectSharpFeatures = false;  // mark sharp edges and corners
  float thresholdPsi = 0.3f;         // |cos| between face normals below which an edge is sharp
  // Classic reproduces the specified voxelizer; Exact takes exact closest points; Robust also
  // triangulates every polygon and takes the sign from the winding number of the repaired
  // surface, independent of the input's face orientation (the command line's default).
  VoxelizationMode mode = VoxelizationMode::Classic;
  // The output as its vertex and polygon lists alone, for a caller that cleans or writes it: its
  // indices and midpoints are left empty and its vertex normals are not computed, which saves a
  // good part of the last step on a large volume. The lists are the same either way.
  bool outputListsOnly = false;
};

// The whole pipeline: input (as read from a file) is fitted, voxelized, extracted and rebuilt as
// a quad-dominant mesh in output, in input's file coordinates. input is not changed; volume,
// when given, receives the distance volume.
void remesh(const PolygonStorage& input, PolygonStorage& output, const RemeshOptions& options,
            StatusOutput* status = nullptr, VolumeStorageDF* volume = nullptr, NullInterrupter* interrupter = nullptr);

// The voxel budget remesh and meshToVolume use for input: maxVoxels, or the one that the element
// size or face count asks for. Throws ProcessingError when both are set, when the input cannot
// be sized, or when the volume would not fit in memory (naming the size it would need).
int voxelBudget(const PolygonStorage& input, const RemeshOptions& options);

// The first half: the narrow-band distance volume of input (fitted as remesh does), with its
// feature cells when the options ask for them.
void meshToVolume(const PolygonStorage& input, VolumeStorageDF& volume, const RemeshOptions& options,
                  StatusOutput* status = nullptr, NullInterrupter* interrupter = nullptr);

// The second half: the quad-dominant mesh of a volume; mcMesh, when given, receives the
// Marching Cubes mesh after the feature transfer. volume is lent to the pipeline and given back
// unchanged.
void volumeToMesh(VolumeStorageDF& volume, PolygonStorage& output, StatusOutput* status = nullptr,
                  PolygonStorage* mcMesh = nullptr, NullInterrupter* interrupter = nullptr);

// Volume files (".vol").
void readVolume(const std::string& path, VolumeStorageDF& volume);
void writeVolume(const std::string& path, const VolumeStorageDF& volume);

}  // namespace tessellor
