#include "mesh/PolygonStorage.h"

#include "base/Assert.h"
#include "base/NullInterrupter.h"
#include "base/StatusOutput.h"

#include <cstddef>

namespace tessellor {

void PolygonStorage::reducePolygonDegree() {
  if (Output) Output->beginTask("Reducing polygon degree");

  // The bound is re-read every time: pieces appended below are visited too (none has more than
  // four corners).
  for (int p = 0; p < static_cast<int>(Polygons.size()); ++p) {
    if ((p & 4095) == 0) throwIfInterrupted(Interrupter);
    const std::size_t n = Polygons[p].size();
    if (n <= 4) continue;
    if (n == 5) {
      splitPolygon(p, 0, 2);
    } else if (n % 2 == 1) {
      // Cut off one triangle so that an even polygon remains, then fan it around its centroid,
      // which the split has just recomputed.
      splitPolygon(p, 0, 2);
      splitPolygonAroundCenter(p, 4, 0, Midpoints[p]);
    } else {
      splitPolygonAroundCenter(p, 4, 0, Midpoints[p]);
    }
  }
  buildEdgeIndex();

  if (Output) Output->endTask();
}

void PolygonStorage::splitPolygonAroundCenter(int p, int g, int start, Vertex centerVertex) {
  if (g <= 2) tessellorAssertionFailed("g>2", __FILE__, __LINE__);
  const VertexIDList old = Polygons[p];
  const int n = static_cast<int>(old.size());
  TS_ASSERT(start >= 0 && start < n);

  const int c = addVertex(centerVertex);
  VIndex.emplace_back();
  Polygons.reserve(Polygons.size() + old.size());

  const int s = old[start];
  removePolygonFromIndex(p);

  // Pieces take the runs F..E of g - 1 corners (E shared with the next piece) plus the centre;
  // p keeps what comes before the first run and after the last one.
  const int step = g - 2;
  int first = start;
  int end = first + step < n ? first + step : n;
  while (end != n) {
    const int q = static_cast<int>(Polygons.size());
    Polygons.emplace_back(old.begin() + first, old.begin() + end + 1);
    Polygons.back().push_back(c);
    Midpoints.resize(Polygons.size());
    updatePolygon(q);
    first = end;
    end = first + step < n ? first + step : n;
  }

  VertexIDList& rest = Polygons[p];
  rest.assign(old.begin(), old.begin() + start);
  rest.push_back(s);
  rest.push_back(c);
  rest.insert(rest.end(), old.begin() + first, old.end());
  updatePolygon(p);
}

}  // namespace tessellor
