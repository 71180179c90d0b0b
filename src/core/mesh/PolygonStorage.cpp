#include "mesh/PolygonStorage.h"

#include "base/Assert.h"
#include "base/BucketSort.h"
#include "base/Parallel.h"
#include "base/UninitializedVector.h"
#include "base/StatusOutput.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

namespace tessellor {

namespace {

inline V3 sub(const V3& a, const V3& b) { return V3{a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 add(const V3& a, const V3& b) { return V3{a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 mul(const V3& a, float f) { return V3{a.x * f, a.y * f, a.z * f}; }
inline float dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(const V3& a, const V3& b) {
  return V3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Unit length when the vector has any length; a zero vector stays zero.
inline V3 normalizedOrZero(const V3& v) {
  const float sq = dot(v, v);
  if (sq > 0.0f) return mul(v, 1.0f / std::sqrt(sq));
  return v;
}

}  // namespace

PolygonStorage::PolygonStorage() = default;

void PolygonStorage::clear() {
  Polygons.clear();
  Vertices.clear();
  VIndex.clear();
  Midpoints.clear();
  Scale = 1.0f;
  Offset = V3{};
}

int PolygonStorage::addVertex(const Vertex& vertex) {
  Vertices.push_back(vertex);
  return static_cast<int>(Vertices.size()) - 1;
}

int PolygonStorage::addTriangle(int a, int b, int c) {
  if (a == b || b == c || a == c) return -1;
  Polygons.push_back(VertexIDList{a, b, c});
  return static_cast<int>(Polygons.size()) - 1;
}

void PolygonStorage::swapContents(PolygonStorage& other) {
  Polygons.swap(other.Polygons);
  Vertices.swap(other.Vertices);
  VIndex.swap(other.VIndex);
  Midpoints.swap(other.Midpoints);
  EdgeIndex.swap(other.EdgeIndex);
  std::swap(BBoxMax, other.BBoxMax);
  std::swap(BBoxMin, other.BBoxMin);
  std::swap(Msg, other.Msg);
  std::swap(Scale, other.Scale);
  std::swap(Offset, other.Offset);
}

void PolygonStorage::copyContents(const PolygonStorage& other) {
  if (&other == this) return;
  Polygons = other.Polygons;
  Vertices = other.Vertices;
  VIndex = other.VIndex;
  Midpoints = other.Midpoints;
  EdgeIndex = other.EdgeIndex;
  BBoxMax = other.BBoxMax;
  BBoxMin = other.BBoxMin;
  std::copy(std::begin(other.Msg), std::end(other.Msg), std::begin(Msg));
  Scale = other.Scale;
  Offset = other.Offset;
}

void PolygonStorage::releaseIndices() {
  std::vector<VertexIDSet>().swap(VIndex);
  EdgeIndexTable().swap(EdgeIndex);
  std::vector<Vertex>().swap(Midpoints);
}

// ---------------------------------------------------------------- index maintenance

void PolygonStorage::buildIndex() {
  VIndex.clear();
  VIndex.resize(Vertices.size());
  // Each vertex's polygons handed to its set, in parallel.
  const int vertexCount = static_cast<int>(Vertices.size());
  std::vector<int> start, polygonsOf;
  polygonsOfVertices(Polygons, vertexCount, start, polygonsOf);
  forEachRange(vertexCount, 4096, [&](int begin, int end) {
    for (int v = begin; v < end; ++v)
      for (int k = start[v]; k < start[v + 1]; ++k) VIndex[v].insert(VIndex[v].end(), polygonsOf[k]);
  });
  buildEdgeIndex();
}

void PolygonStorage::polygonsOfVertices(const std::vector<VertexIDList>& polygons, int vertexCount,
                                        std::vector<int>& start, std::vector<int>& ids) {
  // Counted and filed from ranges of polygons at once, then each vertex's few sorted.
  const std::vector<std::pair<int, int>> ranges = splitRange(static_cast<int>(polygons.size()), 4096);
  fileInBuckets<int>(
      static_cast<int>(ranges.size()), vertexCount,
      [&](int r, auto put) {
        for (int p = ranges[r].first; p < ranges[r].second; ++p)
          for (int v : polygons[static_cast<std::size_t>(p)]) {
            TS_ASSERT(v >= 0 && v < vertexCount);
            put(v, p);
          }
      },
      start, ids);
  forEachRange(vertexCount, 4096, [&](int begin, int end) {
    for (int v = begin; v < end; ++v) std::sort(ids.data() + start[v], ids.data() + start[v + 1]);
  });
}

void PolygonStorage::addPolygonToIndex(int p) {
  for (int v : Polygons[p]) {
    TS_ASSERT(v >= 0 && v < static_cast<int>(VIndex.size()));
    // Polygons come in ascending order when the index is built: the hint makes that constant time.
    VIndex[v].insert(VIndex[v].end(), p);
  }
}

void PolygonStorage::removePolygonFromIndex(int p) {
  for (int v : Polygons[p]) {
    TS_ASSERT(v >= 0 && v < static_cast<int>(VIndex.size()));
    VIndex[v].erase(p);
  }
}

void PolygonStorage::buildEdgeIndex() {
  if (Output) Output->writeLine("PolygonStorage::buildEdgeIndex");
  EdgeIndex.build(Polygons, static_cast<int>(Vertices.size()));
}

void PolygonStorage::insertEdge(int p, int a, int b) { EdgeIndex.insert(p, a, b); }

const EdgeEntryData* PolygonStorage::findEdge(const EdgeEntryKey& key) const { return EdgeIndex.find(key); }

EdgeEntryKey PolygonStorage::makeEdgeKey(int a, int b) { return a < b ? EdgeEntryKey{a, b} : EdgeEntryKey{b, a}; }

int PolygonStorage::otherPolygon(int p, const EdgeEntryKey& key) const {
  const EdgeEntryData* data = findEdge(key);
  if (!data) return -1;
  if (data->First == p && data->Second == p) TS_ASSERT(false);
  if (data->First == p) return data->Second;
  return data->First;
}

// ---------------------------------------------------------------- geometry

void PolygonStorage::computeBoundingBox() {
  if (Vertices.empty()) {
    // Nothing to measure: a defined, empty box instead of reading a vertex that does not exist.
    BBoxMin = V3{};
    BBoxMax = V3{};
    return;
  }
  BBoxMin = Vertices[0].pos;
  BBoxMax = Vertices[0].pos;
  for (const Vertex& vertex : Vertices) {
    const V3& q = vertex.pos;
    if (q.x < BBoxMin.x) BBoxMin.x = q.x;
    if (q.y < BBoxMin.y) BBoxMin.y = q.y;
    if (q.z < BBoxMin.z) BBoxMin.z = q.z;
    if (q.x > BBoxMax.x) BBoxMax.x = q.x;
    if (q.y > BBoxMax.y) BBoxMax.y = q.y;
    if (q.z > BBoxMax.z) BBoxMax.z = q.z;
  }
}

void PolygonStorage::computeMidpoint(int p, bool withNormal) {
  VertexIDList& poly = Polygons[p];
  const int n = static_cast<int>(poly.size());
  if (n < 3) {
    // A degenerate polygon becomes deleted; it must not stay listed in the vertex index, or
    // normals and the integrity check would read it later. Its Midpoints record is left alone.
    const int indexSize = static_cast<int>(VIndex.size());
    for (int v : poly)
      if (v >= 0 && v < indexSize) VIndex[v].erase(p);
    poly.clear();
    return;
  }
  if (static_cast<int>(Midpoints.size()) <= p) Midpoints.resize(static_cast<std::size_t>(p) + 1);

  V3 normal;
  V3 position;
  if (n == 3) {
    const V3& a = Vertices[poly[0]].pos;
    const V3& b = Vertices[poly[1]].pos;
    const V3& c = Vertices[poly[2]].pos;
    if (withNormal) normal = normalizedOrZero(cross(sub(b, a), sub(c, b)));
    // The float constant, not a division by 3: results are compared bit for bit.
    position = mul(add(add(a, b), c), 0.33333334f);
  } else {
    V3 normalSum;
    V3 positionSum;
    for (int i = 0; i < n; ++i) {
      const V3& a = Vertices[poly[i]].pos;
      const V3& b = Vertices[poly[(i + 1) % n]].pos;
      const V3& c = Vertices[poly[(i + 2) % n]].pos;
      if (withNormal) normalSum = add(normalSum, normalizedOrZero(cross(sub(b, a), sub(c, b))));
      positionSum = add(positionSum, a);
    }
    const float inv = 1.0f / static_cast<float>(n);
    if (withNormal) normal = normalizedOrZero(mul(normalSum, inv));
    position = mul(positionSum, inv);
  }
  Vertex& mid = Midpoints[p];
  mid.pos = position;
  mid.n = normal;
  mid.attr = 0;
}

int PolygonStorage::computeMidpoints(bool normals) {
  Midpoints.resize(Polygons.size());
  int emptied = 0;
  const int count = static_cast<int>(Polygons.size());
  // Polygons of three or more ids write only their own record and run in parallel; the
  // degenerate ones also edit the vertex index and run afterwards, in order.
  forEachRange(count, 4096, [this, normals](int begin, int end) {
    for (int p = begin; p < end; ++p)
      if (Polygons[p].size() >= 3) computeMidpoint(p, normals);
  });
  for (int p = 0; p < count; ++p) {
    if (Polygons[p].size() >= 3) continue;
    if (!Polygons[p].empty()) ++emptied;
    computeMidpoint(p);
  }
  return emptied;
}

namespace {
// The angle at here between the edges to next and to previous.
float angleBetween(const V3& here, const V3& next, const V3& previous) {
  const V3 u = normalizedOrZero(sub(next, here));
  const V3 w = normalizedOrZero(sub(previous, here));
  const float d = dot(u, w);
  if (d >= 1.0f || d <= -1.0f) return 0.0f;
  return std::acos(d);
}
}  // namespace

float PolygonStorage::angleAtVertex(int v, int p) const {
  return angleBetween(Vertices[v].pos, Vertices[neighbourInPolygon(p, v, true)].pos,
                      Vertices[neighbourInPolygon(p, v, false)].pos);
}

void PolygonStorage::computeVertexNormal(Vertex& vert, int v) {
  V3 sum;
  float weightSum = 0.0f;
  for (int p : VIndex[v]) {
    const float w = angleAtVertex(v, p);
    sum = add(sum, mul(Midpoints[p].n, w));
    weightSum += w;
  }
  if (weightSum > 0.0f)
    vert.n = normalizedOrZero(mul(sum, 1.0f / weightSum));
  else
    vert.n = V3{};
}

void PolygonStorage::computeVertexNormals() {
  TS_ASSERT(Vertices.size() == VIndex.size());
  const int count = static_cast<int>(Vertices.size());
  // Same sums as computeVertexNormal, but the corners of every vertex are listed once for the
  // whole mesh (by polygon, then by position), so that a polygon of k corners costs k, not k
  // searches through k corners. Next neighbour: after the first occurrence; previous neighbour:
  // before the last one, as neighbourInPolygon finds them.
  // Filed from ranges of polygons in parallel, then each vertex's corners sorted.
  struct Corner {
    int Polygon, Position;
    bool operator<(const Corner& other) const {
      return Polygon < other.Polygon || (Polygon == other.Polygon && Position < other.Position);
    }
  };
  const std::vector<std::pair<int, int>> ranges = splitRange(static_cast<int>(Polygons.size()), 4096);
  std::vector<int> start;
  UninitializedVector<Corner> corners;
  fileInBuckets<Corner>(
      static_cast<int>(ranges.size()), count,
      [&](int r, auto put) {
        for (int p = ranges[r].first; p < ranges[r].second; ++p) {
          const VertexIDList& poly = Polygons[static_cast<std::size_t>(p)];
          for (std::size_t i = 0; i < poly.size(); ++i)
            if (poly[i] >= 0 && poly[i] < count) put(poly[i], Corner{p, static_cast<int>(i)});
        }
      },
      start, corners);
  forEachRange(count, 4096, [&](int begin, int end) {
    for (int v = begin; v < end; ++v) std::sort(corners.data() + start[v], corners.data() + start[v + 1]);
  });

  // Every vertex writes only its own normal: ranges of vertices run in parallel. A vertex whose
  // index lists a polygon without it takes the reporting look-up, on the calling thread in order.
  auto normalOf = [&](int v, bool mayReport) {
    V3 sum;
    float weightSum = 0.0f;
    int c = start[v];
    const int end = start[v + 1];
    for (int p : VIndex[v]) {
      while (c < end && corners[c].Polygon < p) ++c;
      float w;
      if (c < end && corners[c].Polygon == p) {
        const int first = corners[c].Position;
        while (c + 1 < end && corners[c + 1].Polygon == p) ++c;
        const int last = corners[c].Position;
        const VertexIDList& poly = Polygons[p];
        const int n = static_cast<int>(poly.size());
        w = angleBetween(Vertices[v].pos, Vertices[poly[(first + 1) % n]].pos, Vertices[poly[(last + n - 1) % n]].pos);
      } else {
        if (!mayReport) return false;
        w = angleAtVertex(v, p);  // the index lists a polygon without v: reported there
      }
      sum = add(sum, mul(Midpoints[p].n, w));
      weightSum += w;
    }
    Vertex& vert = Vertices[v];
    if (weightSum > 0.0f)
      vert.n = normalizedOrZero(mul(sum, 1.0f / weightSum));
    else
      vert.n = V3{};
    return true;
  };
  std::vector<char> deferred(static_cast<std::size_t>(count), 0);
  forEachRange(
      count, 4096,
      [&](int begin, int end) {
        for (int v = begin; v < end; ++v) deferred[v] = normalOf(v, false) ? 0 : 1;
      },
      [&](int begin, int end) {
        for (int v = begin; v < end; ++v)
          if (deferred[v]) normalOf(v, true);
      });
}

int PolygonStorage::neighbourInPolygon(int p, int v, bool next) const {
  const VertexIDList& poly = Polygons[p];
  const int n = static_cast<int>(poly.size());
  if (next) {
    for (int i = 0; i < n; ++i)
      if (poly[i] == v) return poly[(i + 1) % n];
  } else {
    for (int i = n - 1; i >= 0; --i)
      if (poly[i] == v) return poly[(i + n - 1) % n];
  }
  TS_ASSERT(false && "vertex occurs in polygon");
  return -1;
}

bool PolygonStorage::fitIntoVolume(int nx, int ny, int nz) {
  const float rx = (static_cast<float>(nx) - 4.0f) / (BBoxMax.x - BBoxMin.x);
  const float ry = (static_cast<float>(ny) - 4.0f) / (BBoxMax.y - BBoxMin.y);
  const float rz = (static_cast<float>(nz) - 4.0f) / (BBoxMax.z - BBoxMin.z);
  // A flat axis gives an infinite ratio and does not limit s (nor does 0/0).
  float s = std::numeric_limits<float>::infinity();
  if (rx < s) s = rx;
  if (ry < s) s = ry;
  if (rz < s) s = rz;

  const float newScale = Scale / s;
  const V3 newOffset{BBoxMin.x * Scale + (-1.5f * Scale) / s + Offset.x,
                     BBoxMin.y * Scale + (-1.5f * Scale) / s + Offset.y,
                     BBoxMin.z * Scale + (-1.5f * Scale) / s + Offset.z};
  if (!(std::isfinite(s) && s > 0.0f) || !std::isfinite(newScale) || !(newScale > 0.0f) ||
      !std::isfinite(newOffset.x) || !std::isfinite(newOffset.y) || !std::isfinite(newOffset.z)) {
    writeMsg("Mesh cannot be fitted into %d x %d x %d voxels (scale %g)", nx, ny, nz, static_cast<double>(s));
    return false;
  }

  const V3 lo = BBoxMin;
  auto fit = [&](V3& q) {
    q.x = (q.x - lo.x) * s + 1.5f;
    q.y = (q.y - lo.y) * s + 1.5f;
    q.z = (q.z - lo.z) * s + 1.5f;
  };
  for (Vertex& vertex : Vertices) fit(vertex.pos);
  for (Vertex& mid : Midpoints) fit(mid.pos);
  Offset = newOffset;
  Scale = newScale;
  fit(BBoxMax);
  BBoxMin = V3{1.5f, 1.5f, 1.5f};
  return true;
}

// ---------------------------------------------------------------- local edits

void PolygonStorage::updatePolygon(int p) {
  computeMidpoint(p);
  addPolygonToIndex(p);
}

void PolygonStorage::deletePolygon(int p) {
  removePolygonFromIndex(p);
  Polygons[p].clear();
}

void PolygonStorage::splitPolygon(int p, int a, int b) {
  TS_ASSERT(0 <= a && a < b && b < static_cast<int>(Polygons[p].size()));
  const int q = static_cast<int>(Polygons.size());
  Polygons.emplace_back();
  if (Midpoints.size() < Polygons.size()) Midpoints.resize(Polygons.size());
  removePolygonFromIndex(p);
  VertexIDList& oldList = Polygons[p];
  VertexIDList& newList = Polygons[q];
  // q takes ids a .. b of the old order; p keeps 0 .. a and b .. n-1. Both keep the orientation.
  newList.assign(oldList.begin() + a, oldList.begin() + b + 1);
  oldList.erase(oldList.begin() + a + 1, oldList.begin() + b);
  updatePolygon(p);
  updatePolygon(q);
}

void PolygonStorage::replaceVertexInPolygon(int oldId, int newId, int p) {
  VertexIDList& poly = Polygons[p];
  auto it = std::find(poly.begin(), poly.end(), oldId);
  if (it != poly.end()) *it = newId;
  VIndex[oldId].erase(p);
  VIndex[newId].insert(p);
}

void PolygonStorage::replaceVertex(int oldId, int newId) {
  if (oldId == newId) return;
  // Each step erases the polygon from oldId's entry, so the loop ends.
  while (!VIndex[oldId].empty()) replaceVertexInPolygon(oldId, newId, *VIndex[oldId].begin());
}

void PolygonStorage::moveVertex(Vertex& vert, int v, float x, float y, float z, bool normals) {
  vert.pos = V3{x, y, z};
  // computeMidpoint may take a degenerate polygon out of this very set: the next one then
  // moves into its place.
  const VertexIDSet& polys = VIndex[v];
  for (std::size_t i = 0; i < polys.size();) {
    const int p = polys.begin()[i];
    computeMidpoint(p, normals);
    if (i < polys.size() && polys.begin()[i] == p) ++i;
  }
  if (normals) computeVertexNormal(vert, v);
}

// ---------------------------------------------------------------- log

void PolygonStorage::writeMsg(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(Msg, sizeof Msg, format, args);
  va_end(args);
  if (Output) Output->writeLine(Msg);
}

}  // namespace tessellor
