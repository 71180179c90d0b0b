#include <gtest/gtest.h>

#include <cstring>

#include "algebra/mat3.h"
#include "algebra/vec2.h"
#include "algebra/vec3.h"
#include "base/Diagnostics.h"
#include "support/DiagnosticsCapture.h"

using namespace tessellor;

namespace {

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expectRow(const vec3& r, float x, float y, float z, const char* what) {
  EXPECT_TRUE(sameBits(r.v[0], x)) << what << ": " << r.v[0] << " vs " << x;
  EXPECT_TRUE(sameBits(r.v[1], y)) << what << ": " << r.v[1] << " vs " << y;
  EXPECT_TRUE(sameBits(r.v[2], z)) << what << ": " << r.v[2] << " vs " << z;
}

// Value comparison: -0 and 0 count as equal.
void expectValues(const vec3& r, float x, float y, float z, const char* what) {
  EXPECT_EQ(r.v[0], x) << what;
  EXPECT_EQ(r.v[1], y) << what;
  EXPECT_EQ(r.v[2], z) << what;
}

}  // namespace

TEST(Vec3, DefaultsAndBasicOperations) {
  const vec3 zero;
  expectRow(zero, 0, 0, 0, "default vec3");
  const mat3 id;
  expectRow(id[0], 1, 0, 0, "identity row 0");
  expectRow(id[2], 0, 0, 1, "identity row 2");

  const vec3 a(1, 2, 3), b(4, 5, 6);
  EXPECT_EQ(a * b, 32.0f) << "dot product";
  expectRow(a ^ b, -3, 6, -3, "cross product");
  expectRow(b ^ a, 3, -6, 3, "cross product is anti-commutative");
  expectRow(2.0f * a, 2, 4, 6, "s * v");
  expectRow(a * 2.0f, 2, 4, 6, "v * s");
  EXPECT_EQ(vec3(3, 4, 12).length(), 13.0f);
  EXPECT_EQ(vec3(3, 4, 12).length2(), 169.0f);

  vec3 c(3, 0, 4);
  c.normalize();
  expectRow(c, 0.6f, 0.0f, 0.8f, "normalize");

  vec3 p(1, 1, 1), q(2, 2, 2);
  swap(p, q);
  expectRow(p, 2, 2, 2, "swap");
  expectRow(q, 1, 1, 1, "swap");

  const mat3 m(vec3(1, 2, 3), vec3(4, 5, 6), vec3(7, 8, 10));
  expectRow(m * vec3(1, 0, -1), -2, -2, -3, "mat3 * vec3");
  expectRow(m.transpose()[0], 1, 4, 7, "transpose row 0");
  expectRow(m.transpose()[2], 3, 6, 10, "transpose row 2");
}

// The division is one reciprocal and three multiplications, so dividing by 4 must give
// exactly the floats that scaling by 0.25 gives; so must dividing by 3 and scaling by 1/3f.
TEST(Vec3, InPlaceDivisionIsMultiplicationByReciprocal) {
  const float samples[] = {0.1f, 1.0f / 3.0f, 7.0f, -123.456f, 1e-30f, 3.4e38f};
  for (float x : samples) {
    vec3 v(x, -x, x * 0.7f);
    v /= 4.0f;
    const vec3 w = vec3(x, -x, x * 0.7f) * 0.25f;
    expectRow(v, w.v[0], w.v[1], w.v[2], "v /= 4 against v * 0.25");

    vec3 t(x, 1.0f, -x);
    t /= 3.0f;
    const float r = 1.0f / 3.0f;
    expectRow(t, x * r, 1.0f * r, -x * r, "v /= 3 against v * (1/3f)");
  }
  // 1/3 with a true division differs from 1 * (1/3f) in the last bit for 10.
  vec3 ten(10, 10, 10);
  ten /= 3.0f;
  EXPECT_TRUE(sameBits(ten.v[0], 10.0f * (1.0f / 3.0f)));
}

TEST(Mat3, InverseOfPermutationIsTransposedPermutation) {
  // Cyclic permutation: every column has exactly one 1, so pivots come from later rows.
  const mat3 p(vec3(0, 1, 0), vec3(0, 0, 1), vec3(1, 0, 0));
  DiagnosticsCapture capture;
  const mat3 inv = p.inverse();
  EXPECT_EQ(capture.Text, "") << "a permutation is not singular";
  const mat3 t = p.transpose();
  for (int i = 0; i < 3; ++i) expectValues(inv[i], t[i][0], t[i][1], t[i][2], "inverse of P");
  expectValues(inv[0], 0, 0, 1, "inverse row 0");

  // Negative permutation: |-1| counts as 1.
  const mat3 n(vec3(0, 0, -1), vec3(-1, 0, 0), vec3(0, 1, 0));
  const mat3 ninv = n.inverse();
  expectValues(ninv[0], 0, -1, 0, "inverse of signed P, row 0");
  expectValues(ninv[1], 0, 0, 1, "inverse of signed P, row 1");
  expectValues(ninv[2], -1, 0, 0, "inverse of signed P, row 2");
}

// Rows 1 and 2 tie on |a[i][0]| = 5. Keeping the earlier row on a tie gives these floats;
// taking the later row gives results that differ in the last bits (e.g. 0.0425531939).
TEST(Mat3, PivotTiesKeepTheEarlierRow) {
  const mat3 m(vec3(1, 1, -8), vec3(5, -2, 8), vec3(5, 0, 1));
  const mat3 inv = m.inverse();
  expectRow(inv[0], 0.0425532013f, 0.0212766007f, 0.170212761f, "row 0");
  expectRow(inv[1], -0.744680822f, -0.872340441f, 1.02127659f, "row 1");
  expectRow(inv[2], -0.212765947f, -0.106382973f, 0.148936167f, "row 2");
}

TEST(Mat3, SingularMatrixIsReportedAndSurvived) {
  const mat3 s(vec3(1, 2, 3), vec3(2, 4, 6), vec3(0, 0, 1));
  DiagnosticsCapture capture;
  (void)s.inverse();
  EXPECT_NE(capture.Text.find("VERROR mat3::inverse: singular matrix; can't invert\n"), std::string::npos)
      << capture.Text;
}

TEST(Algebra, OutOfRangeIndexTouchesNothingOutside) {
  struct Guarded {
    float before[4];
    vec3 v;
    float after[4];
  } g{{1, 2, 3, 4}, vec3(5, 6, 7), {8, 9, 10, 11}};
  {
    DiagnosticsCapture capture;
    g.v[3] = 99.0f;
    g.v[-1] = 98.0f;
    (void)static_cast<const vec3&>(g.v)[7];
    EXPECT_EQ(capture.Text,
              "VERROR vec3 [] operator: illegal access\n"
              "VERROR vec3 [] operator: illegal access\n"
              "VERROR vec3 [] operator: illegal access\n");
  }
  expectRow(g.v, 5, 6, 7, "vec3 itself");
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(g.before[i], float(i + 1));
    EXPECT_EQ(g.after[i], float(i + 8));
  }

  vec2 w(1, 2);
  {
    DiagnosticsCapture capture;
    w[2] = 5.0f;
    EXPECT_EQ(capture.Text, "VERROR vec2 [] operator: illegal access\n");
  }
  EXPECT_EQ(w[0], 1.0f);
  EXPECT_EQ(w[1], 2.0f);
  const vec2 d = vec2(5, 7) - vec2(1, 2);
  EXPECT_EQ(d[0], 4.0f);
  EXPECT_EQ(d[1], 5.0f);

  mat3 m;
  {
    DiagnosticsCapture capture;
    m[3] = vec3(9, 9, 9);
    m[-2][0] = 4.0f;
    EXPECT_EQ(capture.Text,
              "VERROR mat3 [] operator: illegal access\n"
              "VERROR mat3 [] operator: illegal access\n");
  }
  expectRow(m[0], 1, 0, 0, "mat3 row 0 untouched");
  expectRow(m[1], 0, 1, 0, "mat3 row 1 untouched");
  expectRow(m[2], 0, 0, 1, "mat3 row 2 untouched");
  // Reading an out-of-range index after a write there still answers zero.
  DiagnosticsCapture capture;
  EXPECT_EQ(m[5][0], 0.0f);
}
