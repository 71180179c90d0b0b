#include <gtest/gtest.h>

#include <cstring>

#include "algebra/mat3.h"
#include "algebra/vec2.h"
#include "algebra/vec3.h"
#include "support/DiagnosticsCapture.h"

using namespace tessellor;

namespace {

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expectRow(const vec3& r, float x, float y, float z, const char* what) {
  EXPECT_TRUE(sameBits(r.v[0], x) && sameBits(r.v[1], y) && sameBits(r.v[2], z))
      << what << ": (" << r.v[0] << ", " << r.v[1] << ", " << r.v[2] << ") vs (" << x << ", " << y << ", " << z << ")";
}

}  // namespace

TEST(Algebra, ProductsAndTheReciprocalDivision) {
  const vec3 a(1, 2, 3), b(4, 5, 6);
  EXPECT_EQ(a * b, 32.0f) << "dot product";
  expectRow(a ^ b, -3, 6, -3, "cross product");
  const mat3 m(vec3(1, 2, 3), vec3(4, 5, 6), vec3(7, 8, 10));
  expectRow(m * vec3(1, 0, -1), -2, -2, -3, "mat3 * vec3 takes the rows");
  expectRow(m.transpose()[2], 3, 6, 10, "transpose");
  // v /= s is one reciprocal and three multiplications: 10 * (1/3f) differs from 10/3 in the last bit.
  vec3 ten(10, 10, 10);
  ten /= 3.0f;
  EXPECT_TRUE(sameBits(ten.v[0], 10.0f * (1.0f / 3.0f)));
}

// Rows 1 and 2 tie on |a[i][0]| = 5; the earlier row is the pivot. The later one gives results
// that differ in the last bits (e.g. 0.0425531939).
TEST(Algebra, InversePivotTiesKeepTheEarlierRowAndASingularMatrixIsReported) {
  const mat3 inv = mat3(vec3(1, 1, -8), vec3(5, -2, 8), vec3(5, 0, 1)).inverse();
  expectRow(inv[0], 0.0425532013f, 0.0212766007f, 0.170212761f, "row 0");
  expectRow(inv[1], -0.744680822f, -0.872340441f, 1.02127659f, "row 1");
  expectRow(inv[2], -0.212765947f, -0.106382973f, 0.148936167f, "row 2");
  DiagnosticsCapture capture;
  (void)mat3(vec3(1, 2, 3), vec3(2, 4, 6), vec3(0, 0, 1)).inverse();
  EXPECT_NE(capture.Text.find("VERROR mat3::inverse: singular matrix; can't invert\n"), std::string::npos);
}

TEST(Algebra, OutOfRangeIndexIsReportedAndTouchesNothing) {
  struct Guarded {
    float before;
    vec3 v;
    float after;
  } g{1, vec3(5, 6, 7), 8};
  mat3 m;
  vec2 w(1, 2);
  DiagnosticsCapture capture;
  g.v[3] = 99.0f;
  g.v[-1] = 98.0f;
  m[3] = vec3(9, 9, 9);
  w[2] = 5.0f;
  EXPECT_EQ(m[5][0], 0.0f) << "a read after a write out of range still answers zero";
  EXPECT_EQ(capture.Text,
            "VERROR vec3 [] operator: illegal access\nVERROR vec3 [] operator: illegal access\n"
            "VERROR mat3 [] operator: illegal access\nVERROR vec2 [] operator: illegal access\n"
            "VERROR mat3 [] operator: illegal access\n");
  expectRow(g.v, 5, 6, 7, "vec3");
  EXPECT_EQ(g.before + g.after, 9.0f);
  expectRow(m[0], 1, 0, 0, "mat3 row 0");
  EXPECT_EQ(w[0] + w[1], 3.0f);
}
