#include "mesh/MeshQuality.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <numeric>
#include <vector>

#include "base/BucketSort.h"
#include "base/Parallel.h"
#include "base/UninitializedVector.h"
#include "mesh/ElementShape.h"
#include "mesh/PolygonStorage.h"
#include "mesh/SurfaceDistance.h"
#include "base/StringFormat.h"

namespace tessellor {

namespace {

// Acceptable ranges from the Verdict manual's tables for quadrilaterals and triangles.
struct MeasureDefinition {
  const char* Name;
  double ElementShape::*Field;
  double Low;
  double High;
};

constexpr MeasureDefinition QuadMeasures[] = {
    {"min_angle", &ElementShape::MinAngle, 45.0, 90.0},
    {"max_angle", &ElementShape::MaxAngle, 90.0, 135.0},
    {"aspect_ratio", &ElementShape::AspectRatio, 1.0, 1.3},
    {"skew", &ElementShape::Skew, 0.0, 0.5},
    {"taper", &ElementShape::Taper, 0.0, 0.7},
    {"warpage", &ElementShape::Warpage, 0.0, 0.7},
    {"scaled_jacobian", &ElementShape::ScaledJacobian, 0.3, 1.0},
};

constexpr MeasureDefinition TriangleMeasures[] = {
    {"min_angle", &ElementShape::MinAngle, 30.0, 60.0},
    {"max_angle", &ElementShape::MaxAngle, 60.0, 90.0},
    {"aspect_ratio", &ElementShape::AspectRatio, 1.0, 1.3},
    {"scaled_jacobian", &ElementShape::ScaledJacobian, 0.5, 1.0},
};

// A summary measures the scaled Jacobian alone: the last entry of each table.
static_assert(QuadMeasures[std::size(QuadMeasures) - 1].Field == &ElementShape::ScaledJacobian);
static_assert(TriangleMeasures[std::size(TriangleMeasures) - 1].Field == &ElementShape::ScaledJacobian);

// Rounding in the measures themselves must not count an ideal element as outside its range.
constexpr double RangeSlack = 1e-9;

// A run of measure definitions: a whole table, or the scaled Jacobian alone.
struct Measures {
  const MeasureDefinition* First;
  std::size_t Count;
  const MeasureDefinition& operator[](std::size_t i) const { return First[i]; }
};

template <std::size_t N>
Measures allOf(const MeasureDefinition (&definitions)[N]) {
  return {definitions, N};
}

template <std::size_t N>
Measures jacobianOf(const MeasureDefinition (&definitions)[N]) {
  return {definitions + N - 1, 1};
}

std::vector<ShapeStatistics> startStatistics(Measures definitions) {
  std::vector<ShapeStatistics> statistics;
  for (std::size_t i = 0; i < definitions.Count; ++i) {
    const MeasureDefinition& d = definitions[i];
    ShapeStatistics s;
    s.Name = d.Name;
    s.AcceptableLow = d.Low;
    s.AcceptableHigh = d.High;
    statistics.push_back(s);
  }
  return statistics;
}

void addShape(std::vector<ShapeStatistics>& statistics, Measures definitions, const ElementShape& shape) {
  for (std::size_t i = 0; i < definitions.Count; ++i) {
    ShapeStatistics& s = statistics[i];
    const double value = shape.*(definitions[i].Field);
    if (s.Count == 0) s.Min = s.Max = value;
    s.Min = std::min(s.Min, value);
    s.Max = std::max(s.Max, value);
    s.Mean += value;  // a sum until finishStatistics
    ++s.Count;
    if (value < s.AcceptableLow - RangeSlack || value > s.AcceptableHigh + RangeSlack) ++s.Outside;
  }
}

// Counts, minima and maxima of a later range of elements into those of the earlier ones; the sums
// stay out (addSums adds them in element order).
void mergeStatistics(std::vector<ShapeStatistics>& statistics, const std::vector<ShapeStatistics>& later) {
  for (std::size_t i = 0; i < statistics.size(); ++i) {
    ShapeStatistics& s = statistics[i];
    const ShapeStatistics& l = later[i];
    if (l.Count == 0) continue;
    if (s.Count == 0) {
      s.Min = l.Min;
      s.Max = l.Max;
    }
    s.Min = std::min(s.Min, l.Min);
    s.Max = std::max(s.Max, l.Max);
    s.Count += l.Count;
    s.Outside += l.Outside;
  }
}

void addSums(std::vector<ShapeStatistics>& statistics, Measures definitions, const ElementShape& shape) {
  for (std::size_t i = 0; i < definitions.Count; ++i) statistics[i].Mean += shape.*(definitions[i].Field);
}

void finishStatistics(std::vector<ShapeStatistics>& statistics) {
  for (ShapeStatistics& s : statistics)
    if (s.Count > 0) s.Mean /= s.Count;
}

// Sets of vertices joined from several threads at once: a root is a vertex that is its own
// parent, and a root is only ever hung below a smaller one, by a compare-and-swap that fails if
// another thread moved it first.
class ConcurrentSets {
 public:
  explicit ConcurrentSets(int size) : Parent(static_cast<std::size_t>(size)) {
    forEachRange(size, 1 << 14, [&](int begin, int end) {
      for (int i = begin; i < end; ++i) Parent[i].store(i, std::memory_order_relaxed);
    });
  }
  int root(int i) {
    for (;;) {
      int parent = Parent[i].load();
      if (parent == i) return i;
      const int grandparent = Parent[parent].load();
      // Halving the path only ever points a vertex at one of its ancestors.
      if (grandparent != parent) Parent[i].compare_exchange_weak(parent, grandparent);
      i = grandparent;
    }
  }
  void unite(int a, int b) {
    for (;;) {
      a = root(a);
      b = root(b);
      if (a == b) return;
      if (a < b) std::swap(a, b);
      int expected = a;
      if (Parent[a].compare_exchange_strong(expected, b)) return;
    }
  }

 private:
  std::vector<std::atomic<int>> Parent;
};

// The polygons of three or more corners whose ids are all vertices of the mesh.
bool measurable(const VertexIDList& polygon, int vertices) {
  if (polygon.size() < 3) return false;
  for (int id : polygon)
    if (id < 0 || id >= vertices) return false;
  return true;
}

std::array<double, 3> filePoint(const PolygonStorage& mesh, int v) {
  const V3 f = mesh.fileCoordinates(mesh.Vertices[v].pos);
  return {f.x, f.y, f.z};
}

// A small buffer on the stack that moves to the heap only for unusually long lists.
template <typename T, int N>
class SmallBuffer {
 public:
  explicit SmallBuffer(std::size_t size) {
    if (size > static_cast<std::size_t>(N)) {
      Heap.resize(size);
      Data = Heap.data();
    }
  }
  T* data() { return Data; }
  T& operator[](std::size_t i) { return Data[i]; }

 private:
  T Local[N];
  std::vector<T> Heap;
  T* Data = Local;
};

// Whether the polygon names one vertex twice.
bool repeatsVertex(const VertexIDList& polygon) {
  SmallBuffer<int, 16> sorted(polygon.size());
  std::copy(polygon.begin(), polygon.end(), sorted.data());
  std::sort(sorted.data(), sorted.data() + polygon.size());
  return std::adjacent_find(sorted.data(), sorted.data() + polygon.size()) != sorted.data() + polygon.size();
}

// Counts of one range of vertices, added up in vertex order.
struct VertexRangeCounts {
  int Edges = 0, OpenEdges = 0, NonManifoldEdges = 0, InconsistentEdges = 0;
  int NonManifoldVertices = 0;
  std::vector<double> Lengths;
};

// Distances from the used vertices and polygon centroids of `from` to the surface of `to`.
DistanceStatistics oneSidedDistance(const PolygonStorage& from, const SurfaceDistance& to) {
  DistanceStatistics result;
  if (to.empty()) return result;
  const int vertices = static_cast<int>(from.Vertices.size());
  std::vector<char> used(from.Vertices.size(), 0);
  // The sample points in their fixed order, as a vertex id or as ~f for the centroid of polygon
  // f; their distances are found in parallel and summed in that order, so the statistics do not
  // depend on the thread count.
  std::vector<int> samples;
  for (int f = 0; f < static_cast<int>(from.Polygons.size()); ++f) {
    const VertexIDList& polygon = from.Polygons[f];
    if (!measurable(polygon, vertices)) continue;
    for (int id : polygon)
      if (!used[id]) {
        used[id] = 1;
        samples.push_back(id);
      }
    samples.push_back(~f);
  }
  std::vector<double> distances(samples.size());
  forEachRange(static_cast<int>(samples.size()), 2048, [&](int begin, int end) {
    // Consecutive samples lie close together: each query starts from the previous one's triangle.
    int hint = -1;
    for (int i = begin; i < end; ++i) {
      std::array<double, 3> p{0.0, 0.0, 0.0};
      if (samples[i] >= 0) {
        p = filePoint(from, samples[i]);
      } else {
        const VertexIDList& polygon = from.Polygons[~samples[i]];
        for (int id : polygon) {
          const std::array<double, 3> q = filePoint(from, id);
          for (int k = 0; k < 3; ++k) p[k] += q[k] / static_cast<double>(polygon.size());
        }
      }
      distances[i] = to.distance(p, hint);
    }
  });
  double sum = 0.0;
  for (double d : distances) {
    sum += d;
    result.Max = std::max(result.Max, d);
    ++result.Samples;
  }
  if (result.Samples > 0) result.Mean = sum / result.Samples;
  return result;
}

// Sorts values ascending. Lengths are never negative, so their bit patterns sort as they do and
// are sorted as integers by buckets; anything else (a NaN, a negative value) goes to std::sort.
void sortLengths(std::vector<double>& values) {
  const std::size_t count = values.size();
  std::vector<std::uint64_t> keys(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (!(values[i] >= 0.0) || std::signbit(values[i])) {
      std::sort(values.begin(), values.end());
      return;
    }
    std::memcpy(&keys[i], &values[i], sizeof(double));
  }
  if (count < 2) return;
  // Filed by their distance from the smallest key, about four keys to a bucket, and the buckets
  // sorted in parallel.
  const auto [lowest, highest] = std::minmax_element(keys.begin(), keys.end());
  const std::uint64_t low = *lowest, span = *highest - low;
  int shift = 0;
  while ((span >> shift) >= count / 4 + 1) ++shift;
  bucketSort(
      keys, static_cast<int>((span >> shift) + 1),
      [low, shift](std::uint64_t key) { return static_cast<int>((key - low) >> shift); },
      [](std::uint64_t a, std::uint64_t b) { return a < b; });
  for (std::size_t i = 0; i < count; ++i) std::memcpy(&values[i], &keys[i], sizeof(double));
}

}  // namespace

MeshQualityReport measureMeshQuality(const PolygonStorage& mesh, const PolygonStorage* reference, double voxelSize,
                                     QualityDetail detail) {
  MeshQualityReport r;
  const bool full = detail == QualityDetail::Full;
  const int vertices = static_cast<int>(mesh.Vertices.size());
  const int polygons = static_cast<int>(mesh.Polygons.size());
  r.Vertices = vertices;
  r.PolygonEntries = polygons;
  const Measures quadMeasures = full ? allOf(QuadMeasures) : jacobianOf(QuadMeasures);
  const Measures triangleMeasures = full ? allOf(TriangleMeasures) : jacobianOf(TriangleMeasures);
  r.QuadShape = startStatistics(quadMeasures);
  r.TriangleShape = startStatistics(triangleMeasures);

  UninitializedVector<std::array<double, 3>> points(mesh.Vertices.size());
  forEachRange(vertices, 1 << 14, [&](int begin, int end) {
    for (int v = begin; v < end; ++v) points[v] = filePoint(mesh, v);
  });

  // Per polygon its corner count (0 when it is not measured) and the shape of a triangle or quad,
  // found in parallel with the counts, minima and maxima of each range of polygons. Only the sums
  // of the shape measures are added up on one thread, in polygon order, so that they do not depend
  // on the thread count.
  struct PolygonRangeCounts {
    int Begin = 0, End = 0;
    MeshQualityReport Counts;
    std::vector<int> ByCorners;
  };
  std::vector<int> cornerCount(mesh.Polygons.size(), 0);
  std::vector<ElementShape> shapes(full ? mesh.Polygons.size() : 0);
  forEachPiece<PolygonRangeCounts>(
      polygons, 1 << 12,
      [&](int begin, int end, PolygonRangeCounts& range) {
        range.Begin = begin;
        range.End = end;
        MeshQualityReport& c = range.Counts;
        c.QuadShape = startStatistics(quadMeasures);
        c.TriangleShape = startStatistics(triangleMeasures);
        for (int f = begin; f < end; ++f) {
          const VertexIDList& polygon = mesh.Polygons[f];
          if (!measurable(polygon, vertices)) {
            ++c.DegeneratePolygons;
            continue;
          }
          const int n = static_cast<int>(polygon.size());
          cornerCount[f] = n;
          ++c.Polygons;
          if (static_cast<std::size_t>(n) >= range.ByCorners.size()) range.ByCorners.resize(n + 1, 0);
          ++range.ByCorners[n];
          if (full && repeatsVertex(polygon)) ++c.RepeatedVertexPolygons;
          if (n != 3 && n != 4) {
            ++c.MoreThanFourCorners;
            continue;
          }
          double p[4][3];
          for (int i = 0; i < n; ++i)
            for (int k = 0; k < 3; ++k) p[i][k] = points[polygon[i]][k];
          ElementShape shape;
          if (full) {
            shape = n == 3 ? ElementShape::triangle(p) : ElementShape::quad(p);
            shapes[f] = shape;
          } else {
            shape.ScaledJacobian =
                n == 3 ? ElementShape::triangleScaledJacobian(p) : ElementShape::quadScaledJacobian(p);
          }
          if (n == 3) {
            addShape(c.TriangleShape, triangleMeasures, shape);
            if (shape.ScaledJacobian <= 0.0) ++c.TrianglesNonPositiveJacobian;
          } else {
            addShape(c.QuadShape, quadMeasures, shape);
            if (shape.ScaledJacobian <= 0.0) ++c.QuadsNonPositiveJacobian;
          }
        }
      },
      [&](const PolygonRangeCounts& range) {
        const MeshQualityReport& c = range.Counts;
        r.DegeneratePolygons += c.DegeneratePolygons;
        r.Polygons += c.Polygons;
        for (std::size_t n = 0; n < range.ByCorners.size(); ++n)
          if (range.ByCorners[n] > 0) r.PolygonsByCorners[static_cast<int>(n)] += range.ByCorners[n];
        r.RepeatedVertexPolygons += c.RepeatedVertexPolygons;
        r.MoreThanFourCorners += c.MoreThanFourCorners;
        r.TrianglesNonPositiveJacobian += c.TrianglesNonPositiveJacobian;
        r.QuadsNonPositiveJacobian += c.QuadsNonPositiveJacobian;
        mergeStatistics(r.TriangleShape, c.TriangleShape);
        mergeStatistics(r.QuadShape, c.QuadShape);
        // The sums, one element after the other as a single pass adds them.
        if (!full) return;
        for (int f = range.Begin; f < range.End; ++f) {
          if (cornerCount[f] == 3)
            addSums(r.TriangleShape, triangleMeasures, shapes[f]);
          else if (cornerCount[f] == 4)
            addSums(r.QuadShape, quadMeasures, shapes[f]);
        }
      });
  finishStatistics(r.QuadShape);
  finishStatistics(r.TriangleShape);
  std::vector<ElementShape>().swap(shapes);

  // Per vertex, its corners as (previous, next) neighbour pairs, for the fan test and the edges:
  // the corners of vertex v are corners[cornerStart[v] .. cornerStart[v + 1]). They are filed
  // from several threads at once, so the corners around a vertex come in no fixed order; nothing
  // below depends on it. The polygons join the components of their vertices.
  const std::vector<std::pair<int, int>> polygonRanges = splitRange(polygons, 1 << 12);
  std::vector<int> cornerStart;
  UninitializedVector<std::pair<int, int>> corners;
  fileInBuckets<std::pair<int, int>>(
      static_cast<int>(polygonRanges.size()), vertices,
      [&](int r, auto put) {
        for (int f = polygonRanges[r].first; f < polygonRanges[r].second; ++f) {
          const int n = cornerCount[f];
          if (n == 0) continue;
          const VertexIDList& polygon = mesh.Polygons[f];
          for (int i = 0; i < n; ++i)
            put(polygon[i], std::make_pair(polygon[i == 0 ? n - 1 : i - 1], polygon[i + 1 == n ? 0 : i + 1]));
        }
      },
      cornerStart, corners);
  ConcurrentSets components(full ? vertices : 0);
  forEachRange(full ? polygons : 0, 1 << 12, [&](int begin, int end) {
    for (int f = begin; f < end; ++f)
      if (cornerCount[f] > 0)
        for (int id : mesh.Polygons[f]) components.unite(mesh.Polygons[f][0], id);
  });
  std::vector<int>().swap(cornerCount);

  // An edge is found at its lower vertex: the corners there whose next neighbour is the higher
  // one run it forward, those whose previous neighbour is, backward. Every neighbour other than
  // the vertex itself counts once for its valence.
  std::vector<int> valence(mesh.Vertices.size(), 0);
  std::vector<char> used(mesh.Vertices.size(), 0);
  std::vector<double> lengths;
  forEachPiece<VertexRangeCounts>(
      vertices, 1 << 12,
      [&](int begin, int end, VertexRangeCounts& counts) {
        for (int v = begin; v < end; ++v) {
          const int first = cornerStart[v], size = cornerStart[v + 1] - first;
          if (size == 0) continue;
          used[v] = 1;
          const std::pair<int, int>* around = corners.data() + first;
          // Neighbours as 2 * id + 1 for a forward step to them, 2 * id for a step back.
          SmallBuffer<std::int64_t, 32> neighbours(2 * static_cast<std::size_t>(size));
          int count = 0;
          for (int i = 0; i < size; ++i) {
            if (around[i].second != v) neighbours[count++] = 2 * static_cast<std::int64_t>(around[i].second) + 1;
            if (around[i].first != v) neighbours[count++] = 2 * static_cast<std::int64_t>(around[i].first);
          }
          std::sort(neighbours.data(), neighbours.data() + count);
          int distinct = 0;
          for (int i = 0; i < count;) {
            const int w = static_cast<int>(neighbours[i] >> 1);
            int j = i, forward = 0;
            for (; j < count && (neighbours[j] >> 1) == w; ++j) forward += static_cast<int>(neighbours[j] & 1);
            ++distinct;
            if (w > v) {
              const int uses = j - i;
              ++counts.Edges;
              const std::array<double, 3>& a = points[v];
              const std::array<double, 3>& b = points[w];
              if (full)
                counts.Lengths.push_back(std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                                                   (a[2] - b[2]) * (a[2] - b[2])));
              if (uses == 1) ++counts.OpenEdges;
              if (uses > 2) ++counts.NonManifoldEdges;
              if (uses == 2 && forward != 1) ++counts.InconsistentEdges;
            }
            i = j;
          }
          valence[v] = distinct;
          if (!full) continue;
          // Corners around v that share an edge out of v belong to one fan.
          SmallBuffer<int, 16> fan(static_cast<std::size_t>(size));
          for (int i = 0; i < size; ++i) fan[i] = i;
          const auto root = [&](int i) {
            while (fan[i] != i) i = fan[i] = fan[fan[i]];
            return i;
          };
          for (int i = 0; i < size; ++i)
            for (int j = i + 1; j < size; ++j)
              if (around[i].first == around[j].second || around[i].second == around[j].first ||
                  around[i].first == around[j].first || around[i].second == around[j].second) {
                const int a = root(i), b = root(j);
                if (a != b) fan[std::max(a, b)] = std::min(a, b);
              }
          int fans = 0;
          for (int i = 0; i < size; ++i)
            if (root(i) == i) ++fans;
          if (fans > 1) ++counts.NonManifoldVertices;
        }
      },
      [&](const VertexRangeCounts& counts) {
        r.Edges += counts.Edges;
        r.OpenEdges += counts.OpenEdges;
        r.NonManifoldEdges += counts.NonManifoldEdges;
        r.InconsistentEdges += counts.InconsistentEdges;
        r.NonManifoldVertices += counts.NonManifoldVertices;
        lengths.insert(lengths.end(), counts.Lengths.begin(), counts.Lengths.end());
      });
  UninitializedVector<std::pair<int, int>>().swap(corners);

  if (!lengths.empty()) {
    // The order of the edges is not fixed, so the lengths are summed in ascending order.
    sortLengths(lengths);
    r.EdgeLengthMin = lengths.front();
    r.EdgeLengthMax = lengths.back();
    r.EdgeLengthMedian = lengths[lengths.size() / 2];
    r.EdgeLengthMean = std::accumulate(lengths.begin(), lengths.end(), 0.0) / static_cast<double>(lengths.size());
  }

  // Per range of vertices the used ones, their valences and the roots of their components.
  struct UseCounts {
    int Used = 0, Roots = 0;
    std::vector<int> Valence;
  };
  forEachPiece<UseCounts>(
      vertices, 1 << 14,
      [&](int begin, int end, UseCounts& counts) {
        for (int v = begin; v < end; ++v) {
          if (!used[v]) continue;
          ++counts.Used;
          if (!full) continue;
          if (static_cast<std::size_t>(valence[v]) >= counts.Valence.size()) counts.Valence.resize(valence[v] + 1, 0);
          ++counts.Valence[valence[v]];
          if (components.root(v) == v) ++counts.Roots;
        }
      },
      [&](const UseCounts& counts) {
        r.UsedVertices += counts.Used;
        r.Components += counts.Roots;
        for (std::size_t k = 0; k < counts.Valence.size(); ++k)
          if (counts.Valence[k] > 0) r.Valence[static_cast<int>(k)] += counts.Valence[k];
      });

  r.Closed = r.Polygons > 0 && r.OpenEdges == 0 && r.NonManifoldEdges == 0;
  r.ConsistentlyOriented = r.Polygons > 0 && r.InconsistentEdges == 0 && r.NonManifoldEdges == 0;
  r.EulerCharacteristic = r.UsedVertices - r.Edges + r.Polygons;
  if (full && r.Closed && r.ConsistentlyOriented && r.NonManifoldVertices == 0 &&
      (2 * r.Components - r.EulerCharacteristic) % 2 == 0)
    r.Genus = (2 * r.Components - r.EulerCharacteristic) / 2;
  if (r.Polygons > 0) {
    const auto quads = r.PolygonsByCorners.find(4);
    r.QuadShare = quads == r.PolygonsByCorners.end() ? 0.0 : static_cast<double>(quads->second) / r.Polygons;
  }
  if (r.UsedVertices > 0) {
    const auto four = r.Valence.find(4);
    r.Valence4Share = four == r.Valence.end() ? 0.0 : static_cast<double>(four->second) / r.UsedVertices;
  }

  r.VoxelSize = voxelSize > 0.0 ? voxelSize : 0.0;
  if (reference) {
    r.HasReference = true;
    // At most a sample per vertex and per polygon of the other mesh.
    r.ToReference = oneSidedDistance(mesh, SurfaceDistance(*reference, mesh.Vertices.size() + mesh.Polygons.size()));
    if (full)
      r.FromReference =
          oneSidedDistance(*reference, SurfaceDistance(mesh, reference->Vertices.size() + reference->Polygons.size()));
  }
  return r;
}

namespace {

std::string histogram(const std::map<int, int>& bins) {
  std::string text;
  for (const auto& bin : bins) text += formatString(" %d:%d", bin.first, bin.second);
  return text.empty() ? " none" : text;
}

std::string yesNo(bool value) { return value ? "yes" : "no"; }

std::string shapeTable(const char* kind, const std::vector<ShapeStatistics>& statistics) {
  if (statistics.empty() || statistics[0].Count == 0) return formatString("%s: none\n", kind);
  std::string text = formatString("%s (%d)             min        mean         max  acceptable      outside\n", kind,
                                  statistics[0].Count);
  for (const ShapeStatistics& s : statistics)
    text += formatString("  %-16s %11.4g %11.4g %11.4g  %4g..%-5g %8d\n", s.Name, s.Min, s.Mean, s.Max, s.AcceptableLow,
                         s.AcceptableHigh, s.Outside);
  return text;
}

std::string distanceLine(const char* name, const DistanceStatistics& d, double voxelSize) {
  std::string text = formatString("%s: mean %.6g, max %.6g", name, d.Mean, d.Max);
  if (voxelSize > 0.0) text += formatString(" (mean %.4g, max %.4g voxels)", d.Mean / voxelSize, d.Max / voxelSize);
  return text + formatString(", %d samples\n", d.Samples);
}

const ShapeStatistics* findMeasure(const std::vector<ShapeStatistics>& statistics, const char* name) {
  for (const ShapeStatistics& s : statistics)
    if (std::string(s.Name) == name) return &s;
  return nullptr;
}

std::string jsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  return formatString("%.10g", value);
}

std::string jsonHistogram(const std::map<int, int>& bins) {
  std::string text = "{";
  for (const auto& bin : bins) text += formatString("%s\"%d\": %d", text.size() > 1 ? ", " : "", bin.first, bin.second);
  return text + "}";
}

std::string jsonShapes(const std::vector<ShapeStatistics>& statistics) {
  std::string text = formatString("{\"count\": %d", statistics.empty() ? 0 : statistics[0].Count);
  for (const ShapeStatistics& s : statistics)
    text +=
        formatString(", \"%s\": {\"min\": %s, \"mean\": %s, \"max\": %s, \"acceptable\": [%g, %g], \"outside\": %d}",
                     s.Name, jsonNumber(s.Min).c_str(), jsonNumber(s.Mean).c_str(), jsonNumber(s.Max).c_str(),
                     s.AcceptableLow, s.AcceptableHigh, s.Outside);
  return text + "}";
}

std::string jsonDistance(const DistanceStatistics& d, double voxelSize) {
  std::string text = formatString("{\"samples\": %d, \"mean\": %s, \"max\": %s", d.Samples, jsonNumber(d.Mean).c_str(),
                                  jsonNumber(d.Max).c_str());
  if (voxelSize > 0.0)
    text += formatString(", \"mean_voxels\": %s, \"max_voxels\": %s", jsonNumber(d.Mean / voxelSize).c_str(),
                         jsonNumber(d.Max / voxelSize).c_str());
  return text + "}";
}

}  // namespace

std::string formatQualityText(const MeshQualityReport& r) {
  std::string text;
  text += formatString("Vertices: %d used of %d\n", r.UsedVertices, r.Vertices);
  text += formatString("Polygons: %d (of %d entries; %d with fewer than three corners)\n", r.Polygons, r.PolygonEntries,
                       r.DegeneratePolygons);
  text += "Polygons by corners:" + histogram(r.PolygonsByCorners) + "\n";
  text += formatString("Quad share: %.4f\n", r.QuadShare);
  text += formatString("Edges: %d, open %d, non-manifold %d, inconsistently oriented %d\n", r.Edges, r.OpenEdges,
                       r.NonManifoldEdges, r.InconsistentEdges);
  text += formatString("Edge length: min %.6g, median %.6g, mean %.6g, max %.6g\n", r.EdgeLengthMin, r.EdgeLengthMedian,
                       r.EdgeLengthMean, r.EdgeLengthMax);
  text += formatString("Non-manifold vertices: %d\n", r.NonManifoldVertices);
  text += formatString("Polygons repeating a vertex: %d\n", r.RepeatedVertexPolygons);
  text += formatString("Components: %d\n", r.Components);
  text += formatString("Closed: %s, consistently oriented: %s\n", yesNo(r.Closed).c_str(),
                       yesNo(r.ConsistentlyOriented).c_str());
  text += formatString("Euler characteristic: %d", r.EulerCharacteristic);
  text += r.Genus >= 0 ? formatString(", genus %d\n", r.Genus) : std::string("\n");
  text += "Valence:" + histogram(r.Valence) + "\n";
  text += formatString("Valence-4 share: %.4f\n", r.Valence4Share);
  text += shapeTable("Quads", r.QuadShape);
  text += formatString("  scaled Jacobian at or below 0: %d\n", r.QuadsNonPositiveJacobian);
  text += shapeTable("Triangles", r.TriangleShape);
  text += formatString("  scaled Jacobian at or below 0: %d\n", r.TrianglesNonPositiveJacobian);
  if (r.MoreThanFourCorners > 0)
    text += formatString("Polygons of more than four corners (not measured): %d\n", r.MoreThanFourCorners);
  if (r.HasReference) {
    text += distanceLine("Distance to the reference", r.ToReference, r.VoxelSize);
    text += distanceLine("Distance from the reference", r.FromReference, r.VoxelSize);
  }
  return text;
}

std::string formatQualitySummary(const MeshQualityReport& r) {
  std::string text =
      formatString("Quality: %d vertices, %d polygons (%d quads, %.1f%%), %s, %s, Euler characteristic %d\n",
                   r.UsedVertices, r.Polygons, r.PolygonsByCorners.count(4) ? r.PolygonsByCorners.at(4) : 0,
                   100.0 * r.QuadShare, r.Closed ? "closed" : formatString("%d open edges", r.OpenEdges).c_str(),
                   r.ConsistentlyOriented ? "oriented" : "not consistently oriented", r.EulerCharacteristic);
  const ShapeStatistics* quadJacobian = findMeasure(r.QuadShape, "scaled_jacobian");
  const ShapeStatistics* triJacobian = findMeasure(r.TriangleShape, "scaled_jacobian");
  text += formatString("Quality: scaled Jacobian min %.3g (quads), %.3g (triangles); %d elements at or below 0\n",
                       quadJacobian && quadJacobian->Count ? quadJacobian->Min : 1.0,
                       triJacobian && triJacobian->Count ? triJacobian->Min : 1.0,
                       r.QuadsNonPositiveJacobian + r.TrianglesNonPositiveJacobian);
  if (r.HasReference) {
    text += formatString("Quality: distance to the input mean %.4g, max %.4g", r.ToReference.Mean, r.ToReference.Max);
    if (r.VoxelSize > 0.0) text += formatString(" (max %.3g voxels)", r.ToReference.Max / r.VoxelSize);
    text += "\n";
  }
  return text;
}

std::string formatQualityJson(const MeshQualityReport& r) {
  std::string text = "{\n";
  text += formatString("  \"vertices\": %d,\n  \"used_vertices\": %d,\n", r.Vertices, r.UsedVertices);
  text += formatString("  \"polygon_entries\": %d,\n  \"polygons\": %d,\n  \"degenerate_polygons\": %d,\n",
                       r.PolygonEntries, r.Polygons, r.DegeneratePolygons);
  text += formatString("  \"repeated_vertex_polygons\": %d,\n", r.RepeatedVertexPolygons);
  text += "  \"polygons_by_corners\": " + jsonHistogram(r.PolygonsByCorners) + ",\n";
  text += "  \"quad_share\": " + jsonNumber(r.QuadShare) + ",\n";
  text += formatString("  \"edges\": %d,\n  \"open_edges\": %d,\n  \"non_manifold_edges\": %d,\n", r.Edges, r.OpenEdges,
                       r.NonManifoldEdges);
  text += "  \"edge_length\": {\"min\": " + jsonNumber(r.EdgeLengthMin) +
          ", \"median\": " + jsonNumber(r.EdgeLengthMedian) + ", \"mean\": " + jsonNumber(r.EdgeLengthMean) +
          ", \"max\": " + jsonNumber(r.EdgeLengthMax) + "},\n";
  text += formatString("  \"inconsistent_edges\": %d,\n  \"non_manifold_vertices\": %d,\n", r.InconsistentEdges,
                       r.NonManifoldVertices);
  text += formatString("  \"components\": %d,\n  \"closed\": %s,\n  \"consistently_oriented\": %s,\n", r.Components,
                       r.Closed ? "true" : "false", r.ConsistentlyOriented ? "true" : "false");
  text += formatString("  \"euler_characteristic\": %d,\n", r.EulerCharacteristic);
  text += r.Genus >= 0 ? formatString("  \"genus\": %d,\n", r.Genus) : std::string("  \"genus\": null,\n");
  text += "  \"valence\": " + jsonHistogram(r.Valence) + ",\n";
  text += "  \"valence4_share\": " + jsonNumber(r.Valence4Share) + ",\n";
  text += formatString("  \"polygons_more_than_four_corners\": %d,\n", r.MoreThanFourCorners);
  text += formatString("  \"quads_nonpositive_jacobian\": %d,\n  \"triangles_nonpositive_jacobian\": %d,\n",
                       r.QuadsNonPositiveJacobian, r.TrianglesNonPositiveJacobian);
  text += "  \"quads\": " + jsonShapes(r.QuadShape) + ",\n";
  text += "  \"triangles\": " + jsonShapes(r.TriangleShape);
  if (r.VoxelSize > 0.0) text += ",\n  \"voxel_size\": " + jsonNumber(r.VoxelSize);
  if (r.HasReference) {
    text += ",\n  \"distance_to_reference\": " + jsonDistance(r.ToReference, r.VoxelSize);
    text += ",\n  \"distance_from_reference\": " + jsonDistance(r.FromReference, r.VoxelSize);
  }
  return text + "\n}\n";
}

}  // namespace tessellor
