#pragma once

namespace tessellor {

// The point of a triangle closest to a query point, in double precision, and the feature of the
// triangle that holds it. The triangle's Voronoi regions are told apart by the signs of dot
// products with its edges (no projection into its own parameters), so the point found is the
// true closest point for every triangle shape, obtuse and needle-like ones included.
class TriangleClosestPoint {
 public:
  // Numbered as the voxelizer numbers its regions: 1 the face, 2 to 4 the edges a-b, a-c, b-c,
  // 5 to 7 the corners a, b, c.
  enum Feature { Face = 1, EdgeAB = 2, EdgeAC = 3, EdgeBC = 4, CornerA = 5, CornerB = 6, CornerC = 7 };

  TriangleClosestPoint(const double a[3], const double b[3], const double c[3]);

  // Writes the closest point of the triangle to p into closest and returns its feature. A point
  // on the border of two regions goes to the one tested first (corners before edges before the
  // face). The triangle must not be degenerate; for one that is, the result is a point of it but
  // maybe not the closest.
  Feature find(const double p[3], double closest[3]) const;

 private:
  double A[3], B[3], C[3];
  double AB[3], AC[3];
};

}  // namespace tessellor
