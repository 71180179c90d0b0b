// The exact closest point on a triangle, checked against the constructed answer and against a
// dense sampling of the triangle, on obtuse, needle and right triangles in random poses.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "volume/TriangleClosestPoint.h"

using namespace tessellor;

namespace {

struct P {
  double x, y, z;
};
P operator+(P a, P b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
P operator-(P a, P b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P operator*(double f, P a) { return {f * a.x, f * a.y, f * a.z}; }
double dot(P a, P b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
P cross(P a, P b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double norm(P a) { return std::sqrt(dot(a, a)); }
P unit(P a) { return (1.0 / norm(a)) * a; }

struct Triangle {
  std::string Kind;
  P V[3];  // a, b, c
};

// The triangle in the plane z = 0 with a at the origin and b on the x axis, of the given kind,
// its corners cyclically relabelled so that the special angle lands on every corner in turn, then
// rotated, scaled and moved at random.
Triangle randomTriangle(const std::string& kind, int serial, std::mt19937& rng) {
  std::uniform_real_distribution<double> unit01(0.0, 1.0);
  P c;
  if (kind == "obtuse") {
    // Alternately obtuse at a (c behind a), at b (c beyond b) and at c (c low over the middle).
    const int where = serial % 3;
    const double h = 0.2 + 0.6 * unit01(rng);
    if (where == 0) c = {-0.1 - 0.7 * unit01(rng), h, 0};
    if (where == 1) c = {1.1 + 0.7 * unit01(rng), h, 0};
    if (where == 2) c = {0.3 + 0.4 * unit01(rng), 0.05 + 0.3 * unit01(rng), 0};
  } else if (kind == "needle") {
    // Long and thin: a tiny height over a long base, c anywhere from inside to beyond b.
    c = {0.2 + 1.0 * unit01(rng), 0.002 + 0.02 * unit01(rng), 0};
  } else {
    c = {0, 0.2 + 1.8 * unit01(rng), 0};  // right angle at a
  }
  P base[3] = {{0, 0, 0}, {1, 0, 0}, c};
  const int shift = serial % 3;
  P tri[3] = {base[shift], base[(shift + 1) % 3], base[(shift + 2) % 3]};

  // Random rotation from a random unit quaternion.
  std::normal_distribution<double> gauss(0.0, 1.0);
  double q[4] = {gauss(rng), gauss(rng), gauss(rng), gauss(rng)};
  const double ql = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  for (double& v : q) v /= ql;
  const double w = q[0], x = q[1], y = q[2], z = q[3];
  const double R[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                          {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                          {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
  const double scale = 0.5 + 9.5 * unit01(rng);
  const P move = {20 * unit01(rng) - 10, 20 * unit01(rng) - 10, 20 * unit01(rng) - 10};
  Triangle t{kind, {}};
  for (int k = 0; k < 3; ++k) {
    const P p = tri[k];
    const P r = {R[0][0] * p.x + R[0][1] * p.y + R[0][2] * p.z, R[1][0] * p.x + R[1][1] * p.y + R[1][2] * p.z,
                 R[2][0] * p.x + R[2][1] * p.y + R[2][2] * p.z};
    t.V[k] = move + scale * r;
  }
  return t;
}

double longestEdge(const Triangle& t) {
  return std::max({norm(t.V[1] - t.V[0]), norm(t.V[2] - t.V[1]), norm(t.V[0] - t.V[2])});
}

// The smallest distance from q to the nodes of a barycentric grid of n steps per side. Every point
// of the triangle lies within longest edge / n of a node, so the true distance lies in
// [result - longest edge / n, result].
double sampledDistance(const Triangle& t, P q, int n) {
  double best = 1e300;
  const P e1 = t.V[1] - t.V[0], e2 = t.V[2] - t.V[0];
  for (int i = 0; i <= n; ++i)
    for (int j = 0; i + j <= n; ++j) {
      const P s = t.V[0] + (static_cast<double>(i) / n) * e1 + (static_cast<double>(j) / n) * e2;
      best = std::min(best, norm(q - s));
    }
  return best;
}

P find(const Triangle& t, P q, TriangleClosestPoint::Feature& feature) {
  const double a[3] = {t.V[0].x, t.V[0].y, t.V[0].z};
  const double b[3] = {t.V[1].x, t.V[1].y, t.V[1].z};
  const double c[3] = {t.V[2].x, t.V[2].y, t.V[2].z};
  const TriangleClosestPoint closestPoint(a, b, c);
  const double p[3] = {q.x, q.y, q.z};
  double r[3];
  feature = closestPoint.find(p, r);
  return {r[0], r[1], r[2]};
}

const char* featureName(int f) {
  static const char* const names[] = {"?",        "face",     "edge a-b", "edge a-c",
                                      "edge b-c", "corner a", "corner b", "corner c"};
  return f >= 1 && f <= 7 ? names[f] : "?";
}

// A query point whose closest point is known: q = x + k m + h n, with x on the wanted feature and
// m an in-plane direction that points out of the triangle across that feature (any direction of
// the corner's outward cone for a corner).
struct Query {
  P Q, Expected;
  int Feature;
};

Query queryFor(const Triangle& t, int feature, std::mt19937& rng) {
  std::uniform_real_distribution<double> unit01(0.0, 1.0);
  const double size = longestEdge(t);
  const P n = unit(cross(t.V[1] - t.V[0], t.V[2] - t.V[0]));
  // Outward in-plane normal of the edge from corner i to corner j.
  auto outward = [&](int i, int j) {
    const int o = 3 - i - j;
    P m = unit(cross(n, t.V[j] - t.V[i]));
    if (dot(m, t.V[o] - t.V[i]) > 0) m = -1.0 * m;
    return m;
  };
  const double h = size * (4 * unit01(rng) - 2);
  const double k = size * (0.01 + 2 * unit01(rng));
  Query query{{}, {}, feature};
  if (feature == TriangleClosestPoint::Face) {
    double w[3] = {0.05 + unit01(rng), 0.05 + unit01(rng), 0.05 + unit01(rng)};
    const double sum = w[0] + w[1] + w[2];
    query.Expected = (w[0] / sum) * t.V[0] + (w[1] / sum) * t.V[1] + (w[2] / sum) * t.V[2];
    query.Q = query.Expected + h * n;
  } else if (feature <= TriangleClosestPoint::EdgeBC) {
    static const int ends[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    const int i = ends[feature - 2][0], j = ends[feature - 2][1];
    const double f = 0.05 + 0.9 * unit01(rng);
    query.Expected = t.V[i] + f * (t.V[j] - t.V[i]);
    query.Q = query.Expected + k * outward(i, j) + h * n;
  } else {
    const int v = feature - 5, u = (v + 1) % 3, w = (v + 2) % 3;
    const double beta = 0.05 + 0.9 * unit01(rng);
    const P m = unit(beta * outward(v, u) + (1 - beta) * outward(v, w));
    query.Expected = t.V[v];
    query.Q = query.Expected + k * m + h * n;
  }
  return query;
}

const char* const Kinds[] = {"obtuse", "needle", "right"};

}  // namespace

// Points built to lie in each of the seven regions of each triangle: the feature and the point
// are the constructed ones, and no sample of the triangle is nearer.
TEST(TriangleClosestPoint, EveryRegionOfObtuseNeedleAndRightTriangles) {
  std::mt19937 rng(20261206);
  int checked = 0;
  for (const char* kind : Kinds)
    for (int serial = 0; serial < 18; ++serial) {
      const Triangle t = randomTriangle(kind, serial, rng);
      const double size = longestEdge(t);
      for (int feature = 1; feature <= 7; ++feature)
        for (int repeat = 0; repeat < 3; ++repeat) {
          const Query query = queryFor(t, feature, rng);
          TriangleClosestPoint::Feature got;
          const P p = find(t, query.Q, got);
          const std::string where = std::string(kind) + " triangle " + std::to_string(serial) + ", " +
                                    featureName(feature) + " region, repeat " + std::to_string(repeat);
          EXPECT_EQ(got, feature) << where << ": found on " << featureName(got);
          EXPECT_LT(norm(p - query.Expected), 1e-9 * size) << where;
          const int n = 250;
          const double sampled = sampledDistance(t, query.Q, n);
          const double d = norm(query.Q - p);
          EXPECT_LE(d, sampled + 1e-12 * size) << where << ": a sample is nearer";
          EXPECT_GE(d, sampled - size / n) << where << ": nearer than the triangle allows";
          ++checked;
        }
    }
  EXPECT_EQ(checked, 3 * 18 * 7 * 3);
}

// Unconstructed points all around the triangle, including far ones: the point found lies on the
// triangle, on the feature reported, and beats every sample.
TEST(TriangleClosestPoint, RandomPointsAgreeWithDenseSampling) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> spread(-1.0, 1.0);
  for (const char* kind : Kinds)
    for (int serial = 0; serial < 12; ++serial) {
      const Triangle t = randomTriangle(kind, serial, rng);
      const double size = longestEdge(t);
      const P centre = (1.0 / 3.0) * (t.V[0] + t.V[1] + t.V[2]);
      const P e1 = t.V[1] - t.V[0], e2 = t.V[2] - t.V[0], n = cross(e1, e2);
      for (int repeat = 0; repeat < 25; ++repeat) {
        const double reach = repeat < 20 ? 1.5 * size : 20 * size;
        const P q = centre + reach * P{spread(rng), spread(rng), spread(rng)};
        TriangleClosestPoint::Feature got;
        const P p = find(t, q, got);
        const std::string where = std::string(kind) + " triangle " + std::to_string(serial) + ", point " +
                                  std::to_string(repeat) + " on " + featureName(got);
        // Barycentric coordinates of p (p - a = u e1 + v e2 in the plane).
        const P r = p - t.V[0];
        const double nn = dot(n, n);
        const double u = dot(cross(r, e2), n) / nn, v = dot(cross(e1, r), n) / nn, w = 1 - u - v;
        const double tol = 1e-9;
        EXPECT_LT(std::fabs(dot(r, n)) / std::sqrt(nn), tol * size) << where << ": off the plane";
        EXPECT_GE(std::min({u, v, w}), -tol) << where << ": outside the triangle";
        switch (got) {
          case TriangleClosestPoint::Face:
            EXPECT_GT(std::min({u, v, w}), 0.0) << where;
            break;
          case TriangleClosestPoint::EdgeAB:
            EXPECT_NEAR(v, 0.0, tol) << where;
            break;
          case TriangleClosestPoint::EdgeAC:
            EXPECT_NEAR(u, 0.0, tol) << where;
            break;
          case TriangleClosestPoint::EdgeBC:
            EXPECT_NEAR(w, 0.0, tol) << where;
            break;
          case TriangleClosestPoint::CornerA:
            EXPECT_LT(norm(p - t.V[0]), tol * size) << where;
            break;
          case TriangleClosestPoint::CornerB:
            EXPECT_LT(norm(p - t.V[1]), tol * size) << where;
            break;
          case TriangleClosestPoint::CornerC:
            EXPECT_LT(norm(p - t.V[2]), tol * size) << where;
            break;
        }
        const int steps = 250;
        const double sampled = sampledDistance(t, q, steps);
        const double d = norm(q - p);
        EXPECT_LE(d, sampled + 1e-12 * size) << where;
        EXPECT_GE(d, sampled - size / steps) << where;
      }
    }
}

// The sheared triangle where moving parallel to the other edge overshoots: beside edge a-b the
// closest point is straight above the edge, sqrt(0.5) away, not the corner b at sqrt(0.75).
TEST(TriangleClosestPoint, ShearedTriangleBesideItsFirstEdge) {
  const Triangle t{"sheared", {{1.5, 1.5, 1.5}, {3.5, 1.5, 1.5}, {3.5, 3.5, 1.5}}};
  TriangleClosestPoint::Feature got;
  const P p = find(t, {3, 1, 2}, got);
  EXPECT_EQ(got, TriangleClosestPoint::EdgeAB);
  EXPECT_DOUBLE_EQ(p.x, 3.0);
  EXPECT_DOUBLE_EQ(p.y, 1.5);
  EXPECT_DOUBLE_EQ(p.z, 1.5);
  EXPECT_DOUBLE_EQ(norm(P{3, 1, 2} - p), std::sqrt(0.5));
  // Farther below the same edge, where the triangle's own parameters are already past b
  // (s = 1.35, t = -0.5): still the edge, 1 away, not the corner b at sqrt(1.09).
  const P below = find(t, {3.2, 0.5, 1.5}, got);
  EXPECT_EQ(got, TriangleClosestPoint::EdgeAB);
  EXPECT_NEAR(below.x, 3.2, 1e-12);
  EXPECT_NEAR(norm(P{3.2, 0.5, 1.5} - below), 1.0, 1e-12);
}
