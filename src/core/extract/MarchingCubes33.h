#pragma once

#include "base/NullInterrupter.h"
#include "mesh/PolygonStorage.h"

#include <cstdint>
#include <memory>

namespace tessellor {

class GenericVolumeStorage;
class StatusOutput;

// Marching Cubes 33: extracts the zero level set of a distance-field volume into a polygon mesh
// that is closed and consistently oriented wherever the volume has values, resolving the
// ambiguous faces and cube interiors so that neighbouring cubes always agree.
//
// Vertices are created once per cut grid edge in a first pass and shared by all cubes around the
// edge through three per-grid-point id arrays; the second pass classifies every cube and emits
// triangles and polygons that only look ids up. Positions are in grid coordinates; the mesh takes
// the volume's Scale and Offset.
//
// Use: point _volume, _mesh and _output at their objects (or use the setters), then release,
// initialize, extract. The pipeline controller derives from this class.
class MarchingCubes33 {
 public:
  static constexpr int SubcaseCount = 32;
  // Sub-case names in counter order ("0", "1", "2", "3.1", ..., "13.5.2", "14").
  static const char* const SubcaseNames[SubcaseCount];

  MarchingCubes33(int sizeX, int sizeY, int sizeZ);
  ~MarchingCubes33();
  MarchingCubes33(const MarchingCubes33&) = delete;
  MarchingCubes33& operator=(const MarchingCubes33&) = delete;

  void setVolume(const GenericVolumeStorage* volume) { _volume = volume; }
  void setMesh(PolygonStorage* mesh) { _mesh = mesh; }
  void setStatusOutput(StatusOutput* output) { _output = output; }
  // Polled once per slab; a stop throws Cancelled and the mesh keeps its previous contents.
  void setInterrupter(NullInterrupter* interrupter) { _interrupter = interrupter; }

  // Frees the id arrays and the vertex buffer; sizes back to -1.
  void release();
  // Sizes the id arrays from the volume (all -1), zeroes the statistics and allocates the first
  // vertex buffer. Throws ProcessingError, leaving the released state, when the volume is too
  // large to extract.
  void initialize();
  // The run: both passes, the mesh, its indices, midpoints and normals, the statistics log.
  // Throws ProcessingError when the vertex buffer cannot grow or the mesh cannot be built; the
  // mesh then keeps its previous contents.
  void extract();

  int caseStatistics(int subcase) const { return _caseStatistics[subcase]; }
  int vertexCount() const { return _vertexCount; }

 protected:
  // Classifies the current cube (cube state below) and emits its tiling.
  void processCube();
  // Face test for face code f (negative: sense inverted); true when the face's saddle joins the
  // positive corners.
  bool testFace(std::int8_t f);
  // Interior test with sign s (7 or -7) of the test tables.
  bool testInterior(std::int8_t s);

  void computeIntersectionPoints();
  // Appends n triangles of a tiling row; entry 12 is the interior vertex centre.
  void addTriangles(const std::int8_t* row, int n, int centre = -1);
  // Appends the loops of a polygon table row (n entries, loops separated by -1).
  void addPolygons(const std::int8_t* row, int n);
  int addCenterVertex();
  int getVertexID(int eid);
  // Makes room for one more record in the vertex buffer, doubling it when full.
  void reserveVertex();
  float value(int x, int y, int z) const;

  const GenericVolumeStorage* _volume = nullptr;
  PolygonStorage* _mesh = nullptr;
  StatusOutput* _output = nullptr;
  NullInterrupter* _interrupter = nullptr;
  int _caseStatistics[SubcaseCount] = {};
  int _sizeX = -1;
  int _sizeY = -1;
  int _sizeZ = -1;
  std::unique_ptr<int[]> _xVertexIDs;
  std::unique_ptr<int[]> _yVertexIDs;
  std::unique_ptr<int[]> _zVertexIDs;
  int _vertexCount = 0;
  int _vertexCapacity = 0;
  std::unique_ptr<Vertex[]> _vertices;

  // Cube state, set by the sweep before each processCube.
  int _i = 0;
  int _j = 0;
  int _k = 0;
  float _cube[8] = {};
  std::uint8_t _lutEntry = 0;
  std::uint8_t _case = 0;
  std::uint8_t _config = 0;
  std::uint8_t _subconfig = 0;

  // Largest vertex buffer the run may grow to (records); a run that needs more stops with
  // ProcessingError. Vertex ids are ints, so the default is the largest power of two below 2^31.
  int _maxVertexCapacity = 1 << 30;

 private:
  // The mesh being filled by the sweep; swapped into _mesh only when the run succeeds.
  PolygonStorage* _target = nullptr;
  void writeLog(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
};

}  // namespace tessellor
