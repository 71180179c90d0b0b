#include "volume/PolygonTriangulation.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "base/Parallel.h"

namespace tessellor {

namespace {

// Positions are joined when their coordinates compare equal (so 0 and -0 are one value).
struct PositionKey {
  std::uint32_t Bits[3];
  bool operator==(const PositionKey& other) const {
    return Bits[0] == other.Bits[0] && Bits[1] == other.Bits[1] && Bits[2] == other.Bits[2];
  }
};

struct PositionHash {
  std::size_t operator()(const PositionKey& k) const {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint32_t b : k.Bits) h = (h ^ b) * 1099511628211ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

PositionKey keyOf(const V3& p) {
  PositionKey key;
  const float c[3] = {p.x == 0.0f ? 0.0f : p.x, p.y == 0.0f ? 0.0f : p.y, p.z == 0.0f ? 0.0f : p.z};
  std::memcpy(key.Bits, c, sizeof key.Bits);
  return key;
}

// Above this many corners a non-convex polygon is cut as a fan: ear clipping costs up to the cube
// of the corner count. The fan has the polygon's boundary, so the winding numbers stay right.
constexpr std::size_t MaxEarClippingCorners = 256;

double cross2(double ax, double ay, double bx, double by, double cx, double cy) {
  return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

}  // namespace

void PolygonTriangulation::build(const PolygonStorage& mesh) {
  Positions.clear();
  Triangles.clear();
  DegeneratePolygons = 0;
  Welded.assign(mesh.Vertices.size(), -1);
  std::unordered_map<PositionKey, int, PositionHash> first;
  first.reserve(mesh.Vertices.size());
  for (std::size_t v = 0; v < mesh.Vertices.size(); ++v) {
    const V3& p = mesh.Vertices[v].pos;
    const auto inserted = first.emplace(keyOf(p), static_cast<int>(Positions.size()));
    if (inserted.second) Positions.push_back(p);
    Welded[v] = inserted.first->second;
  }
  // Polygons are cut over ranges in parallel; the triangles join in polygon order.
  Triangles.reserve(mesh.Polygons.size() + mesh.Polygons.size() / 2);
  forEachPiece<Cut>(
      static_cast<int>(mesh.Polygons.size()), 4096,
      [&](int begin, int end, Cut& cut) {
        for (int p = begin; p < end; ++p) {
          const VertexIDList& polygon = mesh.Polygons[static_cast<std::size_t>(p)];
          if (polygon.size() > 2) addPolygon(cut, polygon);
        }
      },
      [&](const Cut& cut) {
        Triangles.insert(Triangles.end(), cut.Triangles.begin(), cut.Triangles.end());
        DegeneratePolygons += cut.Degenerate;
      });
}

double PolygonTriangulation::doubleArea(std::size_t t) const {
  const V3& a = Positions[static_cast<std::size_t>(Triangles[t][0])];
  const V3& b = Positions[static_cast<std::size_t>(Triangles[t][1])];
  const V3& c = Positions[static_cast<std::size_t>(Triangles[t][2])];
  const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
  const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
  const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
  return std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

void PolygonTriangulation::addTriangle(Cut& cut, int a, int b, int c) {
  // A polygon that touches itself can give a cut with one corner twice: it has no area and
  // its edges cancel, so it is left out.
  if (a != b && b != c && c != a) cut.Triangles.push_back({a, b, c});
}

void PolygonTriangulation::addPolygon(Cut& cut, const VertexIDList& polygon) const {
  const int vertexCount = static_cast<int>(Welded.size());
  cut.Corners.clear();
  for (int id : polygon) {
    if (id < 0 || id >= vertexCount) {
      ++cut.Degenerate;
      return;
    }
    const int w = Welded[static_cast<std::size_t>(id)];
    if (cut.Corners.empty() || cut.Corners.back() != w) cut.Corners.push_back(w);
  }
  while (cut.Corners.size() > 1 && cut.Corners.front() == cut.Corners.back()) cut.Corners.pop_back();

  // The area vector (Newell's method) decides the plane the polygon is cut in; none means the
  // polygon has no area.
  double normal[3] = {0, 0, 0};
  if (cut.Corners.size() >= 3) {
    const V3& o = Positions[static_cast<std::size_t>(cut.Corners[0])];
    for (std::size_t i = 1; i + 1 < cut.Corners.size(); ++i) {
      const V3& a = Positions[static_cast<std::size_t>(cut.Corners[i])];
      const V3& b = Positions[static_cast<std::size_t>(cut.Corners[i + 1])];
      const double e1[3] = {double(a.x) - o.x, double(a.y) - o.y, double(a.z) - o.z};
      const double e2[3] = {double(b.x) - o.x, double(b.y) - o.y, double(b.z) - o.z};
      normal[0] += e1[1] * e2[2] - e1[2] * e2[1];
      normal[1] += e1[2] * e2[0] - e1[0] * e2[2];
      normal[2] += e1[0] * e2[1] - e1[1] * e2[0];
    }
  }
  if (!(normal[0] != 0 || normal[1] != 0 || normal[2] != 0)) {
    // A figure of eight has a zero area vector too; it has area, so it is kept as a fan.
    bool collinear = true;
    for (std::size_t i = 2; i < cut.Corners.size() && collinear; ++i) {
      const V3& o = Positions[static_cast<std::size_t>(cut.Corners[0])];
      const V3& a = Positions[static_cast<std::size_t>(cut.Corners[1])];
      const V3& b = Positions[static_cast<std::size_t>(cut.Corners[i])];
      const double e1[3] = {double(a.x) - o.x, double(a.y) - o.y, double(a.z) - o.z};
      const double e2[3] = {double(b.x) - o.x, double(b.y) - o.y, double(b.z) - o.z};
      collinear = e1[1] * e2[2] - e1[2] * e2[1] == 0 && e1[2] * e2[0] - e1[0] * e2[2] == 0 &&
                  e1[0] * e2[1] - e1[1] * e2[0] == 0;
    }
    if (cut.Corners.size() < 3 || collinear) {
      ++cut.Degenerate;
      return;
    }
    for (std::size_t i = 1; i + 1 < cut.Corners.size(); ++i)
      addTriangle(cut, cut.Corners[0], cut.Corners[i], cut.Corners[i + 1]);
    return;
  }
  if (cut.Corners.size() == 3) {
    addTriangle(cut, cut.Corners[0], cut.Corners[1], cut.Corners[2]);
    return;
  }
  clipEars(cut, normal);
}

void PolygonTriangulation::clipEars(Cut& cut, const double normal[3]) const {
  const std::size_t n = cut.Corners.size();
  // Project along the largest component of the area vector, with the two remaining axes in the
  // order that keeps the polygon counter-clockwise.
  int drop = 0;
  for (int axis = 1; axis < 3; ++axis)
    if (std::fabs(normal[axis]) > std::fabs(normal[drop])) drop = axis;
  int ua = (drop + 1) % 3, va = (drop + 2) % 3;
  if (normal[drop] < 0) std::swap(ua, va);
  cut.U.resize(n);
  cut.V.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const V3& p = Positions[static_cast<std::size_t>(cut.Corners[i])];
    const double c[3] = {p.x, p.y, p.z};
    cut.U[i] = c[ua];
    cut.V[i] = c[va];
  }
  auto turn = [&cut](std::size_t a, std::size_t b, std::size_t c) {
    return cross2(cut.U[a], cut.V[a], cut.U[b], cut.V[b], cut.U[c], cut.V[c]);
  };

  int reflex = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (turn((i + n - 1) % n, i, (i + 1) % n) <= 0) ++reflex;
  if (reflex == 0) {
    if (n == 4) {
      // A convex quad, planar or folded, is cut along its shorter diagonal.
      auto length2 = [this](int a, int b) {
        const V3& p = Positions[static_cast<std::size_t>(a)];
        const V3& q = Positions[static_cast<std::size_t>(b)];
        const double d[3] = {double(p.x) - q.x, double(p.y) - q.y, double(p.z) - q.z};
        return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
      };
      if (length2(cut.Corners[1], cut.Corners[3]) < length2(cut.Corners[0], cut.Corners[2])) {
        addTriangle(cut, cut.Corners[0], cut.Corners[1], cut.Corners[3]);
        addTriangle(cut, cut.Corners[1], cut.Corners[2], cut.Corners[3]);
      } else {
        addTriangle(cut, cut.Corners[0], cut.Corners[1], cut.Corners[2]);
        addTriangle(cut, cut.Corners[0], cut.Corners[2], cut.Corners[3]);
      }
      return;
    }
  }
  if (reflex == 0 || n > MaxEarClippingCorners) {
    for (std::size_t i = 1; i + 1 < n; ++i) addTriangle(cut, cut.Corners[0], cut.Corners[i], cut.Corners[i + 1]);
    return;
  }

  cut.Next.resize(n);
  cut.Prev.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    cut.Next[i] = static_cast<int>((i + 1) % n);
    cut.Prev[i] = static_cast<int>((i + n - 1) % n);
  }
  std::size_t left = n;
  std::size_t i = 0;
  while (left > 3) {
    // An ear: a convex corner whose triangle holds no other remaining corner. When none is found
    // (a polygon that crosses itself in projection), the most convex corner is cut anyway; every
    // cut keeps the boundary, so the triangles still close against the neighbouring polygons.
    std::size_t best = i;
    double bestTurn = -1e300;
    std::size_t k = i;
    for (std::size_t tried = 0; tried < left; ++tried, k = static_cast<std::size_t>(cut.Next[k])) {
      const std::size_t a = static_cast<std::size_t>(cut.Prev[k]), c = static_cast<std::size_t>(cut.Next[k]);
      const double t = turn(a, k, c);
      if (t > bestTurn) {
        bestTurn = t;
        best = k;
      }
      if (t <= 0) continue;
      bool empty = true;
      for (std::size_t m = static_cast<std::size_t>(cut.Next[c]); m != a && empty;
           m = static_cast<std::size_t>(cut.Next[m])) {
        if (cut.Corners[m] == cut.Corners[a] || cut.Corners[m] == cut.Corners[k] || cut.Corners[m] == cut.Corners[c])
          continue;
        empty = !(turn(a, k, m) >= 0 && turn(k, c, m) >= 0 && turn(c, a, m) >= 0);
      }
      if (empty) {
        best = k;
        break;
      }
    }
    const std::size_t a = static_cast<std::size_t>(cut.Prev[best]), c = static_cast<std::size_t>(cut.Next[best]);
    addTriangle(cut, cut.Corners[a], cut.Corners[best], cut.Corners[c]);
    cut.Next[a] = static_cast<int>(c);
    cut.Prev[c] = static_cast<int>(a);
    --left;
    i = c;
  }
  const std::size_t a = i, b = static_cast<std::size_t>(cut.Next[i]), c = static_cast<std::size_t>(cut.Next[b]);
  addTriangle(cut, cut.Corners[a], cut.Corners[b], cut.Corners[c]);
}

}  // namespace tessellor
