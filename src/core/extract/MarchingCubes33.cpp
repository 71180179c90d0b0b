#include "extract/MarchingCubes33.h"

#include "base/Assert.h"
#include "base/Diagnostics.h"
#include "base/Parallel.h"
#include "base/StatusOutput.h"
#include "base/TessellorError.h"
#include "volume/GenericVolumeStorage.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace tessellor {

namespace {

// Values this close to 0 become this positive value, so no corner is exactly on the surface.
constexpr float Epsilon = 1.1920929e-07f;

float clamped(float v) { return std::fabs(v) < Epsilon ? Epsilon : v; }

// For each cube edge: offset of the grid point at its lower end, and its direction (0 x, 1 y, 2 z).
struct EdgeSlot {
  int dx, dy, dz, dir;
};
constexpr EdgeSlot EdgeSlots[12] = {{0, 0, 0, 0}, {1, 0, 0, 1}, {0, 1, 0, 0}, {0, 0, 0, 1}, {0, 0, 1, 0}, {1, 0, 1, 1},
                                    {0, 1, 1, 0}, {0, 0, 1, 1}, {0, 0, 0, 2}, {1, 0, 0, 2}, {1, 1, 0, 2}, {0, 1, 0, 2}};

constexpr int FirstVertexCapacity = 65536;

// Pieces a pass over n layers is cut into: a few per thread, so that the threads stay busy and
// progress is reported as the pieces are merged. The cut does not change any result.
std::vector<std::pair<int, int>> pieces(int n) {
  const int count = std::min(n, 8 * effectiveThreadCount());
  std::vector<std::pair<int, int>> ranges;
  for (int p = 0; p < count; ++p)
    ranges.emplace_back(static_cast<int>(static_cast<long long>(n) * p / count),
                        static_cast<int>(static_cast<long long>(n) * (p + 1) / count));
  return ranges;
}

// Per grid point: bit 0 set when it has a value, bit 1 when its clamped value is positive (the
// "no distance" mark, a large positive value, counts as positive).
constexpr std::uint8_t HasValue = 1;
constexpr std::uint8_t Positive = 2;

// Whether the eight values from v are all the "no distance" mark.
bool withoutValues(const float* v) {
  bool none = true;
  for (int i = 0; i < 8; ++i) none &= v[i] == NoValue;
  return none;
}

// One layer of grid points: the distances and their codes, x fastest, and per row the range of x
// that can hold values.
struct DistanceLayer {
  std::vector<float> Values;
  std::vector<std::uint8_t> Codes;
  std::vector<int> Begin;
  std::vector<int> End;
  int SizeX = 0;

  void read(const GenericVolumeStorage& volume, int z) {
    SizeX = volume.getXSize();
    const int ny = volume.getYSize();
    const std::size_t n = static_cast<std::size_t>(SizeX) * static_cast<std::size_t>(ny);
    Values.resize(n);
    Codes.resize(n);
    Begin.resize(static_cast<std::size_t>(ny));
    End.resize(static_cast<std::size_t>(ny));
    volume.getDistanceLayer(z, Values.data(), Begin.data(), End.data());
    // Outside its row's bounds a point has no value: the "no distance" mark, positive.
    std::memset(Codes.data(), Positive, n);
    for (int y = 0; y < ny; ++y) {
      const std::size_t first = static_cast<std::size_t>(y) * static_cast<std::size_t>(SizeX);
      const float* v = Values.data() + first;
      std::uint8_t* c = Codes.data() + first;
      const int end = End[static_cast<std::size_t>(y)];
      for (int x = Begin[static_cast<std::size_t>(y)]; x < end;) {
        // Eight points without a value in a row (an unallocated block) keep the code set above.
        if (x + 8 <= end && withoutValues(v + x)) {
          x += 8;
          continue;
        }
        const bool has = v[x] != NoValue;
        const bool positive = (std::fabs(v[x]) < Epsilon) | (v[x] > 0.0f);
        c[x] = static_cast<std::uint8_t>(static_cast<int>(has) * HasValue | static_cast<int>(positive) * Positive);
        ++x;
      }
    }
  }
  const float* row(int y) const {
    return Values.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(SizeX);
  }
  const std::uint8_t* codes(int y) const {
    return Codes.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(SizeX);
  }
};

// Eight codes from p as one word.
std::uint64_t codeWord(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}
constexpr std::uint64_t EachByte = 0x0101010101010101ull;

// True when grid points x .. x + 7 of row y of a layer and all their forward neighbours have one
// and the same code, so that none of them has a cut edge. x + 8 must lie inside the row.
bool uniformRun(const DistanceLayer& layer, const DistanceLayer* next, int x, int y, int ny) {
  const std::uint8_t* codes = layer.codes(y);
  const std::uint64_t a = codeWord(codes + x);
  if (a != codes[x] * EachByte || codeWord(codes + x + 1) != a) return false;
  if (y < ny - 1 && codeWord(layer.codes(y + 1) + x) != a) return false;
  return !next || codeWord(next->codes(y) + x) == a;
}

// The edge vertices of grid point (x, y) of layer z, which has a value, in the order x, y, z:
// calls vertex(direction, neighbour value) for each of its three forward edges whose end values
// change sign, and none(direction) for the others. next is layer z + 1 (null for the last
// layer); at the border of the grid the neighbour is the point itself. A neighbour marked "no
// distance" counts as a large positive value; every cube around such an edge is skipped by the
// sweep, so its vertex stays unreferenced.
template <class Cut, class Uncut>
void pointEdges(const DistanceLayer& layer, const DistanceLayer* next, int x, int y, int ny, Cut vertex, Uncut none) {
  const std::size_t at = static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * layer.SizeX;
  const std::size_t up = at + static_cast<std::size_t>(layer.SizeX);
  const std::uint8_t c = layer.Codes[at];
  const std::uint8_t cn[3] = {x < layer.SizeX - 1 ? layer.Codes[at + 1] : c, y < ny - 1 ? layer.Codes[up] : c,
                              next ? next->Codes[at] : c};
  for (int d = 0; d < 3; ++d) {
    if (((c ^ cn[d]) & Positive) == 0) {
      none(d);
      continue;
    }
    vertex(d, d == 0 ? layer.Values[at + 1] : d == 1 ? layer.Values[up] : next->Values[at]);
  }
}

// First pass over layers [z0, z1): the vertex of every cut grid edge, in grid order (z, y, x,
// then direction), and the number of vertices per layer.
struct VertexPiece {
  std::vector<Vertex> Vertices;
  std::vector<int> LayerCounts;
};

void edgeVertices(const GenericVolumeStorage& volume, int z0, int z1, VertexPiece& out, NullInterrupter* interrupter) {
  const int ny = volume.getYSize(), nz = volume.getZSize();
  DistanceLayer layer, next;
  layer.read(volume, z0);
  for (int z = z0; z < z1; ++z) {
    throwIfInterrupted(interrupter);
    const bool last = z + 1 >= nz;
    if (!last) next.read(volume, z + 1);
    const std::size_t before = out.Vertices.size();
    for (int y = 0; y < ny; ++y) {
      const float* row = layer.row(y);
      const std::uint8_t* codes = layer.codes(y);
      const int end = layer.End[static_cast<std::size_t>(y)];
      for (int x = layer.Begin[static_cast<std::size_t>(y)]; x < end; ++x) {
        // Inside and outside the surface, whole runs of points have no cut edge.
        while (x + 8 < layer.SizeX && x < end && uniformRun(layer, last ? nullptr : &next, x, y, ny)) x += 8;
        if (x >= end) break;
        if (!(codes[x] & HasValue)) continue;
        const float w = clamped(row[x]);
        pointEdges(
            layer, last ? nullptr : &next, x, y, ny,
            [&](int d, float neighbour) {
              const float u = w / (w - clamped(neighbour));
              Vertex v;
              v.pos = V3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
              (d == 0 ? v.pos.x : d == 1 ? v.pos.y : v.pos.z) += u;
              out.Vertices.push_back(v);
            },
            [](int) {});
      }
    }
    out.LayerCounts.push_back(static_cast<int>(out.Vertices.size() - before));
    std::swap(layer, next);
  }
}

// Second pass over slabs [k0, k1) (slab k: the cubes between layers k and k + 1). Keeps the
// distances of three layers and the edge vertex ids of two; emits into its own polygon list.
// Interior vertices get provisional ids -2, -3, ... (in creation order) until the merge knows
// how many came before them; everything that the run reports goes into Events, to be reported
// in grid order by the merge.
class SlabSweep : public MarchingCubes33Cube {
 public:
  enum class EventKind { Log, Diagnostic, InvalidTriangle };
  struct Event {
    int Slab;
    EventKind Kind;
    int Value;  // InvalidTriangle: polygons of this piece so far
    std::string Text;
  };

  SlabSweep(const GenericVolumeStorage& volume, const std::vector<int>& layerFirstId, const Vertex* edgeVertices)
      : Volume(volume),
        SizeX(volume.getXSize()),
        SizeY(volume.getYSize()),
        SizeZ(volume.getZSize()),
        LayerFirstId(layerFirstId),
        EdgeVertices(edgeVertices) {}

  void run(int k0, int k1);

  std::vector<VertexIDList> Polygons;
  std::vector<int> PolygonsWithCentre;
  std::vector<Vertex> Centres;
  std::vector<Event> Events;
  NullInterrupter* Interrupter = nullptr;  // polled once per slab

 protected:
  void diagnostic(const char* text) override { Events.push_back({_k, EventKind::Diagnostic, 0, text}); }

 private:
  void layerIds(const DistanceLayer& layer, const DistanceLayer* next, int z, std::vector<int>& ids) const;
  void sweepSlab();
  int slotId(int e) const {
    const EdgeSlot& s = EdgeSlots[e];
    const std::vector<int>& ids = s.dz ? Ids[1] : Ids[0];
    return ids[(static_cast<std::size_t>(_i + s.dx) +
                static_cast<std::size_t>(_j + s.dy) * static_cast<std::size_t>(SizeX)) *
                   3 +
               static_cast<std::size_t>(s.dir)];
  }
  int getVertexID(int eid);
  int addCenterVertex();
  void addTriangles(const std::int8_t* row, int n, int centre);
  void addPolygons(const std::int8_t* row, int n);

  const GenericVolumeStorage& Volume;
  const int SizeX, SizeY, SizeZ;
  const std::vector<int>& LayerFirstId;
  const Vertex* const EdgeVertices;
  DistanceLayer Layers[3];  // layers k, k + 1, k + 2
  std::vector<int> Ids[2];  // layers k, k + 1: per grid point the ids of its x-, y- and z-edge
};

void SlabSweep::layerIds(const DistanceLayer& layer, const DistanceLayer* next, int z, std::vector<int>& ids) const {
  ids.resize(static_cast<std::size_t>(SizeX) * static_cast<std::size_t>(SizeY) * 3);
  // The same points, edges and tests in the same order as the first pass, so the ids count up
  // exactly as that pass created the vertices. Only the rows' value ranges are written: the
  // sweep looks ids up at corners of cubes whose corners all carry values.
  int id = LayerFirstId[static_cast<std::size_t>(z)];
  for (int y = 0; y < SizeY; ++y) {
    const std::uint8_t* codes = layer.codes(y);
    const int end = layer.End[static_cast<std::size_t>(y)];
    for (int x = layer.Begin[static_cast<std::size_t>(y)]; x < end; ++x) {
      int* slot = ids.data() + (static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * SizeX) * 3;
      while (x + 8 < SizeX && x < end && uniformRun(layer, next, x, y, SizeY)) {
        std::fill(slot, slot + 24, -1);
        x += 8;
        slot += 24;
      }
      if (x >= end) break;
      if (!(codes[x] & HasValue)) {
        slot[0] = slot[1] = slot[2] = -1;
        continue;
      }
      pointEdges(
          layer, next, x, y, SizeY, [&](int d, float) { slot[d] = id++; }, [&](int d) { slot[d] = -1; });
    }
  }
  TS_ASSERT(id == LayerFirstId[static_cast<std::size_t>(z) + 1]);
}

void SlabSweep::run(int k0, int k1) {
  Layers[0].read(Volume, k0);
  Layers[1].read(Volume, k0 + 1);
  if (k0 + 2 < SizeZ) Layers[2].read(Volume, k0 + 2);
  layerIds(Layers[0], &Layers[1], k0, Ids[0]);
  layerIds(Layers[1], k0 + 2 < SizeZ ? &Layers[2] : nullptr, k0 + 1, Ids[1]);
  for (_k = k0; _k < k1; ++_k) {
    throwIfInterrupted(Interrupter);
    sweepSlab();
    if (_k + 1 == k1) break;
    // Slide up one layer: k + 1 becomes the lower layer, k + 2 the upper, k + 3 is read.
    std::swap(Layers[0], Layers[1]);
    std::swap(Layers[1], Layers[2]);
    std::swap(Ids[0], Ids[1]);
    const bool above = _k + 3 < SizeZ;
    if (above) Layers[2].read(Volume, _k + 3);
    layerIds(Layers[1], above ? &Layers[2] : nullptr, _k + 2, Ids[1]);
  }
}

void SlabSweep::sweepSlab() {
  const DistanceLayer& lower = Layers[0];
  const DistanceLayer& upper = Layers[1];
  for (_j = 0; _j < SizeY - 1; ++_j) {
    const std::size_t j0 = static_cast<std::size_t>(_j), j1 = j0 + 1;
    // Only cubes whose four corner rows all hold values there can have all corners set.
    const int begin = std::max(std::max(lower.Begin[j0], lower.Begin[j1]), std::max(upper.Begin[j0], upper.Begin[j1]));
    const int end = std::min(std::min(lower.End[j0], lower.End[j1]), std::min(upper.End[j0], upper.End[j1]));
    const float* a0 = lower.row(_j);
    const float* a1 = lower.row(_j + 1);
    const float* b0 = upper.row(_j);
    const float* b1 = upper.row(_j + 1);
    const std::uint8_t* ca0 = lower.codes(_j);
    const std::uint8_t* ca1 = lower.codes(_j + 1);
    const std::uint8_t* cb0 = upper.codes(_j);
    const std::uint8_t* cb1 = upper.codes(_j + 1);
    int empty = 0;
    for (int i = begin; i < end - 1; ++i) {
      // Eight cubes at a time where all their corners have one code: inside or outside the
      // surface (case 0), or all without a distance (left out).
      while (i + 8 < end) {
        const std::uint64_t a = codeWord(ca0 + i);
        if (a != ca0[i] * EachByte || codeWord(ca0 + i + 1) != a || codeWord(ca1 + i) != a ||
            codeWord(ca1 + i + 1) != a || codeWord(cb0 + i) != a || codeWord(cb0 + i + 1) != a ||
            codeWord(cb1 + i) != a || codeWord(cb1 + i + 1) != a)
          break;
        if (a & HasValue) empty += 8;
        i += 8;
      }
      if (i >= end - 1) break;
      const std::uint8_t c[8] = {ca0[i], ca0[i + 1], ca1[i + 1], ca1[i], cb0[i], cb0[i + 1], cb1[i + 1], cb1[i]};
      // A corner without a distance leaves the cube out: no surface, no count.
      if (!(c[0] & c[1] & c[2] & c[3] & c[4] & c[5] & c[6] & c[7] & HasValue)) continue;
      unsigned lut = 0;
      for (int p = 0; p < 8; ++p) lut |= static_cast<unsigned>(c[p] >> 1) << p;
      if (lut == 0 || lut == 255) {
        ++empty;  // case 0, which emits nothing
        continue;
      }
      _i = i;
      _lutEntry = static_cast<std::uint8_t>(lut);
      const float v[8] = {a0[i], a0[i + 1], a1[i + 1], a1[i], b0[i], b0[i + 1], b1[i + 1], b1[i]};
      for (int p = 0; p < 8; ++p) _cube[p] = clamped(v[p]);
      const Tiling tiling = processCube();
      if (!tiling.Row) continue;
      if (tiling.Polygons)
        addPolygons(tiling.Row, tiling.Count);
      else
        addTriangles(tiling.Row, tiling.Count, tiling.Centre ? addCenterVertex() : -1);
    }
    _caseStatistics[0] += empty;
  }
}

int SlabSweep::getVertexID(int eid) {
  TS_ASSERT(eid < 13);
  TS_ASSERT(eid >= 0);
  const int id = eid < 12 ? slotId(eid) : -1;
  if (id == -1) {
    char text[1000];
    std::snprintf(text, sizeof text, "Returning -1 for Vertex ID. Edge ID %d, i=%d, j=%d, k=%d", eid, _i, _j, _k);
    Events.push_back({_k, EventKind::Log, 0, text});
  }
  return id;
}

int SlabSweep::addCenterVertex() {
  // The mean of the vertices on the cube's edges, in edge order.
  V3 sum;
  int count = 0;
  for (int e = 0; e < 12; ++e) {
    const int id = slotId(e);
    if (id == -1) continue;
    const V3& p = EdgeVertices[static_cast<std::size_t>(id)].pos;
    sum.x += p.x;
    sum.y += p.y;
    sum.z += p.z;
    ++count;
  }
  Vertex v;
  if (count > 0)
    v.pos = V3{sum.x / static_cast<float>(count), sum.y / static_cast<float>(count), sum.z / static_cast<float>(count)};
  Centres.push_back(v);
  return -static_cast<int>(Centres.size()) - 1;
}

void SlabSweep::addTriangles(const std::int8_t* row, int n, int centre) {
  for (int t = 0; t < 3 * n; t += 3) {
    int ids[3];
    for (int c = 0; c < 3; ++c) {
      const int e = row[t + c];
      ids[c] = e == 12 ? centre : getVertexID(e);
      if (ids[c] == -1) Events.push_back({_k, EventKind::InvalidTriangle, static_cast<int>(Polygons.size()), {}});
    }
    if (ids[0] == -1 || ids[1] == -1 || ids[2] == -1) continue;
    // A triangle with two equal ids is refused, as PolygonStorage::addTriangle does.
    if (ids[0] == ids[1] || ids[1] == ids[2] || ids[0] == ids[2]) continue;
    if (ids[0] < -1 || ids[1] < -1 || ids[2] < -1) PolygonsWithCentre.push_back(static_cast<int>(Polygons.size()));
    Polygons.push_back(VertexIDList{ids[0], ids[1], ids[2]});
  }
}

void SlabSweep::addPolygons(const std::int8_t* row, int n) {
  // A loop with an edge that has no vertex is dropped whole, like a triangle in addTriangles.
  int loop[12];
  int length = 0;
  bool complete = true;
  auto flush = [&]() {
    if (complete) Polygons.emplace_back(loop, loop + length);
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

}  // namespace

MarchingCubes33::MarchingCubes33(int sizeX, int sizeY, int sizeZ) : _sizeX(sizeX), _sizeY(sizeY), _sizeZ(sizeZ) {}

MarchingCubes33::~MarchingCubes33() { release(); }

void MarchingCubes33::release() {
  _vertexCount = 0;
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
  if (!indexable) {
    std::snprintf(message, sizeof message,
                  "Marching Cubes: volume of %lld x %lld x %lld grid points is too large to extract", nx, ny, nz);
    throw ProcessingError(message);
  }
  _sizeX = static_cast<int>(nx);
  _sizeY = static_cast<int>(ny);
  _sizeZ = static_cast<int>(nz);
  std::fill(_caseStatistics, _caseStatistics + SubcaseCount, 0);
  _vertexCount = 0;
}

void MarchingCubes33::writeLog(const char* format, ...) {
  char buffer[1000];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (_output) _output->writeLine(buffer);
}

void MarchingCubes33::checkVertexLimit(long long count) const {
  // The buffer starts at 65536 records and doubles while it is at most half the limit.
  long long capacity = FirstVertexCapacity;
  while (capacity < count && capacity <= _maxVertexCapacity / 2) capacity *= 2;
  if (count <= capacity) return;
  char message[200];
  std::snprintf(message, sizeof message,
                "Marching Cubes: the vertex buffer cannot grow beyond %lld vertices; the volume is too large",
                capacity);
  throw ProcessingError(message);
}

void MarchingCubes33::extract() {
  TS_ASSERT(_volume != nullptr);
  TS_ASSERT(_mesh != nullptr);
  TS_ASSERT(_sizeX >= 0);  // initialize() comes first
  TS_ASSERT(_volume->getXSize() == _sizeX && _volume->getYSize() == _sizeY && _volume->getZSize() == _sizeZ);
  if (_output) _output->beginTask("Marching");
  // The sweep fills a mesh of its own; the caller's mesh is replaced only when the whole run
  // succeeds, so a run stopped for lack of memory leaves the previous result in place.
  PolygonStorage built;
  built.setStatusOutput(_mesh->Output);
  try {
    const GenericVolumeStorage& volume = *_volume;
    // A volume with a size of 0 has no grid points, however large its other sizes.
    const bool hasPoints = _sizeX > 0 && _sizeY > 0 && _sizeZ > 0;

    // First pass: the edge vertices, piece by piece in grid order; layerFirstId[z] is the id of
    // the first vertex of layer z.
    // Sized only for a grid with points: a size of 0 may come with huge other sizes.
    std::vector<int> layerFirstId(hasPoints ? static_cast<std::size_t>(_sizeZ) + 1 : 1, 0);
    if (hasPoints) {
      const std::vector<std::pair<int, int>> ranges = pieces(_sizeZ);
      std::vector<VertexPiece> results(ranges.size());
      forEachInOrder(
          static_cast<int>(ranges.size()),
          [&](int p) { edgeVertices(volume, ranges[p].first, ranges[p].second, results[p], _interrupter); },
          [&](int p) {
            VertexPiece& piece = results[static_cast<std::size_t>(p)];
            checkVertexLimit(static_cast<long long>(built.Vertices.size()) + piece.Vertices.size());
            for (int z = ranges[p].first; z < ranges[p].second; ++z) {
              layerFirstId[static_cast<std::size_t>(z) + 1] =
                  layerFirstId[static_cast<std::size_t>(z)] +
                  piece.LayerCounts[static_cast<std::size_t>(z - ranges[p].first)];
              if (_output) _output->setProgress(static_cast<int>(10LL * z / _sizeZ));
            }
            if (built.Vertices.empty())
              built.Vertices.swap(piece.Vertices);
            else
              built.Vertices.insert(built.Vertices.end(), piece.Vertices.begin(), piece.Vertices.end());
            piece = VertexPiece();
          });
    }
    const int edgeVertexCount = static_cast<int>(built.Vertices.size());

    built.setScale(volume.getScale());
    const float* offset = volume.getOffset();
    built.setOffset(offset[0], offset[1], offset[2]);

    // Second pass: the cubes, slab range by slab range, merged in grid order.
    std::vector<std::vector<Vertex>> centres;
    long long centreCount = 0;
    if (_sizeX > 1 && _sizeY > 1 && _sizeZ > 1) {
      const std::vector<std::pair<int, int>> ranges = pieces(_sizeZ - 1);
      std::vector<std::unique_ptr<SlabSweep>> sweeps(ranges.size());
      forEachInOrder(
          static_cast<int>(ranges.size()),
          [&](int p) {
            auto sweep = std::make_unique<SlabSweep>(volume, layerFirstId, built.Vertices.data());
            sweep->Interrupter = _interrupter;
            sweep->run(ranges[p].first, ranges[p].second);
            sweeps[static_cast<std::size_t>(p)] = std::move(sweep);
          },
          [&](int p) {
            SlabSweep& sweep = *sweeps[static_cast<std::size_t>(p)];
            const int polygonBase = static_cast<int>(built.Polygons.size());
            std::size_t event = 0;
            for (int k = ranges[p].first; k < ranges[p].second; ++k) {
              for (; event < sweep.Events.size() && sweep.Events[event].Slab == k; ++event) {
                const SlabSweep::Event& e = sweep.Events[event];
                if (e.Kind == SlabSweep::EventKind::Log)
                  writeLog("%s", e.Text.c_str());
                else if (e.Kind == SlabSweep::EventKind::Diagnostic)
                  Diagnostics::write(e.Text.c_str());
                else
                  Diagnostics::printf("Marching Cubes: invalid triangle %d\n", polygonBase + e.Value);
              }
              if (_output) _output->setProgress(static_cast<int>(80LL * k / _sizeZ + 10));
            }
            // Interior vertices follow all edge vertices, in sweep order.
            const long long centreBase = edgeVertexCount + centreCount;
            centreCount += static_cast<long long>(sweep.Centres.size());
            checkVertexLimit(edgeVertexCount + centreCount);
            for (int polygon : sweep.PolygonsWithCentre)
              for (int& id : sweep.Polygons[static_cast<std::size_t>(polygon)])
                if (id < -1) id = static_cast<int>(centreBase + (-id - 2));
            built.Polygons.insert(built.Polygons.end(), std::make_move_iterator(sweep.Polygons.begin()),
                                  std::make_move_iterator(sweep.Polygons.end()));
            for (int s = 0; s < SubcaseCount; ++s) _caseStatistics[s] += sweep.caseStatistics(s);
            centres.push_back(std::move(sweep.Centres));
            sweeps[static_cast<std::size_t>(p)].reset();
          });
    }

    writeLog("Flip candidates: %d", 0);
    writeLog("Edges flipped  : %d", 0);

    built.Vertices.reserve(static_cast<std::size_t>(edgeVertexCount + centreCount));
    for (const std::vector<Vertex>& piece : centres)
      built.Vertices.insert(built.Vertices.end(), piece.begin(), piece.end());
    centres.clear();
    _vertexCount = static_cast<int>(built.Vertices.size());

    if (_output) _output->setProgress(91);
    built.buildIndex();
    if (_output) _output->setProgress(93);
    // Emptied polygons have left VIndex; the edge index must forget them too.
    if (built.computeMidpoints(_vertexNormals) != 0) built.buildEdgeIndex();
    if (_output) _output->setProgress(97);
    if (_vertexNormals) built.computeVertexNormals();
    if (_output) _output->setProgress(98);
    if (_output) _output->setProgress(100);
  } catch (const std::bad_alloc&) {
    if (_output) _output->endTask();
    throw ProcessingError("Marching Cubes: not enough memory for the extracted mesh");
  } catch (...) {
    if (_output) _output->endTask();
    throw;
  }
  // The extraction does not touch the bounding box.
  built.BBoxMin = _mesh->BBoxMin;
  built.BBoxMax = _mesh->BBoxMax;
  _mesh->swapContents(built);

  writeLog("Detailed cases statistics");
  for (int s = 0; s < SubcaseCount; ++s) writeLog("  %7d cases %s", _caseStatistics[s], SubcaseNames[s]);
  if (_output) _output->endTask();
}

}  // namespace tessellor
