#include "mesh/PolygonStorage.h"

#include "base/NullInterrupter.h"
#include "base/Parallel.h"
#include "base/StatusOutput.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tessellor {

namespace {

int degree(const PolygonStorage& mesh, int v) { return static_cast<int>(mesh.VIndex[v].size()); }

bool holdsAnIdTwice(const VertexIDList& quad) {
  for (std::size_t i = 0; i < quad.size(); ++i)
    for (std::size_t j = i + 1; j < quad.size(); ++j)
      if (quad[i] == quad[j]) return true;
  return false;
}

// Merging a into c must keep the surface a manifold: no polygon but the quad may already hold
// both (it would hold c twice afterwards), and a and c may have no edge neighbour in common
// besides the quad's other corners b and d (the merged vertex would get two edges to it, and the
// surface would gain a pinched edge). Either case changes the topology, so such a quad stays.
bool collapseKeepsManifold(const PolygonStorage& mesh, int quad, int a, int b, int c, int d) {
  const VertexIDSet& aroundA = mesh.VIndex[a];
  const VertexIDSet& aroundC = mesh.VIndex[c];
  for (int p : aroundA)
    if (p != quad && aroundC.count(p) != 0) return false;

  // a and c have degree 3, so each has at most six edge neighbours to compare.
  int neighboursOfA[6];
  int count = 0;
  for (int p : aroundA) {
    if (p == quad) continue;
    for (bool next : {false, true}) {
      const int u = mesh.neighbourInPolygon(p, a, next);
      if (u != b && u != d && count < 6) neighboursOfA[count++] = u;
    }
  }
  for (int p : aroundC) {
    if (p == quad) continue;
    for (bool next : {false, true}) {
      const int u = mesh.neighbourInPolygon(p, c, next);
      if (u != b && u != d && std::find(neighboursOfA, neighboursOfA + count, u) != neighboursOfA + count) return false;
    }
  }
  return true;
}

}  // namespace

void PolygonStorage::removeRhombusPolygons(bool vertexNormals) {
  if (Output) Output->beginTask("Removing rhombus polygons");

  // The rotation and the degree test of every quad as the mesh is before any collapse, found in
  // parallel: bit 0 rotate, bit 1 a candidate. A collapse changes degrees and ids only around the
  // quad it removes, whose vertices it marks; a quad with an unmarked corner set takes its answer
  // from here, the others are tested again when their turn comes.
  const int count = static_cast<int>(Polygons.size());
  std::vector<char> verdict(Polygons.size(), 0);
  forEachRange(count, 4096, [&](int begin, int end) {
    for (int p = begin; p < end; ++p) {
      const VertexIDList& quad = Polygons[p];
      if (quad.size() != 4) continue;
      const int r = degree(*this, quad[0]) != 3 ? 1 : 0;
      const int a = quad[r], b = quad[(r + 1) % 4], c = quad[(r + 2) % 4], d = quad[(r + 3) % 4];
      const bool fits = degree(*this, a) == 3 && degree(*this, b) >= 5 && degree(*this, c) == 3 &&
                        degree(*this, d) >= 5 && !holdsAnIdTwice(quad);
      verdict[p] = static_cast<char>(r | (fits ? 2 : 0));
    }
  });
  std::vector<char> touched(Vertices.size(), 0);

  for (int p = 0; p < count; ++p) {
    if ((p & 4095) == 0) throwIfInterrupted(Interrupter);
    VertexIDList& quad = Polygons[p];
    if (quad.size() != 4) continue;
    if (!touched[quad[0]] && !touched[quad[1]] && !touched[quad[2]] && !touched[quad[3]]) {
      if (verdict[p] & 1) std::rotate(quad.begin(), quad.begin() + 1, quad.end());
      if (!(verdict[p] & 2)) continue;
    } else {
      // The rotation comes before the tests, so a quad that is then rejected stays rotated.
      if (degree(*this, quad[0]) != 3) std::rotate(quad.begin(), quad.begin() + 1, quad.end());
      if (degree(*this, quad[0]) != 3 || degree(*this, quad[1]) < 5 || degree(*this, quad[2]) != 3 ||
          degree(*this, quad[3]) < 5)
        continue;
      // A quad holding an id twice would merge a vertex into itself.
      if (holdsAnIdTwice(quad)) continue;
    }
    const int a = quad[0];
    const int b = quad[1];
    const int c = quad[2];
    const int d = quad[3];
    if (!collapseKeepsManifold(*this, p, a, b, c, d)) continue;

    const V3 m = Midpoints[p].pos;
    deletePolygon(p);
    replaceVertex(a, c);
    // Every vertex around the merged one may see another degree or polygon from now on.
    for (int v : {a, b, c, d}) touched[v] = 1;
    for (int q : VIndex[c])
      for (int v : Polygons[q]) touched[v] = 1;
    moveVertex(Vertices[c], c, m.x, m.y, m.z, vertexNormals);
    if (vertexNormals) {
      computeVertexNormal(Vertices[b], b);
      computeVertexNormal(Vertices[d], d);
    }
  }
  buildEdgeIndex();

  if (Output) Output->endTask();
}

}  // namespace tessellor
