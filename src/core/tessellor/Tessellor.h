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

#include <string>

#include "base/Parallel.h"
#include "base/StatusOutput.h"
#include "base/TessellorError.h"
#include "mesh/PolygonStorage.h"
#include "volume/VolumeStorageDF.h"

namespace tessellor {

// Threads: setThreadCount(n) (base/Parallel.h) sets how many threads the parallel passes use, for
// every call that follows: 0 (the default) all cores, 1 the calling thread only. Every result is
// the same for any count.

// The version of the library, "MAJOR.MINOR.PATCH".
const char* version();

enum class MeshFormat { PLY, OBJ, PC };

// The writer for a format name ("ply", "obj", "pc") or a file's extension, in any case; false
// when the name or extension is not one of them.
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

// Rescales mesh into the 50 x 50 x 50 working box the pipeline starts from (as the desktop
// "Open" does); a mesh without vertices stays as it is.
void fitIntoWorkingBox(PolygonStorage& mesh);

struct RemeshOptions {
  int maxVoxels = 100000;            // voxel budget of the volume
  bool detectSharpFeatures = false;  // mark sharp edges and corners
  float thresholdPsi = 0.3f;         // |cos| between face normals below which an edge is sharp
  bool exactDistance = false;        // exact closest-point distances
};

// The whole pipeline: input (as read from a file) is fitted, voxelized, extracted and rebuilt as
// a quad-dominant mesh in output, in input's file coordinates. input is not changed; volume,
// when given, receives the distance volume.
void remesh(const PolygonStorage& input, PolygonStorage& output, const RemeshOptions& options,
            StatusOutput* status = nullptr, VolumeStorageDF* volume = nullptr);

// The first half: the narrow-band distance volume of input (fitted as remesh does), with its
// feature cells when the options ask for them.
void meshToVolume(const PolygonStorage& input, VolumeStorageDF& volume, const RemeshOptions& options,
                  StatusOutput* status = nullptr);

// The second half: the quad-dominant mesh of a volume; mcMesh, when given, receives the
// Marching Cubes mesh after the feature transfer. volume is lent to the pipeline and given back
// unchanged.
void volumeToMesh(VolumeStorageDF& volume, PolygonStorage& output, StatusOutput* status = nullptr,
                  PolygonStorage* mcMesh = nullptr);

// Volume files (".vol").
void readVolume(const std::string& path, VolumeStorageDF& volume);
void writeVolume(const std::string& path, const VolumeStorageDF& volume);

}  // namespace tessellor
