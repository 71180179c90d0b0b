#pragma once

namespace tessellor {

// The finite-element shape measures of one triangle or quadrilateral, as the Verdict mesh-quality
// library defines them. Corners P0..P(n-1) in boundary order, edges L(k) = P(k+1) - P(k); for a
// quad the principal axes X1 = (P1 - P0) + (P2 - P3), X2 = (P2 - P1) + (P3 - P0), the corner
// normals N(k) = L(k-1) x L(k), the centre normal n_c = unit(X1 x X2) and the signed corner
// areas alpha(k) = n_c . N(k).
//
//   interior angles   in degrees; a quad corner with alpha(k) < 0 is reflex (360 - angle)
//   aspect ratio      triangle: Lmax (L0 + L1 + L2) / (4 sqrt(3) A), quad: Lmax (L0 + .. + L3) / (4 A)
//                     with the quad area A = (alpha(0) + .. + alpha(3)) / 4; 1 for the ideal shape
//   skew (quad)       |unit(X1) . unit(X2)|
//   taper (quad)      |(P0 - P1) + (P2 - P3)| / min(|X1|, |X2|)
//   warpage (quad)    1 - min(n(0) . n(2), n(1) . n(3))^3 with n(k) = unit(N(k))
//   scaled Jacobian   quad: min over corners of alpha(k) / (|L(k-1)| |L(k)|); triangle: the same
//                     with |N(k)|, times 2 / sqrt(3) so that the equilateral triangle gives 1
//
// A degenerate element (an edge of zero length, no area) has a scaled Jacobian of 0 and the
// unbounded measures take ShapeMax. Skew, taper and warpage are 0 for triangles.
struct ElementShape {
  static constexpr double ShapeMax = 1e30;

  double MinAngle = 0.0;
  double MaxAngle = 0.0;
  double AspectRatio = 0.0;
  double Skew = 0.0;
  double Taper = 0.0;
  double Warpage = 0.0;
  double ScaledJacobian = 0.0;

  static ElementShape triangle(const double p[3][3]);
  static ElementShape quad(const double p[4][3]);
  // The scaled Jacobian alone, as triangle(p).ScaledJacobian and quad(p).ScaledJacobian give it.
  static double triangleScaledJacobian(const double p[3][3]);
  static double quadScaledJacobian(const double p[4][3]);
};

}  // namespace tessellor
