#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "base/UninitializedVector.h"

namespace tessellor {

class PolygonStorage;

// Distances from points to a polygon mesh's surface, in the coordinates of the file the mesh came
// from. Polygons are cut into fans of triangles, which a uniform grid of buckets holds; a query
// searches shells of buckets around its point until no nearer triangle can remain.
class SurfaceDistance {
 public:
  // queries is the number of distances expected to be asked for; with many more of them than
  // triangles, smaller buckets, which hold fewer triangles to test, pay for their cost.
  explicit SurfaceDistance(const PolygonStorage& mesh, std::size_t queries = 0);

  bool empty() const { return Triangles.empty(); }
  // The distance from p to the nearest triangle; -1 for a mesh without triangles of any area.
  double distance(const std::array<double, 3>& p) const {
    int hint = -1;
    return distance(p, hint);
  }
  // The same, for a run of queries near one another: hint names a triangle to try first (-1 for
  // none) and becomes the nearest one found. The distance does not depend on it.
  double distance(const std::array<double, 3>& p, int& hint) const;

 private:
  using P3 = std::array<double, 3>;
  int cellIndex(int x, int y, int z) const { return (x * Cells[1] + y) * Cells[2] + z; }
  int cellOf(double coordinate, int axis) const {
    const double c = std::floor((coordinate - Min[axis]) / CellSize);
    if (!(c > 0.0)) return 0;
    return std::min(Cells[axis] - 1, static_cast<int>(c));
  }

  UninitializedVector<P3> Points;
  UninitializedVector<std::array<int, 3>> Triangles;
  // Per triangle its bounding box, the lower corner then the upper one, rounded outwards to float.
  UninitializedVector<std::array<float, 6>> Boxes;
  P3 Min{}, Max{};
  double CellSize = 1.0;
  int Cells[3] = {1, 1, 1};
  // The triangles of bucket b are BucketTriangles[BucketStart[b] .. BucketStart[b + 1]), ascending.
  UninitializedVector<int> BucketStart;
  UninitializedVector<int> BucketTriangles;
};

}  // namespace tessellor
