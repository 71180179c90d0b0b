#include "volume/TriangleClosestPoint.h"

namespace tessellor {

namespace {

inline double dot(const double u[3], const double v[3]) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; }

inline void copy(const double from[3], double to[3]) {
  to[0] = from[0];
  to[1] = from[1];
  to[2] = from[2];
}

// from + f * (to - from)
inline void along(const double from[3], const double to[3], double f, double out[3]) {
  for (int k = 0; k < 3; ++k) out[k] = from[k] + f * (to[k] - from[k]);
}

}  // namespace

TriangleClosestPoint::TriangleClosestPoint(const double a[3], const double b[3], const double c[3]) {
  copy(a, A);
  copy(b, B);
  copy(c, C);
  for (int k = 0; k < 3; ++k) {
    AB[k] = B[k] - A[k];
    AC[k] = C[k] - A[k];
  }
}

TriangleClosestPoint::Feature TriangleClosestPoint::find(const double p[3], double closest[3]) const {
  const double ap[3] = {p[0] - A[0], p[1] - A[1], p[2] - A[2]};
  const double d1 = dot(AB, ap), d2 = dot(AC, ap);
  if (d1 <= 0 && d2 <= 0) {
    copy(A, closest);
    return CornerA;
  }
  const double bp[3] = {p[0] - B[0], p[1] - B[1], p[2] - B[2]};
  const double d3 = dot(AB, bp), d4 = dot(AC, bp);
  if (d3 >= 0 && d4 <= d3) {
    copy(B, closest);
    return CornerB;
  }
  const double cp[3] = {p[0] - C[0], p[1] - C[1], p[2] - C[2]};
  const double d5 = dot(AB, cp), d6 = dot(AC, cp);
  if (d6 >= 0 && d5 <= d6) {
    copy(C, closest);
    return CornerC;
  }
  // vc, vb, va are the barycentric weights of c, b, a, each scaled by the triangle's squared
  // double area; a non-positive one puts p outside the opposite edge.
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) {
    const double den = d1 - d3;  // |AB|^2 > 0 here unless a = b
    along(A, B, den > 0 ? d1 / den : 0.0, closest);
    return EdgeAB;
  }
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) {
    const double den = d2 - d6;
    along(A, C, den > 0 ? d2 / den : 0.0, closest);
    return EdgeAC;
  }
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) {
    const double den = (d4 - d3) + (d5 - d6);
    along(B, C, den > 0 ? (d4 - d3) / den : 0.0, closest);
    return EdgeBC;
  }
  const double sum = va + vb + vc;
  if (!(sum > 0)) {
    // Only a degenerate triangle gets here.
    copy(A, closest);
    return CornerA;
  }
  const double v = vb / sum, w = vc / sum;
  for (int k = 0; k < 3; ++k) closest[k] = A[k] + v * AB[k] + w * AC[k];
  return Face;
}

}  // namespace tessellor
