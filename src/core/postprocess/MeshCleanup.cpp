#include "postprocess/MeshCleanup.h"

#include <algorithm>
#include <cstring>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "base/LogFrame.h"
#include "base/BucketSort.h"
#include "base/Parallel.h"
#include "base/StatusOutput.h"
#include "base/TaskClock.h"
#include "mesh/ElementShape.h"
#include "mesh/PolygonStorage.h"

namespace tessellor {

namespace {

using P3 = std::array<double, 3>;

double distance(const P3& a, const P3& b) {
  const double x = a[0] - b[0], y = a[1] - b[1], z = a[2] - b[2];
  return std::sqrt(x * x + y * y + z * z);
}

P3 cross(const P3& a, const P3& b, const P3& c) {
  // (b - a) x (c - a)
  const P3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, w{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  return {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
}

double dot(const P3& a, const P3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The mesh as plain polygon lists while it is mended; Origin orders the pieces of a cut polygon
// right after the polygon they came from.
class Mender {
 public:
  explicit Mender(const PolygonStorage& mesh) {
    const int vertices = static_cast<int>(mesh.Vertices.size());
    Positions.resize(mesh.Vertices.size());
    Attributes.resize(mesh.Vertices.size());
    Source.resize(mesh.Vertices.size());
    forEachRange(vertices, 1 << 14, [&](int begin, int end) {
      for (int v = begin; v < end; ++v) {
        const Vertex& vertex = mesh.Vertices[v];
        Positions[v] = {vertex.pos.x, vertex.pos.y, vertex.pos.z};
        Attributes[v] = vertex.attr;
        Source[v] = v;
      }
    });
    Around.resize(mesh.Vertices.size());
    // Per polygon: 0 when it goes (fewer than three corners, or an id without a vertex), 1 when it
    // names every vertex once, 2 when it names one again and is cut.
    const int count = static_cast<int>(mesh.Polygons.size());
    std::vector<char> kind(mesh.Polygons.size(), 0);
    forEachRange(count, 4096, [&](int begin, int end) {
      for (int p = begin; p < end; ++p) {
        const VertexIDList& polygon = mesh.Polygons[p];
        bool valid = polygon.size() >= 3;
        for (int id : polygon) valid = valid && id >= 0 && id < vertices;
        if (valid) kind[p] = repeatsVertex(polygon) ? 2 : 1;
      }
    });
    if (std::find(kind.begin(), kind.end(), 2) == kind.end()) {
      takeSimplePolygons(mesh, kind);
      return;
    }
    // Pieces of a cut polygon are numbered right after it: one polygon after another.
    for (int p = 0; p < count; ++p) {
      if (!kind[p]) {
        ++Counts.RemovedPolygons;
        continue;
      }
      Origin.push_back(p);
      Polygons.push_back(mesh.Polygons[p]);
      index(static_cast<int>(Polygons.size()) - 1);
      normalize(static_cast<int>(Polygons.size()) - 1);
    }
  }

  void mend() {
    // Each pass mends what the one before left or made; a few passes settle every mesh seen.
    // Whether a polygon needs mending is read in parallel for the mesh as a pass finds it; until
    // the pass changes something those answers hold, after that each is read again in turn.
    std::vector<char> flagged;
    bool changed = false;  // whether anything below changed the mesh the flags were read from
    for (int pass = 0; pass < 20; ++pass) {
      const int known = static_cast<int>(Polygons.size());
      flagged.assign(static_cast<std::size_t>(known), 0);
      // The flags are read from the mesh as it is, whose facings are found once each.
      Facings.resize(static_cast<std::size_t>(known));
      FacingLengths.resize(static_cast<std::size_t>(known));
      forEachRange(known, 1024, [&](int begin, int end) {
        for (int p = begin; p < end; ++p) {
          Facings[p] = facing(p);
          FacingLengths[p] = std::sqrt(dot(Facings[p], Facings[p]));
        }
      });
      forEachRange(known, 1024, [&](int begin, int end) {
        for (int p = begin; p < end; ++p) flagged[p] = needsMending(p) ? 1 : 0;
      });
      // Mending changes polygons: from here on facings are computed as they are asked for.
      std::vector<P3>().swap(Facings);
      std::vector<double>().swap(FacingLengths);
      int changes = 0;
      for (int p = 0; p < static_cast<int>(Polygons.size()); ++p) {
        if (changes == 0 && p < known && !flagged[p]) continue;
        if (mendPolygon(p)) ++changes;
      }
      if (changes == 0) break;
      changed = true;
    }
    // Likewise for the pinches: until one is separated, the parallel answers hold.
    const int vertices = static_cast<int>(Positions.size());
    std::vector<char> pinched(static_cast<std::size_t>(vertices), 0);
    forEachRange(vertices, 1024, [&](int begin, int end) {
      for (int v = begin; v < end; ++v) pinched[v] = severalFans(v) ? 1 : 0;
    });
    bool separated = false;
    for (int v = 0; v < vertices; ++v) {
      if (!separated && !pinched[v]) continue;
      if (separateFans(v)) separated = true;
    }
    const int parted = Counts.PartedVertices;
    partCoincidentVertices();
    changed = changed || separated || Counts.PartedVertices != parted;
    const int count = static_cast<int>(Polygons.size());
    // What is left degenerate is what needs mending; on a mesh nothing changed, the flags say so.
    if (!changed) {
      for (char f : flagged) Counts.RemainingDegenerate += f;
      return;
    }
    std::vector<char> degenerate(static_cast<std::size_t>(count), 0);
    forEachRange(count, 1024, [&](int begin, int end) {
      for (int p = begin; p < end; ++p) {
        const std::size_t n = Polygons[p].size();
        degenerate[p] =
            (n == 3 || n == 4) && (scaledJacobian(p) <= MeshCleanup::MinScaledJacobian || foldedBack(p)) ? 1 : 0;
      }
    });
    for (char d : degenerate) Counts.RemainingDegenerate += d;
  }

  // Writes the mended polygons and the vertices they use back into mesh, numbered in order.
  void writeBack(PolygonStorage& mesh, bool movedVertices) {
    std::vector<int> order;
    for (int p = 0; p < static_cast<int>(Polygons.size()); ++p)
      if (Polygons[p].size() >= 3) order.push_back(p);
    const auto byOrigin = [this](int a, int b) { return Origin[a] < Origin[b]; };
    if (!std::is_sorted(order.begin(), order.end(), byOrigin)) std::stable_sort(order.begin(), order.end(), byOrigin);

    // A vertex stays when a written polygon uses it: marked from the polygons in parallel.
    const int vertexCount = static_cast<int>(Positions.size());
    std::unique_ptr<std::atomic<char>[]> kept(new std::atomic<char>[Positions.size()]);
    forEachRange(vertexCount, 1 << 14, [&](int begin, int end) {
      for (int v = begin; v < end; ++v) kept[v].store(0, std::memory_order_relaxed);
    });
    const int orderCount = static_cast<int>(order.size());
    forEachRange(orderCount, 4096, [&](int begin, int end) {
      for (int i = begin; i < end; ++i)
        for (int v : Polygons[order[i]]) kept[v].store(1, std::memory_order_relaxed);
    });
    std::vector<int> newId(Positions.size(), -1);
    int keptCount = 0;
    for (int v = 0; v < vertexCount; ++v) {
      if (kept[v].load(std::memory_order_relaxed))
        newId[v] = keptCount++;
      else
        ++Counts.RemovedVertices;
    }
    kept.reset();
    std::vector<Vertex> vertices(static_cast<std::size_t>(keptCount));
    forEachRange(vertexCount, 1 << 14, [&](int begin, int end) {
      for (int v = begin; v < end; ++v) {
        if (newId[v] < 0) continue;
        Vertex& record = vertices[newId[v]];
        record = mesh.Vertices[Source[v]];
        if (movedVertices) {
          record.pos = V3{static_cast<float>(Positions[v][0]), static_cast<float>(Positions[v][1]),
                          static_cast<float>(Positions[v][2])};
          record.attr = Attributes[v];
        }
      }
    });
    std::vector<VertexIDList> polygons(order.size());
    forEachRange(orderCount, 4096, [&](int begin, int end) {
      for (int i = begin; i < end; ++i) {
        const VertexIDList& from = Polygons[order[i]];
        VertexIDList& polygon = polygons[i];
        polygon.resize(from.size());
        for (std::size_t k = 0; k < from.size(); ++k) polygon[k] = newId[from[k]];
      }
    });
    mesh.Vertices.swap(vertices);
    mesh.Polygons.swap(polygons);
  }

  MeshCleanup::Result Counts;

 private:
  static bool repeatsVertex(const VertexIDList& polygon) {
    for (std::size_t i = 1; i < polygon.size(); ++i)
      if (std::find(polygon.begin(), polygon.begin() + static_cast<std::ptrdiff_t>(i), polygon[i]) !=
          polygon.begin() + static_cast<std::ptrdiff_t>(i))
        return true;
    return false;
  }

  // The constructor for a mesh whose kept polygons all name every vertex once: none is cut, so
  // polygon i is the i-th kept one and the lists are made in bulk. Taken one by one, each polygon
  // would meet only the polygons before it in removeTwin; the polygons that have a twin among
  // those are found in parallel, and only they are taken in turn, in order, as before.
  void takeSimplePolygons(const PolygonStorage& mesh, const std::vector<char>& kind) {
    const int count = static_cast<int>(kind.size());
    for (int p = 0; p < count; ++p) {
      if (kind[p])
        Origin.push_back(p);
      else
        ++Counts.RemovedPolygons;
    }
    const int kept = static_cast<int>(Origin.size());
    Polygons.resize(Origin.size());
    forEachRange(kept, 4096, [&](int begin, int end) {
      for (int i = begin; i < end; ++i) Polygons[i] = mesh.Polygons[Origin[i]];
    });
    // Around: the polygons of every vertex, ascending.
    const int vertices = static_cast<int>(Positions.size());
    std::vector<int> start, users;
    PolygonStorage::polygonsOfVertices(Polygons, vertices, start, users);
    forEachRange(vertices, 1 << 14, [&](int begin, int end) {
      for (int v = begin; v < end; ++v) Around[v].assign(users.data() + start[v], users.data() + start[v + 1]);
    });
    std::vector<char> twinned(Polygons.size(), 0);
    forEachRange(kept, 4096, [&](int begin, int end) {
      for (int i = begin; i < end; ++i) twinned[i] = twinBefore(i, i) >= 0 ? 1 : 0;
    });
    for (int i = 0; i < kept; ++i)
      if (twinned[i]) removeTwin(i, i);
  }

  void index(int p) {
    for (int v : Polygons[p]) {
      IdList& list = Around[v];
      if (std::find(list.begin(), list.end(), p) == list.end()) list.push_back(p);
    }
  }

  bool used(int v) const {
    for (int p : Around[v])
      if (std::find(Polygons[p].begin(), Polygons[p].end(), v) != Polygons[p].end()) return true;
    return false;
  }

  // The live polygons around v (the lists may hold polygons that no longer use v).
  std::vector<int> polygonsAround(int v) const {
    std::vector<int> result;
    for (int p : Around[v])
      if (std::find(Polygons[p].begin(), Polygons[p].end(), v) != Polygons[p].end()) result.push_back(p);
    return result;
  }

  // Drops repeated neighbours and cuts the polygon where it names a vertex again; pieces of
  // fewer than three corners go.
  void normalize(int p) {
    VertexIDList& polygon = Polygons[p];
    // Most polygons name every vertex once: they stay as they are.
    if (!repeatsVertex(polygon) && polygon.size() >= 3) {
      removeTwin(p);
      return;
    }
    VertexIDList stack;
    std::vector<VertexIDList> loops;
    for (int v : polygon) {
      auto again = std::find(stack.begin(), stack.end(), v);
      if (again == stack.end()) {
        stack.push_back(v);
        continue;
      }
      loops.emplace_back(again, stack.end());
      stack.erase(again + 1, stack.end());
    }
    // The rest closes over the end of the list: its first vertex may be its last one.
    loops.push_back(stack);
    std::vector<VertexIDList> kept;
    for (VertexIDList& loop : loops)
      if (loop.size() >= 3) kept.push_back(std::move(loop));
    if (kept.size() > 1) ++Counts.SplitPolygons;
    if (kept.empty()) {
      ++Counts.RemovedPolygons;
      polygon.clear();
      return;
    }
    polygon = kept[0];
    for (std::size_t i = 1; i < kept.size(); ++i) {
      Polygons.push_back(kept[i]);
      Origin.push_back(Origin[p]);
      index(static_cast<int>(Polygons.size()) - 1);
    }
    for (std::size_t i = 0; i < kept.size(); ++i)
      removeTwin(i == 0 ? p : static_cast<int>(Polygons.size() - kept.size() + i));
  }

  // The first polygon other than p, listed at p's first corner and below `below`, over the same
  // vertices as p; -1 when there is none.
  int twinBefore(int p, int below) const {
    const VertexIDList& polygon = Polygons[p];
    if (polygon.size() < 3) return -1;
    for (int q : Around[polygon[0]]) {
      if (q >= below) break;
      const VertexIDList& candidate = Polygons[q];
      if (q == p || candidate.size() != polygon.size()) continue;
      // The live polygons around the first corner, and of those only the ones with all corners.
      bool all = true;
      for (int v : polygon) all = all && std::find(candidate.begin(), candidate.end(), v) != candidate.end();
      if (!all) continue;
      std::vector<int> sorted(polygon.begin(), polygon.end());
      std::sort(sorted.begin(), sorted.end());
      std::vector<int> other(Polygons[q].begin(), Polygons[q].end());
      std::sort(other.begin(), other.end());
      if (other == sorted) return q;
    }
    return -1;
  }

  // Two polygons over the same vertices enclose nothing: both go when they face each other,
  // one of them when they are copies. Only polygons listed below `below` are looked at.
  void removeTwin(int p, int below = std::numeric_limits<int>::max()) {
    const int q = twinBefore(p, below);
    if (q < 0) return;
    const VertexIDList& polygon = Polygons[p];
    const std::size_t n = polygon.size();
    const std::size_t at = std::find(Polygons[q].begin(), Polygons[q].end(), polygon[0]) - Polygons[q].begin();
    const bool sameWay = Polygons[q][(at + 1) % n] == polygon[1];
    if (!sameWay) {
      Polygons[q].clear();
      ++Counts.RemovedPolygons;
    }
    Polygons[p].clear();
    ++Counts.RemovedPolygons;
  }

  double scaledJacobian(int p) const {
    const VertexIDList& polygon = Polygons[p];
    double corners[4][3];
    for (std::size_t i = 0; i < polygon.size() && i < 4; ++i)
      for (int k = 0; k < 3; ++k) corners[i][k] = Positions[polygon[i]][k];
    return polygon.size() == 3 ? ElementShape::triangleScaledJacobian(corners)
                               : ElementShape::quadScaledJacobian(corners);
  }

  // The smallest scaled Jacobian of triangle abc, negative when it faces against `facing`.
  double facedJacobian(int a, int b, int c, const P3& facing) const {
    double corners[3][3];
    const int ids[3] = {a, b, c};
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 3; ++k) corners[i][k] = Positions[ids[i]][k];
    const double q = ElementShape::triangleScaledJacobian(corners);
    return dot(cross(Positions[a], Positions[b], Positions[c]), facing) > 0.0 ? q : -q;
  }

  // The facing of polygon p, from Facings while they are kept.
  P3 facingOf(int p) const { return static_cast<std::size_t>(p) < Facings.size() ? Facings[p] : facing(p); }
  // The length of polygon p's facing f, from FacingLengths while they are kept.
  double facingLength(int p, const P3& f) const {
    return static_cast<std::size_t>(p) < FacingLengths.size() ? FacingLengths[p] : std::sqrt(dot(f, f));
  }

  // The polygon's normal from its corners (Newell), not normalised.
  P3 facing(int p) const {
    const VertexIDList& polygon = Polygons[p];
    P3 sum{0.0, 0.0, 0.0};
    const std::size_t n = polygon.size();
    for (std::size_t i = 0; i < n; ++i) {
      const P3& a = Positions[polygon[i]];
      const P3& b = Positions[polygon[(i + 1) % n]];
      sum[0] += (a[1] - b[1]) * (a[2] + b[2]);
      sum[1] += (a[2] - b[2]) * (a[0] + b[0]);
      sum[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    return sum;
  }

  // A polygon lies folded back onto the surface when it faces against the polygons across more
  // of its edges than it faces along with: it overlaps its neighbours.
  bool foldedBack(int p) const {
    const VertexIDList& polygon = Polygons[p];
    const std::size_t n = polygon.size();
    const P3 own = facingOf(p);
    const double ownLength = facingLength(p, own);
    if (!(ownLength > 0.0)) return false;
    int folded = 0, along = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const int a = polygon[i], b = polygon[(i + 1) % n];
      for (int q : Around[a]) {
        if (q == p) continue;
        // q runs the edge either way where a corner a has b before or after it.
        const VertexIDList& other = Polygons[q];
        const std::size_t m = other.size();
        bool shares = false;
        for (std::size_t k = 0; k < m && !shares; ++k)
          shares = other[k] == a && (other[k + 1 == m ? 0 : k + 1] == b || other[k == 0 ? m - 1 : k - 1] == b);
        if (!shares) continue;
        const P3 theirs = facingOf(q);
        const double theirLength = facingLength(q, theirs);
        if (theirLength > 0.0 && dot(own, theirs) < -0.5 * ownLength * theirLength) ++folded;
        if (theirLength > 0.0 && dot(own, theirs) > 0.5 * ownLength * theirLength) ++along;
        break;
      }
    }
    return folded > 0 && folded > along;
  }

  // The test mendPolygon starts with: a triangle or quad folded back or without area.
  bool needsMending(int p) const {
    const std::size_t n = Polygons[p].size();
    if (n != 3 && n != 4) return false;
    return foldedBack(p) || scaledJacobian(p) <= MeshCleanup::MinScaledJacobian;
  }

  bool mendPolygon(int p) {
    const std::size_t n = Polygons[p].size();
    if (n != 3 && n != 4) return false;
    const bool folded = foldedBack(p);
    if (!folded && scaledJacobian(p) > MeshCleanup::MinScaledJacobian) return false;
    const VertexIDList polygon = Polygons[p];

    // Edges by length, shortest first.
    std::vector<std::pair<double, int>> edges;
    for (std::size_t i = 0; i < n; ++i)
      edges.emplace_back(distance(Positions[polygon[i]], Positions[polygon[(i + 1) % n]]), static_cast<int>(i));
    std::sort(edges.begin(), edges.end());
    const double longest = edges.back().first;

    if (n == 4 && !folded && edges.front().first > 1e-6 * longest) {
      // A quad folded over a corner: cut along the diagonal whose triangles both face the quad's
      // way (the corner normals summed).
      P3 facing{0.0, 0.0, 0.0};
      for (std::size_t i = 0; i < 4; ++i) {
        const P3 c = cross(Positions[polygon[i]], Positions[polygon[(i + 1) % 4]], Positions[polygon[(i + 3) % 4]]);
        for (int k = 0; k < 3; ++k) facing[k] += c[k];
      }
      double best = MeshCleanup::MinScaledJacobian;
      int diagonal = -1;
      for (int d = 0; d < 2; ++d) {
        const int a = polygon[d], b = polygon[d + 1], c = polygon[d + 2], e = polygon[(d + 3) % 4];
        const double q = std::min(facedJacobian(a, b, c, facing), facedJacobian(a, c, e, facing));
        if (q > best) {
          best = q;
          diagonal = d;
        }
      }
      if (diagonal >= 0) {
        const int d = diagonal;
        Polygons[p] = {polygon[d], polygon[d + 1], polygon[d + 2]};
        Polygons.push_back({polygon[d], polygon[d + 2], polygon[(d + 3) % 4]});
        Origin.push_back(Origin[p]);
        index(static_cast<int>(Polygons.size()) - 1);
        ++Counts.SplitPolygons;
        return true;
      }
    }
    // No area, folded beyond a cut or back onto the surface: collapse the shortest edge that keeps
    // the surface manifold.
    for (const auto& edge : edges) {
      const int u = polygon[edge.second], v = polygon[(edge.second + 1) % n];
      if (collapse(u, v)) return true;
    }
    return false;
  }

  // The neighbours before and after v in each polygon of around, and for each polygon the index
  // (into around) of the first polygon of its fan: polygons sharing a neighbour of v are one fan.
  struct Fans {
    std::vector<std::pair<int, int>> Sides;
    std::vector<int> Root;
  };
  Fans fansAround(int v, const std::vector<int>& around) const {
    Fans fans;
    for (int p : around) {
      const VertexIDList& polygon = Polygons[p];
      const std::size_t n = polygon.size();
      const std::size_t at = std::find(polygon.begin(), polygon.end(), v) - polygon.begin();
      fans.Sides.emplace_back(polygon[(at + n - 1) % n], polygon[(at + 1) % n]);
    }
    std::vector<int> fan(around.size());
    for (std::size_t i = 0; i < fan.size(); ++i) fan[i] = static_cast<int>(i);
    const auto root = [&fan](int i) {
      while (fan[i] != i) i = fan[i] = fan[fan[i]];
      return i;
    };
    const std::vector<std::pair<int, int>>& sides = fans.Sides;
    for (std::size_t i = 0; i < around.size(); ++i)
      for (std::size_t j = i + 1; j < around.size(); ++j)
        if (sides[i].first == sides[j].second || sides[i].second == sides[j].first ||
            sides[i].first == sides[j].first || sides[i].second == sides[j].second)
          fan[std::max(root(static_cast<int>(i)), root(static_cast<int>(j)))] =
              std::min(root(static_cast<int>(i)), root(static_cast<int>(j)));
    for (std::size_t i = 0; i < around.size(); ++i) fans.Root.push_back(root(static_cast<int>(i)));
    return fans;
  }

  // Whether the polygons around v form more than one fan (separateFans changes nothing else).
  // The usual few polygons are held on the stack; the fans are the same as fansAround finds.
  bool severalFans(int v) const {
    constexpr int Small = 32;
    int before[Small], after[Small], fan[Small];
    int count = 0;
    for (int p : Around[v]) {
      const VertexIDList& polygon = Polygons[p];
      const auto at = std::find(polygon.begin(), polygon.end(), v);
      if (at == polygon.end()) continue;
      if (count == Small) {
        const std::vector<int> around = polygonsAround(v);
        const Fans fans = fansAround(v, around);
        return std::any_of(fans.Root.begin() + 1, fans.Root.end(), [](int r) { return r != 0; });
      }
      const std::size_t n = polygon.size(), i = static_cast<std::size_t>(at - polygon.begin());
      before[count] = polygon[(i + n - 1) % n];
      after[count] = polygon[(i + 1) % n];
      fan[count] = count;
      ++count;
    }
    const auto root = [&fan](int i) {
      while (fan[i] != i) i = fan[i] = fan[fan[i]];
      return i;
    };
    for (int i = 0; i < count; ++i)
      for (int j = i + 1; j < count; ++j)
        if (before[i] == after[j] || after[i] == before[j] || before[i] == before[j] || after[i] == after[j])
          fan[std::max(root(i), root(j))] = std::min(root(i), root(j));
    for (int i = 1; i < count; ++i)
      if (root(i) != 0) return true;
    return false;
  }

  // Where the polygons around v form several fans that touch only at v (a pinch), every fan but
  // the first gets a vertex of its own in the same place, so that each vertex has one fan.
  // Returns whether v was pinched (and so fans were given vertices of their own).
  bool separateFans(int v) {
    const std::vector<int> around = polygonsAround(v);
    if (around.size() < 2) return false;
    const Fans fans = fansAround(v, around);
    const std::vector<std::pair<int, int>>& sides = fans.Sides;
    const auto root = [&fans](int i) { return fans.Root[static_cast<std::size_t>(i)]; };
    std::vector<int> vertexOfFan(around.size(), -1);
    vertexOfFan[0] = v;  // the first fan keeps v
    for (std::size_t i = 0; i < around.size(); ++i) {
      const int r = root(static_cast<int>(i));
      if (vertexOfFan[r] < 0) {
        vertexOfFan[r] = static_cast<int>(Positions.size());
        Positions.push_back(Positions[v]);
        Attributes.push_back(Attributes[v]);
        Source.push_back(Source[v]);
        Around.emplace_back();
        ++Counts.SeparatedFans;
      }
    }
    // Fans that touched in one point would still touch: each copy moves a twentieth of the way
    // towards the middle of its fan's neighbours, which parts them without folding anything.
    std::vector<P3> middle(around.size(), P3{0.0, 0.0, 0.0});
    std::vector<int> count(around.size(), 0);
    const P3 at = Positions[v];
    for (std::size_t i = 0; i < around.size(); ++i) {
      const int r = root(static_cast<int>(i));
      for (int w : {sides[i].first, sides[i].second}) {
        for (int k = 0; k < 3; ++k) middle[r][k] += Positions[w][k];
        ++count[r];
      }
    }
    bool pinched = false;
    for (std::size_t i = 1; i < around.size(); ++i) pinched = pinched || root(static_cast<int>(i)) != 0;
    if (!pinched) return false;
    for (std::size_t r = 0; r < around.size(); ++r) {
      if (count[r] == 0) continue;
      for (int k = 0; k < 3; ++k) Positions[vertexOfFan[r]][k] = at[k] + 0.05 * (middle[r][k] / count[r] - at[k]);
    }
    for (std::size_t i = 0; i < around.size(); ++i) {
      const int r = root(static_cast<int>(i));
      if (r == 0) continue;
      for (int& id : Polygons[around[i]])
        if (id == v) id = vertexOfFan[r];
      index(around[i]);
    }
    return true;
  }

  // Vertices of different polygons in one place (feature snapping puts them there) make sheets
  // touch: each moves a twentieth of the way towards the middle of its edge neighbours.
  void partCoincidentVertices() {
    // Only the runs of vertices in one place matter, not their order (every move is made from
    // the places before any move). The used vertices are filed by a hash of their place into a
    // few thousand buckets, and each bucket is sorted by hash, then (for equal hashes only) by
    // the bits of the place, then by id: vertices in one place come together however many share
    // it. -0.0 and 0.0 are one place, as the comparison has it; a NaN place is equal to none.
    const int vertices = static_cast<int>(Positions.size());
    std::vector<char> isUsed(Positions.size(), 0);
    forEachRange(vertices, 4096, [&](int begin, int end) {
      for (int v = begin; v < end; ++v) isUsed[v] = used(v) ? 1 : 0;
    });
    const auto placeBits = [this](int v) {
      std::array<std::uint64_t, 3> bits;
      for (int k = 0; k < 3; ++k) {
        const double c = Positions[v][k] + 0.0;
        std::memcpy(&bits[k], &c, sizeof c);
      }
      return bits;
    };
    using Placed = std::pair<std::uint64_t, int>;  // hash, vertex
    constexpr int HashBuckets = 1 << 12;
    const std::vector<std::pair<int, int>> ranges = splitRange(vertices, 1 << 14);
    std::vector<int> start;
    std::vector<Placed> placed;
    fileInBuckets<Placed>(
        static_cast<int>(ranges.size()), HashBuckets,
        [&](int r, auto put) {
          for (int v = ranges[r].first; v < ranges[r].second; ++v) {
            if (!isUsed[v]) continue;
            std::uint64_t h = 1469598103934665603ull;
            for (std::uint64_t bits : placeBits(v)) {
              h = (h ^ bits) * 1099511628211ull;
              h ^= h >> 29;
            }
            put(static_cast<int>(h >> 52), Placed{h, v});
          }
        },
        start, placed);
    std::vector<std::vector<int>> runs(HashBuckets);  // per bucket each run's length, then its vertices
    forEachRange(HashBuckets, 64, [&](int begin, int end) {
      for (int b = begin; b < end; ++b) {
        Placed* first = placed.data() + start[b];
        Placed* last = placed.data() + start[b + 1];
        std::sort(first, last, [&](const Placed& x, const Placed& y) {
          if (x.first != y.first) return x.first < y.first;
          const std::array<std::uint64_t, 3> a = placeBits(x.second), c = placeBits(y.second);
          return a < c || (a == c && x.second < y.second);
        });
        for (Placed* run = first; run != last;) {
          Placed* after = run + 1;
          while (after != last && Positions[after->second] == Positions[run->second]) ++after;
          if (after - run >= 2) {
            runs[b].push_back(static_cast<int>(after - run));
            for (Placed* at = run; at != after; ++at) runs[b].push_back(at->second);
          }
          run = after;
        }
      }
    });
    std::vector<Placed>().swap(placed);
    std::vector<std::pair<int, P3>> moves;
    std::vector<int> around;
    bool boundary = false;
    for (const std::vector<int>& bucket : runs) {
      for (std::size_t at = 0; at < bucket.size(); at += static_cast<std::size_t>(bucket[at]) + 1) {
        for (int i = 1; i <= bucket[at]; ++i) {
          const int v = bucket[at + static_cast<std::size_t>(i)];
          neighbours(v, around, boundary);
          if (around.empty()) continue;
          P3 middle{0.0, 0.0, 0.0};
          for (int w : around)
            for (int k = 0; k < 3; ++k) middle[k] += Positions[w][k] / static_cast<double>(around.size());
          P3 moved = Positions[v];
          for (int k = 0; k < 3; ++k) moved[k] += 0.05 * (middle[k] - moved[k]);
          moves.emplace_back(v, moved);
        }
      }
    }
    for (const auto& move : moves) Positions[move.first] = move.second;
    Counts.PartedVertices += static_cast<int>(moves.size());
  }

  // The edge neighbours of v, and whether an edge out of v has a single polygon.
  void neighbours(int v, std::vector<int>& result, bool& boundary) const {
    std::unordered_map<int, int> uses;
    for (int p : polygonsAround(v)) {
      const VertexIDList& polygon = Polygons[p];
      const std::size_t n = polygon.size();
      for (std::size_t i = 0; i < n; ++i) {
        if (polygon[i] != v) continue;
        ++uses[polygon[(i + 1) % n]];
        ++uses[polygon[(i + n - 1) % n]];
      }
    }
    result.clear();
    boundary = false;
    for (const auto& entry : uses) {
      if (entry.first == v) continue;
      result.push_back(entry.first);
      if (entry.second == 1) boundary = true;
    }
    std::sort(result.begin(), result.end());
  }

  // Merges v into u when the surface stays manifold: every vertex that is a neighbour of both
  // must be the third corner of a triangle on the edge, and two border vertices may not be joined
  // across the inside.
  bool collapse(int u, int v) {
    std::vector<int> nu, nv;
    bool bu = false, bv = false;
    neighbours(u, nu, bu);
    neighbours(v, nv, bv);
    std::vector<int> common;
    std::set_intersection(nu.begin(), nu.end(), nv.begin(), nv.end(), std::back_inserter(common));
    std::vector<int> edgePolygons;
    for (int p : polygonsAround(u)) {
      const VertexIDList& polygon = Polygons[p];
      const std::size_t n = polygon.size();
      for (std::size_t i = 0; i < n; ++i)
        if ((polygon[i] == u && polygon[(i + 1) % n] == v) || (polygon[i] == v && polygon[(i + 1) % n] == u))
          edgePolygons.push_back(p);
    }
    for (int w : common) {
      bool apex = false;
      for (int p : edgePolygons)
        if (Polygons[p].size() == 3 && std::find(Polygons[p].begin(), Polygons[p].end(), w) != Polygons[p].end())
          apex = true;
      if (!apex) return false;
    }
    if (bu && bv && edgePolygons.size() != 1) return false;

    // The feature vertex keeps its place; else the two meet halfway.
    if (Attributes[v] > Attributes[u]) {
      Positions[u] = Positions[v];
      Attributes[u] = Attributes[v];
    } else if (Attributes[v] == Attributes[u]) {
      for (int k = 0; k < 3; ++k) Positions[u][k] = 0.5 * (Positions[u][k] + Positions[v][k]);
    }
    for (int p : polygonsAround(v)) {
      for (int& id : Polygons[p])
        if (id == v) id = u;
      index(p);
      normalize(p);
    }
    Around[v].clear();
    ++Counts.CollapsedEdges;
    return true;
  }

  std::vector<P3> Positions;
  std::vector<std::uint8_t> Attributes;
  std::vector<int> Source;  // the mesh's vertex each one copies
  std::vector<VertexIDList> Polygons;
  std::vector<int> Origin;
  std::vector<IdList> Around;         // per vertex, the polygons that use or used it
  std::vector<P3> Facings;            // per polygon its facing, while no polygon changes
  std::vector<double> FacingLengths;  // and the lengths of those facings
};

// Rebuilds the indices, midpoints and normals of a mesh whose lists were replaced, without the
// index's own log line (the task reports what changed).
void rebuild(PolygonStorage& mesh, bool normals) {
  StatusOutput* output = mesh.Output;
  mesh.Output = nullptr;
  mesh.buildIndex();
  mesh.computeMidpoints();
  if (normals) mesh.computeVertexNormals();
  if (!mesh.Vertices.empty()) mesh.computeBoundingBox();
  mesh.Output = output;
}

void report(StatusOutput* status, const char* format, int value) {
  if (!status) return;
  char line[100];
  std::snprintf(line, sizeof line, format, value);
  status->writeLine(line);
}

}  // namespace

MeshCleanup::Result MeshCleanup::compact(PolygonStorage& mesh, StatusOutput* status) {
  if (status) status->beginTask("Removing unused entries");
  Result result;
  {
    std::vector<int> newId(mesh.Vertices.size(), -1);
    std::vector<VertexIDList> polygons;
    const int vertexCount = static_cast<int>(mesh.Vertices.size());
    for (const VertexIDList& polygon : mesh.Polygons) {
      bool valid = polygon.size() >= 3;
      for (int id : polygon) valid = valid && id >= 0 && id < vertexCount;
      if (!valid) {
        ++result.RemovedPolygons;
        continue;
      }
      for (int id : polygon) newId[id] = 0;
      polygons.push_back(polygon);
    }
    std::vector<Vertex> vertices;
    for (int v = 0; v < vertexCount; ++v) {
      if (newId[v] < 0) {
        ++result.RemovedVertices;
        continue;
      }
      newId[v] = static_cast<int>(vertices.size());
      vertices.push_back(mesh.Vertices[v]);
    }
    for (VertexIDList& polygon : polygons)
      for (int& id : polygon) id = newId[id];
    mesh.Vertices.swap(vertices);
    mesh.Polygons.swap(polygons);
  }
  rebuild(mesh, false);
  report(status, "Removed polygons: %d", result.RemovedPolygons);
  report(status, "Removed vertices: %d", result.RemovedVertices);
  if (status) status->endTask();
  return result;
}

MeshCleanup::Result MeshCleanup::repair(PolygonStorage& mesh, StatusOutput* status, bool rebuildIndices) {
  if (status) status->beginTask("Cleaning up mesh");
  Mender mender(mesh);
  // The mender has its own lists; the indices and polygons are made anew from its result.
  std::vector<VertexIDList>().swap(mesh.Polygons);
  std::vector<VertexIDSet>().swap(mesh.VIndex);
  std::vector<Vertex>().swap(mesh.Midpoints);
  EdgeIndexTable().swap(mesh.EdgeIndex);
  mender.mend();
  mender.writeBack(mesh, true);
  if (rebuildIndices)
    rebuild(mesh, true);
  else if (!mesh.Vertices.empty())
    mesh.computeBoundingBox();
  const Result result = mender.Counts;
  report(status, "Collapsed edges: %d", result.CollapsedEdges);
  report(status, "Split polygons: %d", result.SplitPolygons);
  if (result.SeparatedFans > 0) report(status, "Vertices added where fans touched: %d", result.SeparatedFans);
  if (result.PartedVertices > 0) report(status, "Vertices parted from others in one place: %d", result.PartedVertices);
  report(status, "Removed polygons: %d", result.RemovedPolygons);
  report(status, "Removed vertices: %d", result.RemovedVertices);
  if (result.RemainingDegenerate > 0) report(status, "Degenerate elements left: %d", result.RemainingDegenerate);
  if (status) status->endTask();
  return result;
}

}  // namespace tessellor
