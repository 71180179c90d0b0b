#pragma once

#include "base/NullInterrupter.h"
#include "extract/MarchingCubes33Cube.h"
#include "mesh/PolygonStorage.h"

namespace tessellor {

class GenericVolumeStorage;
class StatusOutput;

// Marching Cubes 33: extracts the zero level set of a distance-field volume into a polygon mesh
// that is closed and consistently oriented wherever the volume has values, resolving the
// ambiguous faces and cube interiors so that neighbouring cubes always agree.
//
// Two passes over the volume, a layer of grid points at a time (GenericVolumeStorage::
// getDistanceLayer), each only over the rows that hold values. The first creates one vertex per
// cut grid edge, in grid order, and counts them per layer. The second classifies every cube
// whose corners all carry values and emits triangles and polygons; it finds the ids of the edge
// vertices again from the two layers of the slab and the per-layer counts, so the vertex ids it
// keeps cover two layers, not the grid. Both passes run on ranges of layers in parallel
// (setThreadCount) and merge the ranges in grid order: vertex ids, polygon order, statistics and
// log are the same for any thread count. Positions are in grid coordinates; the mesh takes the
// volume's Scale and Offset.
//
// Use: point _volume, _mesh and _output at their objects (or use the setters), then release,
// initialize, extract. The pipeline controller derives from this class.
class MarchingCubes33 : public MarchingCubes33Cube {
 public:
  MarchingCubes33(int sizeX, int sizeY, int sizeZ);
  ~MarchingCubes33() override;
  MarchingCubes33(const MarchingCubes33&) = delete;
  MarchingCubes33& operator=(const MarchingCubes33&) = delete;

  void setVolume(const GenericVolumeStorage* volume) { _volume = volume; }
  void setMesh(PolygonStorage* mesh) { _mesh = mesh; }
  void setStatusOutput(StatusOutput* output) { _output = output; }
  // Polled once per slab; a stop throws Cancelled and the mesh keeps its previous contents.
  void setInterrupter(NullInterrupter* interrupter) { _interrupter = interrupter; }
  // Whether extract computes the vertex normals (on by default). A caller that only takes the
  // polygons and midpoints on turns them off.
  void setVertexNormals(bool on) { _vertexNormals = on; }

  // Back to the constructed state: sizes -1, no vertices.
  void release();
  // Takes the sizes from the volume and zeroes the statistics. Throws ProcessingError, leaving
  // the released state, when the volume is too large to extract.
  void initialize();
  // The run: both passes, the mesh, its indices, midpoints and normals, the statistics log.
  // Throws ProcessingError when the vertices would exceed the vertex limit or the mesh cannot be
  // built; the mesh then keeps its previous contents.
  void extract();

  int vertexCount() const { return _vertexCount; }

 protected:
  const GenericVolumeStorage* _volume = nullptr;
  PolygonStorage* _mesh = nullptr;
  StatusOutput* _output = nullptr;
  NullInterrupter* _interrupter = nullptr;
  int _sizeX = -1;
  int _sizeY = -1;
  int _sizeZ = -1;
  int _vertexCount = 0;
  bool _vertexNormals = true;

  // Largest number of vertices a run may create, counted as a buffer that starts at 65536
  // records and doubles: a run that needs more stops with ProcessingError. Vertex ids are ints,
  // so the default is the largest power of two below 2^31.
  int _maxVertexCapacity = 1 << 30;

 private:
  void writeLog(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // Throws when count vertices exceed what the vertex buffer may grow to.
  void checkVertexLimit(long long count) const;
};

}  // namespace tessellor
