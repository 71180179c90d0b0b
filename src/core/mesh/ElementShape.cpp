#include "mesh/ElementShape.h"

#include <algorithm>
#include <cmath>

namespace tessellor {

namespace {

// Edges shorter than this (relative to the element's size) count as collapsed.
constexpr double Tiny = 1e-12;
constexpr double Degrees = 57.29577951308232;

struct D3 {
  double x, y, z;
};

D3 sub(const double a[3], const double b[3]) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
D3 add(const D3& a, const D3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
D3 neg(const D3& a) { return {-a.x, -a.y, -a.z}; }
double dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 cross(const D3& a, const D3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(const D3& a) { return std::sqrt(dot(a, a)); }

// The angle between u and w in degrees, 0 when either has no length.
double angleBetween(const D3& u, const D3& w) {
  const double lu = length(u), lw = length(w);
  if (lu <= 0.0 || lw <= 0.0) return 0.0;
  const double c = std::max(-1.0, std::min(1.0, dot(u, w) / (lu * lw)));
  return std::acos(c) * Degrees;
}

// What every measure of a triangle starts from.
struct TriangleFrame {
  D3 L[3];
  double len[3];
  double lmax, area2;  // area2: twice the area
  bool collapsed;

  explicit TriangleFrame(const double p[3][3])
      : L{sub(p[1], p[0]), sub(p[2], p[1]), sub(p[0], p[2])}, len{length(L[0]), length(L[1]), length(L[2])} {
    lmax = std::max({len[0], len[1], len[2]});
    area2 = length(cross(L[0], L[1]));
    collapsed = !(lmax > 0.0) || std::min({len[0], len[1], len[2]}) <= Tiny * lmax || area2 <= Tiny * lmax * lmax;
  }
  double scaledJacobian() const {
    if (collapsed) return 0.0;
    // Every corner spans twice the area; the longest pair of edges gives the smallest sine.
    const double pairMax = std::max({len[0] * len[1], len[1] * len[2], len[2] * len[0]});
    return 2.0 / std::sqrt(3.0) * area2 / pairMax;
  }
};

// What every measure of a quad starts from.
struct QuadFrame {
  D3 L[4];
  double len[4];
  double lmax, lmin;
  D3 X1, X2;
  double centreLength;
  D3 N[4];
  double alpha[4];
  bool collapsed;

  explicit QuadFrame(const double p[4][3]) : L{sub(p[1], p[0]), sub(p[2], p[1]), sub(p[3], p[2]), sub(p[0], p[3])} {
    for (int k = 0; k < 4; ++k) len[k] = length(L[k]);
    lmax = std::max({len[0], len[1], len[2], len[3]});
    lmin = std::min({len[0], len[1], len[2], len[3]});
    X1 = add(L[0], neg(L[2]));
    X2 = add(L[1], neg(L[3]));
    const D3 centre = cross(X1, X2);
    centreLength = length(centre);
    const D3 nc = centreLength > 0.0 ? D3{centre.x / centreLength, centre.y / centreLength, centre.z / centreLength}
                                     : D3{0.0, 0.0, 0.0};
    for (int k = 0; k < 4; ++k) {
      N[k] = cross(L[(k + 3) % 4], L[k]);
      alpha[k] = dot(nc, N[k]);
    }
    collapsed = !(lmax > 0.0) || lmin <= Tiny * lmax || centreLength <= 0.0;
  }
  double scaledJacobian() const {
    if (collapsed) return 0.0;
    double jacobian = 1.0;
    for (int k = 0; k < 4; ++k) jacobian = std::min(jacobian, alpha[k] / (len[(k + 3) % 4] * len[k]));
    return jacobian;
  }
};

}  // namespace

double ElementShape::triangleScaledJacobian(const double p[3][3]) { return TriangleFrame(p).scaledJacobian(); }

double ElementShape::quadScaledJacobian(const double p[4][3]) { return QuadFrame(p).scaledJacobian(); }

ElementShape ElementShape::triangle(const double p[3][3]) {
  ElementShape s;
  const TriangleFrame f(p);
  const D3* L = f.L;
  const double* len = f.len;
  const double lmax = f.lmax, area2 = f.area2;
  s.MinAngle = 180.0;
  s.MaxAngle = 0.0;
  for (int k = 0; k < 3; ++k) {
    const double a = angleBetween(neg(L[(k + 2) % 3]), L[k]);
    s.MinAngle = std::min(s.MinAngle, a);
    s.MaxAngle = std::max(s.MaxAngle, a);
  }
  s.ScaledJacobian = f.scaledJacobian();
  if (f.collapsed) {
    s.AspectRatio = ShapeMax;
    return s;
  }
  s.AspectRatio = lmax * (len[0] + len[1] + len[2]) / (2.0 * std::sqrt(3.0) * area2);
  return s;
}

ElementShape ElementShape::quad(const double p[4][3]) {
  ElementShape s;
  const QuadFrame f(p);
  const D3* L = f.L;
  const double* len = f.len;
  const double lmax = f.lmax;
  const D3 &X1 = f.X1, &X2 = f.X2;
  const D3* N = f.N;
  const double* alpha = f.alpha;

  // Angles: a corner whose signed area is negative is reflex.
  s.MinAngle = 360.0;
  s.MaxAngle = 0.0;
  for (int k = 0; k < 4; ++k) {
    double a = angleBetween(neg(L[(k + 3) % 4]), L[k]);
    if (alpha[k] < 0.0) a = 360.0 - a;
    s.MinAngle = std::min(s.MinAngle, a);
    s.MaxAngle = std::max(s.MaxAngle, a);
  }

  const double l1 = length(X1), l2 = length(X2);
  s.Skew = (l1 > Tiny * lmax && l2 > Tiny * lmax) ? std::fabs(dot(X1, X2)) / (l1 * l2) : 0.0;
  const double axisMin = std::min(l1, l2);
  const D3 X12 = add(neg(L[0]), neg(L[2]));  // (P0 - P1) + (P2 - P3)
  s.Taper = axisMin > Tiny * lmax ? length(X12) / axisMin : ShapeMax;

  double nDot[2] = {1.0, 1.0};
  bool normalsDefined = true;
  double nLen[4];
  for (int k = 0; k < 4; ++k) {
    nLen[k] = length(N[k]);
    if (!(nLen[k] > Tiny * lmax * lmax)) normalsDefined = false;
  }
  if (normalsDefined) {
    nDot[0] = dot(N[0], N[2]) / (nLen[0] * nLen[2]);
    nDot[1] = dot(N[1], N[3]) / (nLen[1] * nLen[3]);
    const double m = std::min(nDot[0], nDot[1]);
    s.Warpage = 1.0 - m * m * m;
  } else {
    s.Warpage = ShapeMax;
  }

  s.ScaledJacobian = f.scaledJacobian();
  if (f.collapsed) {
    s.AspectRatio = ShapeMax;
    return s;
  }
  const double area = 0.25 * (alpha[0] + alpha[1] + alpha[2] + alpha[3]);
  s.AspectRatio = area > Tiny * lmax * lmax ? lmax * (len[0] + len[1] + len[2] + len[3]) / (4.0 * area) : ShapeMax;
  return s;
}

}  // namespace tessellor
