#include "extract/MarchingCubes33.h"

#include "extract/MarchingCubes33Tables.h"
#include "base/Assert.h"
#include "base/Diagnostics.h"
#include "base/StatusOutput.h"
#include "base/TessellorError.h"
#include "volume/GenericVolumeStorage.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#if defined(__unix__)
#include <unistd.h>

namespace tessellor {
#endif

namespace {

// Values this close to 0 become this positive value, so no corner is exactly on the surface.
constexpr float Epsilon = 1.1920929e-07f;
constexpr float NoDistance = 10000000.0f;

float clamped(float v) { return std::fabs(v) < Epsilon ? Epsilon : v; }

enum Subcase {
  S0,
  S1,
  S2,
  S3_1,
  S3_2,
  S4_1,
  S4_2,
  S5,
  S6_1_1,
  S6_1_2,
  S6_2,
  S7_1,
  S7_2,
  S7_3,
  S7_4_1,
  S7_4_2,
  S8,
  S9,
  S10_1_1,
  S10_1_2,
  S10_2,
  S11,
  S12_1_1,
  S12_1_2,
  S12_2,
  S13_1,
  S13_2,
  S13_3,
  S13_4,
  S13_5_1,
  S13_5_2,
  S14
};

// Corners of each face code 1..6, in the order P, Q, R, S read by the face test.
constexpr int FaceCorners[6][4] = {{0, 4, 5, 1}, {1, 5, 6, 2}, {2, 6, 7, 3}, {3, 7, 4, 0}, {0, 3, 2, 1}, {4, 7, 6, 5}};

// For each cube edge: offset of the grid point at its lower end, and its direction (0 x, 1 y, 2 z).
struct EdgeSlot {
  int dx, dy, dz, dir;
};
constexpr EdgeSlot EdgeSlots[12] = {{0, 0, 0, 0}, {1, 0, 0, 1}, {0, 1, 0, 0}, {0, 0, 0, 1}, {0, 0, 1, 0}, {1, 0, 1, 1},
                                    {0, 1, 1, 0}, {0, 0, 1, 1}, {0, 0, 0, 2}, {1, 0, 0, 2}, {1, 1, 0, 2}, {0, 1, 0, 2}};

// Interior test along a reference edge: t is taken on the edge (a, b) and the three edges
// parallel to it are interpolated at the same t, each from its first to its second corner.
struct ParallelEdges {
  int a, b, b0, b1, c0, c1, d0, d1;
};
constexpr ParallelEdges Parallel[12] = {{0, 1, 3, 2, 7, 6, 4, 5}, {1, 2, 0, 3, 4, 7, 5, 6}, {2, 3, 1, 0, 5, 4, 6, 7},
                                        {3, 0, 2, 1, 6, 5, 7, 4}, {4, 5, 7, 6, 3, 2, 0, 1}, {5, 6, 4, 7, 0, 3, 1, 2},
                                        {6, 7, 5, 4, 1, 0, 2, 3}, {7, 4, 6, 5, 2, 1, 3, 0}, {0, 4, 3, 7, 2, 6, 1, 5},
                                        {1, 5, 0, 4, 3, 7, 2, 6}, {2, 6, 1, 5, 0, 4, 3, 7}, {3, 7, 2, 6, 1, 5, 0, 4}};

// Bytes of physical memory, or 0 when unknown.
unsigned long long physicalMemory() {
#if defined(__unix__) && defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0)
    return static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize);
#endif
  return 0;
}

constexpr int FirstVertexCapacity = 65536;

}  // namespace

const char* const MarchingCubes33::SubcaseNames[SubcaseCount] = {
    "0",      "1",      "2",    "3.1",   "3.2",   "4.1",  "4.2",  "5",      "6.1.1",  "6.1.2", "6.2",
    "7.1",    "7.2",    "7.3",  "7.4.1", "7.4.2", "8",    "9",    "10.1.1", "10.1.2", "10.2",  "11",
    "12.1.1", "12.1.2", "12.2", "13.1",  "13.2",  "13.3", "13.4", "13.5.1", "13.5.2", "14"};

MarchingCubes33::MarchingCubes33(int sizeX, int sizeY, int sizeZ) : _sizeX(sizeX), _sizeY(sizeY), _sizeZ(sizeZ) {}

MarchingCubes33::~MarchingCubes33() { release(); }

void MarchingCubes33::release() {
  _xVertexIDs.reset();
  _yVertexIDs.reset();
  _zVertexIDs.reset();
  _vertices.reset();
  _vertexCount = 0;
  _vertexCapacity = 0;
  _sizeX = _sizeY = _sizeZ = -1;
}

void MarchingCubes33::initialize() {
  TS_ASSERT(_volume != nullptr);
  release();
  const long long nx = _volume->getXSize(), ny = _volume->getYSize(), nz = _volume->getZSize();
  char message[200];
  if (nx < 0 || ny < 0 || nz < 0) {
    std::snprintf(message, sizeof message, "Marching Cubes: invalid volume size %lld x %lld x %lld", nx, ny, nz);
    throw ProcessingError(message);
  }
  // Grid point indices and vertex ids are ints.
  const long long limit = std::numeric_limits<int>::max();
  const bool indexable = nx == 0 || ny == 0 || nz == 0 || (nx <= limit / ny && nx * ny <= limit / nz);
  const unsigned long long points = indexable ? static_cast<unsigned long long>(nx * ny * nz) : 0;
  const unsigned long long bytes = points * 3 * sizeof(int) + FirstVertexCapacity * sizeof(Vertex);
  const unsigned long long memory = physicalMemory();
  if (!indexable || (memory != 0 && bytes > memory)) {
    std::snprintf(message, sizeof message,
                  "Marching Cubes: volume of %lld x %lld x %lld grid points is too large to extract", nx, ny, nz);
    throw ProcessingError(message);
  }
  const std::size_t count = static_cast<std::size_t>(points);
  _xVertexIDs.reset(new (std::nothrow) int[count]);
  _yVertexIDs.reset(new (std::nothrow) int[count]);
  _zVertexIDs.reset(new (std::nothrow) int[count]);
  _vertices.reset(new (std::nothrow) Vertex[FirstVertexCapacity]);
  if (!_xVertexIDs || !_yVertexIDs || !_zVertexIDs || !_vertices) {
    release();
    std::snprintf(message, sizeof message,
                  "Marching Cubes: not enough memory to extract a volume of %lld x %lld x %lld grid points", nx, ny,
                  nz);
    throw ProcessingError(message);
  }
  std::fill(_xVertexIDs.get(), _xVertexIDs.get() + count, -1);
  std::fill(_yVertexIDs.get(), _yVertexIDs.get() + count, -1);
  std::fill(_zVertexIDs.get(), _zVertexIDs.get() + count, -1);
  _sizeX = static_cast<int>(nx);
  _sizeY = static_cast<int>(ny);
  _sizeZ = static_cast<int>(nz);
  std::fill(_caseStatistics, _caseStatistics + SubcaseCount, 0);
  _vertexCount = 0;
  _vertexCapacity = FirstVertexCapacity;
}

void MarchingCubes33::writeLog(const char* format, ...) {
  char buffer[1000];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (_output) _output->writeLine(buffer);
}

float MarchingCubes33::value(int x, int y, int z) const {
  VoxelData record;
  _volume->getVoxel(x, y, z, record);
  return record.Distance;
}

void MarchingCubes33::reserveVertex() {
  if (_vertexCount < _vertexCapacity) return;
  if (_vertexCapacity > _maxVertexCapacity / 2) {
    char message[200];
    std::snprintf(message, sizeof message,
                  "Marching Cubes: the vertex buffer cannot grow beyond %d vertices; the volume is too large",
                  _vertexCapacity);
    throw ProcessingError(message);
  }
  const int capacity = _vertexCapacity * 2;
  std::unique_ptr<Vertex[]> grown(new (std::nothrow) Vertex[static_cast<std::size_t>(capacity)]);
  if (!grown) {
    char message[200];
    std::snprintf(message, sizeof message, "Marching Cubes: not enough memory to grow the vertex buffer to %d vertices",
                  capacity);
    throw ProcessingError(message);
  }
  std::memcpy(static_cast<void*>(grown.get()), _vertices.get(),
              static_cast<std::size_t>(_vertexCapacity) * sizeof(Vertex));
  _vertices = std::move(grown);
  _vertexCapacity = capacity;
}

void MarchingCubes33::computeIntersectionPoints() {
  int* const ids[3] = {_xVertexIDs.get(), _yVertexIDs.get(), _zVertexIDs.get()};
  std::size_t index = 0;
  // A volume with a size of 0 has no grid points, however large its other sizes.
  if (_sizeX == 0 || _sizeY == 0 || _sizeZ == 0) return;
  for (int z = 0; z < _sizeZ; ++z) {
    throwIfInterrupted(_interrupter);
    for (int y = 0; y < _sizeY; ++y) {
      for (int x = 0; x < _sizeX; ++x, ++index) {
        float w = value(x, y, z);
        if (w == NoDistance) continue;
        // A neighbour marked "no distance" counts as a large positive value here; every cube
        // around that edge is skipped by the sweep, so such a vertex stays unreferenced.
        float wn[3] = {x < _sizeX - 1 ? value(x + 1, y, z) : w, y < _sizeY - 1 ? value(x, y + 1, z) : w,
                       z < _sizeZ - 1 ? value(x, y, z + 1) : w};
        w = clamped(w);
        for (int d = 0; d < 3; ++d) {
          const float n = clamped(wn[d]);
          if ((w > 0.0f) == (n > 0.0f)) continue;
          reserveVertex();
          const int res = _vertexCount++;
          TS_ASSERT(res != -1);
          const float u = w / (w - n);
          Vertex& v = _vertices[static_cast<std::size_t>(res)];
          v = Vertex{};
          v.pos = V3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
          (d == 0 ? v.pos.x : d == 1 ? v.pos.y : v.pos.z) += u;
          ids[d][index] = res;
        }
      }
    }
    if (_output) _output->setProgress(static_cast<int>(10LL * z / _sizeZ));
  }
}

int MarchingCubes33::getVertexID(int eid) {
  TS_ASSERT(eid < 13);
  TS_ASSERT(eid >= 0);
  int id = -1;
  if (eid < 12) {
    const EdgeSlot& s = EdgeSlots[eid];
    const std::size_t index =
        static_cast<std::size_t>(_i + s.dx) + static_cast<std::size_t>(_j + s.dy) * static_cast<std::size_t>(_sizeX) +
        static_cast<std::size_t>(_k + s.dz) * static_cast<std::size_t>(_sizeX) * static_cast<std::size_t>(_sizeY);
    const int* const ids = s.dir == 0 ? _xVertexIDs.get() : s.dir == 1 ? _yVertexIDs.get() : _zVertexIDs.get();
    id = ids[index];
  }
  if (id == -1) writeLog("Returning -1 for Vertex ID. Edge ID %d, i=%d, j=%d, k=%d", eid, _i, _j, _k);
  return id;
}

int MarchingCubes33::addCenterVertex() {
  reserveVertex();
  V3 sum;
  int count = 0;
  for (int e = 0; e < 12; ++e) {
    const EdgeSlot& s = EdgeSlots[e];
    const std::size_t index =
        static_cast<std::size_t>(_i + s.dx) + static_cast<std::size_t>(_j + s.dy) * static_cast<std::size_t>(_sizeX) +
        static_cast<std::size_t>(_k + s.dz) * static_cast<std::size_t>(_sizeX) * static_cast<std::size_t>(_sizeY);
    const int* const ids = s.dir == 0 ? _xVertexIDs.get() : s.dir == 1 ? _yVertexIDs.get() : _zVertexIDs.get();
    const int id = ids[index];
    if (id == -1) continue;
    const V3& p = _vertices[static_cast<std::size_t>(id)].pos;
    sum.x += p.x;
    sum.y += p.y;
    sum.z += p.z;
    ++count;
  }
  const int id = _vertexCount++;
  Vertex& v = _vertices[static_cast<std::size_t>(id)];
  v = Vertex{};
  if (count > 0)
    v.pos = V3{sum.x / static_cast<float>(count), sum.y / static_cast<float>(count), sum.z / static_cast<float>(count)};
  return id;
}

void MarchingCubes33::addTriangles(const std::int8_t* row, int n, int centre) {
  for (int t = 0; t < 3 * n; t += 3) {
    int ids[3];
    for (int c = 0; c < 3; ++c) {
      const int e = row[t + c];
      ids[c] = e == 12 ? centre : getVertexID(e);
      if (ids[c] == -1)
        Diagnostics::printf("Marching Cubes: invalid triangle %d\n", static_cast<int>(_target->Polygons.size()));
    }
    if (ids[0] != -1 && ids[1] != -1 && ids[2] != -1) _target->addTriangle(ids[0], ids[1], ids[2]);
  }
}

void MarchingCubes33::addPolygons(const std::int8_t* row, int n) {
  // A loop with an edge that has no vertex is dropped whole, like a triangle in addTriangles.
  int loop[12];
  int length = 0;
  bool complete = true;
  auto flush = [&]() {
    if (complete) _target->Polygons.emplace_back(loop, loop + length);
    length = 0;
    complete = true;
  };
  for (int e = 0; e < n; ++e) {
    if (row[e] == -1) {
      flush();
      continue;
    }
    const int id = getVertexID(row[e]);
    if (id == -1)
      complete = false;
    else
      loop[length++] = id;
  }
  flush();
}

bool MarchingCubes33::testFace(std::int8_t f) {
  float P = 0.0f, Q = 0.0f, R = 0.0f, S = 0.0f;
  if (f == 0 || f < -6 || f > 6) {
    Diagnostics::printf("Invalid face code %d\n", f);
  } else {
    const int* corners = FaceCorners[(f < 0 ? -f : f) - 1];
    P = _cube[corners[0]];
    Q = _cube[corners[1]];
    R = _cube[corners[2]];
    S = _cube[corners[3]];
  }
  return static_cast<float>(f) * P * (P * R - Q * S) >= 0.0f;
}

bool MarchingCubes33::testInterior(std::int8_t s) {
  const float* c = _cube;
  float At = 0.0f, Bt = 0.0f, Ct = 0.0f, Dt = 0.0f;
  switch (_case) {
    case 4:
    case 10: {
      const float a = (c[4] - c[0]) * (c[6] - c[2]) - (c[7] - c[3]) * (c[5] - c[1]);
      const float b = c[2] * (c[4] - c[0]) + c[0] * (c[6] - c[2]) - c[1] * (c[7] - c[3]) - c[3] * (c[5] - c[1]);
      const float t = -b / (2.0f * a);
      // Written so that the undefined quotient of a = 0 (NaN) also falls outside [0, 1].
      if (!(t >= 0.0f && t <= 1.0f)) return s > 0;
      At = c[0] + (c[4] - c[0]) * t;
      Bt = c[3] + (c[7] - c[3]) * t;
      Ct = c[2] + (c[6] - c[2]) * t;
      Dt = c[1] + (c[5] - c[1]) * t;
      break;
    }
    case 6:
    case 7:
    case 12:
    case 13: {
      int edge = -1;
      switch (_case) {
        case 6:
          edge = mc33::test6[_config][2];
          break;
        case 7:
          edge = mc33::test7[_config][4];
          break;
        case 12:
          edge = mc33::test12[_config][3];
          break;
        default:
          edge = mc33::tiling13_5_1[_config][_subconfig][0];
          break;
      }
      if (edge < 0 || edge > 11) {
        Diagnostics::printf("Invalid edge %d\n", edge);
        break;
      }
      const ParallelEdges& p = Parallel[edge];
      const float t = c[p.a] / (c[p.a] - c[p.b]);
      At = 0.0f;
      Bt = c[p.b0] + (c[p.b1] - c[p.b0]) * t;
      Ct = c[p.c0] + (c[p.c1] - c[p.c0]) * t;
      Dt = c[p.d0] + (c[p.d1] - c[p.d0]) * t;
      break;
    }
    default:
      Diagnostics::printf("Invalid ambiguous case %d\n", _case);
      break;
  }
  const int test = (At >= 0.0f ? 1 : 0) + (Bt >= 0.0f ? 2 : 0) + (Ct >= 0.0f ? 4 : 0) + (Dt >= 0.0f ? 8 : 0);
  switch (test) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 6:
    case 8:
    case 9:
    case 12:
      return s > 0;
    case 5:
      // Exact comparisons: equality goes to s < 0 here and to s > 0 for test 10.
      return At * Ct < Bt * Dt ? s > 0 : s < 0;
    case 10:
      return At * Ct >= Bt * Dt ? s > 0 : s < 0;
    default:
      return s < 0;
  }
}

void MarchingCubes33::processCube() {
  using namespace mc33;
  _case = static_cast<std::uint8_t>(cases[_lutEntry][0]);
  _config = static_cast<std::uint8_t>(cases[_lutEntry][1]);
  _subconfig = 0;
  const int c = _config;
  int* const stats = _caseStatistics;

  switch (_case) {
    case 0:
      ++stats[S0];
      break;
    case 1:
      ++stats[S1];
      addTriangles(tiling1[c], 1);
      break;
    case 2:
      ++stats[S2];
      addPolygons(polygon2[c], 4);
      break;
    case 3:
      if (testFace(test3[c])) {
        ++stats[S3_2];
        addPolygons(polygon3_2[c], 6);
      } else {
        ++stats[S3_1];
        addTriangles(tiling3_1[c], 2);
      }
      break;
    case 4:
      if (testInterior(test4[c])) {
        ++stats[S4_1];
        addTriangles(tiling4_1[c], 2);
      } else {
        ++stats[S4_2];
        addTriangles(tiling4_2[c], 6);
      }
      break;
    case 5:
      ++stats[S5];
      addPolygons(polygon5[c], 5);
      break;
    case 6:
      if (testFace(test6[c][0])) {
        ++stats[S6_2];
        addTriangles(tiling6_2[c], 5);
      } else if (testInterior(test6[c][1])) {
        ++stats[S6_1_1];
        addPolygons(polygon6_1_1[c], 8);
      } else {
        ++stats[S6_1_2];
        addTriangles(tiling6_1_2[c], 7);
      }
      break;
    case 7:
      // The three face tests in table order, each exactly once.
      if (testFace(test7[c][0])) _subconfig += 1;
      if (testFace(test7[c][1])) _subconfig += 2;
      if (testFace(test7[c][2])) _subconfig += 4;
      switch (_subconfig) {
        case 0:
          ++stats[S7_1];
          addTriangles(tiling7_1[c], 3);
          break;
        case 1:
        case 2:
        case 4:
          ++stats[S7_2];
          addTriangles(tiling7_2[c][_subconfig >> 1], 5);
          break;
        case 3:
        case 5:
        case 6:
          ++stats[S7_3];
          addTriangles(tiling7_3[c][_subconfig == 3 ? 0 : _subconfig == 5 ? 1 : 2], 9, addCenterVertex());
          break;
        default:
          if (testInterior(test7[c][3])) {
            ++stats[S7_4_2];
            addTriangles(tiling7_4_2[c], 9);
          } else {
            ++stats[S7_4_1];
            addTriangles(tiling7_4_1[c], 5);
          }
          break;
      }
      break;
    case 8:
      ++stats[S8];
      addPolygons(polygon8[c], 4);
      break;
    case 9:
      ++stats[S9];
      addPolygons(polygon9[c], 6);
      break;
    case 10: {
      const bool f0 = testFace(test10[c][0]);
      const bool f1 = testFace(test10[c][1]);
      if (f0 && f1) {
        ++stats[S10_1_1];
        addPolygons(polygon10_1_1_[c], 9);
      } else if (f0) {
        ++stats[S10_2];
        addTriangles(tiling10_2[c], 8, addCenterVertex());
      } else if (f1) {
        ++stats[S10_2];
        addTriangles(tiling10_2_[c], 8, addCenterVertex());
      } else if (testInterior(test10[c][2])) {
        ++stats[S10_1_1];
        addPolygons(polygon10_1_1[c], 9);
      } else {
        ++stats[S10_1_2];
        addTriangles(tiling10_1_2[c], 8);
      }
      break;
    }
    case 11:
      ++stats[S11];
      addPolygons(polygon11[c], 6);
      break;
    case 12: {
      const bool f0 = testFace(test12[c][0]);
      const bool f1 = testFace(test12[c][1]);
      if (f0 && f1) {
        ++stats[S12_1_1];
        addPolygons(polygon12_1_1_[c], 9);
      } else if (f0) {
        ++stats[S12_2];
        addTriangles(tiling12_2[c], 8, addCenterVertex());
      } else if (f1) {
        ++stats[S12_2];
        addTriangles(tiling12_2_[c], 8, addCenterVertex());
      } else if (testInterior(test12[c][2])) {
        ++stats[S12_1_1];
        addPolygons(polygon12_1_1[c], 9);
      } else {
        ++stats[S12_1_2];
        addTriangles(tiling12_1_2[c], 8);
      }
      break;
    }
    case 13: {
      for (int f = 0; f < 6; ++f)
        if (testFace(test13[c][f])) _subconfig += static_cast<std::uint8_t>(1 << f);
      const int m = subconfig13[_subconfig];
      if (m == 0) {
        ++stats[S13_1];
        addTriangles(tiling13_1[c], 4);
      } else if (m >= 1 && m <= 6) {
        ++stats[S13_2];
        addTriangles(tiling13_2[c][m - 1], 6);
      } else if (m >= 7 && m <= 18) {
        ++stats[S13_3];
        addTriangles(tiling13_3[c][m - 7], 10, addCenterVertex());
      } else if (m >= 19 && m <= 22) {
        ++stats[S13_4];
        addTriangles(tiling13_4[c][m - 19], 12, addCenterVertex());
      } else if (m >= 23 && m <= 26) {
        // The interior test reads its reference edge through _subconfig.
        _subconfig = static_cast<std::uint8_t>(m - 23);
        if (testInterior(test13[c][6])) {
          ++stats[S13_5_1];
          addTriangles(tiling13_5_1[c][_subconfig], 6);
        } else {
          ++stats[S13_5_2];
          addTriangles(tiling13_5_2[c][_subconfig], 10);
        }
      } else if (m >= 27 && m <= 38) {
        ++stats[S13_3];
        addTriangles(tiling13_3_[c][m - 27], 10, addCenterVertex());
      } else if (m >= 39 && m <= 44) {
        ++stats[S13_2];
        addTriangles(tiling13_2_[c][m - 39], 6);
      } else if (m == 45) {
        ++stats[S13_1];
        addTriangles(tiling13_1_[c], 4);
      } else {
        Diagnostics::printf("Marching Cubes: Impossible case 13?\n");
      }
      break;
    }
    case 14:
      ++stats[S14];
      addPolygons(polygon14[c], 6);
      break;
    default:
      break;
  }
}

void MarchingCubes33::extract() {
  TS_ASSERT(_volume != nullptr);
  TS_ASSERT(_mesh != nullptr);
  TS_ASSERT(_vertices != nullptr);  // initialize() comes first
  if (_output) _output->beginTask("Marching");
  // The sweep fills a mesh of its own; the caller's mesh is replaced only when the whole run
  // succeeds, so a run stopped for lack of memory leaves the previous result in place.
  PolygonStorage built;
  built.setStatusOutput(_mesh->Output);
  _target = &built;
  try {
    computeIntersectionPoints();
    built.setScale(_volume->getScale());
    const float* offset = _volume->getOffset();
    built.setOffset(offset[0], offset[1], offset[2]);

    const bool hasCubes = _sizeX > 1 && _sizeY > 1 && _sizeZ > 1;
    for (_k = 0; hasCubes && _k < _sizeZ - 1; ++_k) {
      throwIfInterrupted(_interrupter);
      for (_j = 0; _j < _sizeY - 1; ++_j) {
        for (_i = 0; _i < _sizeX - 1; ++_i) {
          _lutEntry = 0;
          bool skip = false;
          for (int p = 0; p < 8; ++p) {
            const int dx = ((p >> 1) ^ p) & 1, dy = (p >> 1) & 1, dz = (p >> 2) & 1;
            const float v = value(_i + dx, _j + dy, _k + dz);
            if (v == NoDistance) {
              skip = true;
              break;
            }
            _cube[p] = clamped(v);
            if (_cube[p] > 0.0f) _lutEntry = static_cast<std::uint8_t>(_lutEntry | (1u << p));
          }
          if (!skip) processCube();
        }
      }
      if (_output) _output->setProgress(static_cast<int>(80LL * _k / _sizeZ + 10));
    }

    writeLog("Flip candidates: %d", 0);
    writeLog("Edges flipped  : %d", 0);

    built.Vertices.reserve(static_cast<std::size_t>(_vertexCount));
    for (int v = 0; v < _vertexCount; ++v) built.addVertex(_vertices[static_cast<std::size_t>(v)]);

    if (_output) _output->setProgress(91);
    built.buildIndex();
    if (_output) _output->setProgress(93);
    // Emptied polygons have left VIndex; the edge index must forget them too.
    if (built.computeMidpoints() != 0) built.buildEdgeIndex();
    if (_output) _output->setProgress(97);
    built.computeVertexNormals();
    if (_output) _output->setProgress(98);
    if (_output) _output->setProgress(100);
  } catch (const std::bad_alloc&) {
    _target = nullptr;
    if (_output) _output->endTask();
    throw ProcessingError("Marching Cubes: not enough memory for the extracted mesh");
  } catch (...) {
    _target = nullptr;
    if (_output) _output->endTask();
    throw;
  }
  _target = nullptr;
  // The extraction does not touch the bounding box.
  built.BBoxMin = _mesh->BBoxMin;
  built.BBoxMax = _mesh->BBoxMax;
  _mesh->swapContents(built);

  writeLog("Detailed cases statistics");
  for (int s = 0; s < SubcaseCount; ++s) writeLog("  %7d cases %s", _caseStatistics[s], SubcaseNames[s]);
  if (_output) _output->endTask();
}

}  // namespace tessellor
