#include "extract/MarchingCubes33Cube.h"

#include "extract/MarchingCubes33Tables.h"
#include "base/Diagnostics.h"

#include <cstdio>

namespace tessellor {

namespace {

enum Subcase {
  S0,
  S1,
  S2,
  S3_1,
  S3_2,
  S4_1,
  S4_2,
  S5,
  S6_1_1,
  S6_1_2,
  S6_2,
  S7_1,
  S7_2,
  S7_3,
  S7_4_1,
  S7_4_2,
  S8,
  S9,
  S10_1_1,
  S10_1_2,
  S10_2,
  S11,
  S12_1_1,
  S12_1_2,
  S12_2,
  S13_1,
  S13_2,
  S13_3,
  S13_4,
  S13_5_1,
  S13_5_2,
  S14
};

// Corners of each face code 1..6, in the order P, Q, R, S read by the face test.
constexpr int FaceCorners[6][4] = {{0, 4, 5, 1}, {1, 5, 6, 2}, {2, 6, 7, 3}, {3, 7, 4, 0}, {0, 3, 2, 1}, {4, 7, 6, 5}};

// Interior test along a reference edge: t is taken on the edge (a, b) and the three edges
// parallel to it are interpolated at the same t, each from its first to its second corner.
struct ParallelEdges {
  int a, b, b0, b1, c0, c1, d0, d1;
};
constexpr ParallelEdges Parallel[12] = {{0, 1, 3, 2, 7, 6, 4, 5}, {1, 2, 0, 3, 4, 7, 5, 6}, {2, 3, 1, 0, 5, 4, 6, 7},
                                        {3, 0, 2, 1, 6, 5, 7, 4}, {4, 5, 7, 6, 3, 2, 0, 1}, {5, 6, 4, 7, 0, 3, 1, 2},
                                        {6, 7, 5, 4, 1, 0, 2, 3}, {7, 4, 6, 5, 2, 1, 3, 0}, {0, 4, 3, 7, 2, 6, 1, 5},
                                        {1, 5, 0, 4, 3, 7, 2, 6}, {2, 6, 1, 5, 0, 4, 3, 7}, {3, 7, 2, 6, 1, 5, 0, 4}};

MarchingCubes33Cube::Tiling triangles(const std::int8_t* row, int n, bool centre = false) {
  return MarchingCubes33Cube::Tiling{row, n, false, centre};
}

MarchingCubes33Cube::Tiling polygons(const std::int8_t* row, int n) {
  return MarchingCubes33Cube::Tiling{row, n, true, false};
}

}  // namespace

const char* const MarchingCubes33Cube::SubcaseNames[SubcaseCount] = {
    "0",      "1",      "2",    "3.1",   "3.2",   "4.1",  "4.2",  "5",      "6.1.1",  "6.1.2", "6.2",
    "7.1",    "7.2",    "7.3",  "7.4.1", "7.4.2", "8",    "9",    "10.1.1", "10.1.2", "10.2",  "11",
    "12.1.1", "12.1.2", "12.2", "13.1",  "13.2",  "13.3", "13.4", "13.5.1", "13.5.2", "14"};

void MarchingCubes33Cube::diagnostic(const char* text) { Diagnostics::write(text); }

void MarchingCubes33Cube::report(const char* format, int value) {
  char text[100];
  std::snprintf(text, sizeof text, format, value);
  diagnostic(text);
}

bool MarchingCubes33Cube::testFace(std::int8_t f) {
  float P = 0.0f, Q = 0.0f, R = 0.0f, S = 0.0f;
  if (f == 0 || f < -6 || f > 6) {
    report("Invalid face code %d\n", f);
  } else {
    const int* corners = FaceCorners[(f < 0 ? -f : f) - 1];
    P = _cube[corners[0]];
    Q = _cube[corners[1]];
    R = _cube[corners[2]];
    S = _cube[corners[3]];
  }
  return static_cast<float>(f) * P * (P * R - Q * S) >= 0.0f;
}

bool MarchingCubes33Cube::testInterior(std::int8_t s) {
  const float* c = _cube;
  float At = 0.0f, Bt = 0.0f, Ct = 0.0f, Dt = 0.0f;
  switch (_case) {
    case 4:
    case 10: {
      const float a = (c[4] - c[0]) * (c[6] - c[2]) - (c[7] - c[3]) * (c[5] - c[1]);
      const float b = c[2] * (c[4] - c[0]) + c[0] * (c[6] - c[2]) - c[1] * (c[7] - c[3]) - c[3] * (c[5] - c[1]);
      const float t = -b / (2.0f * a);
      // Written so that the undefined quotient of a = 0 (NaN) also falls outside [0, 1].
      if (!(t >= 0.0f && t <= 1.0f)) return s > 0;
      At = c[0] + (c[4] - c[0]) * t;
      Bt = c[3] + (c[7] - c[3]) * t;
      Ct = c[2] + (c[6] - c[2]) * t;
      Dt = c[1] + (c[5] - c[1]) * t;
      break;
    }
    case 6:
    case 7:
    case 12:
    case 13: {
      int edge = -1;
      switch (_case) {
        case 6:
          edge = mc33::test6[_config][2];
          break;
        case 7:
          edge = mc33::test7[_config][4];
          break;
        case 12:
          edge = mc33::test12[_config][3];
          break;
        default:
          edge = mc33::tiling13_5_1[_config][_subconfig][0];
          break;
      }
      if (edge < 0 || edge > 11) {
        report("Invalid edge %d\n", edge);
        break;
      }
      const ParallelEdges& p = Parallel[edge];
      const float t = c[p.a] / (c[p.a] - c[p.b]);
      At = 0.0f;
      Bt = c[p.b0] + (c[p.b1] - c[p.b0]) * t;
      Ct = c[p.c0] + (c[p.c1] - c[p.c0]) * t;
      Dt = c[p.d0] + (c[p.d1] - c[p.d0]) * t;
      break;
    }
    default:
      report("Invalid ambiguous case %d\n", _case);
      break;
  }
  const int test = (At >= 0.0f ? 1 : 0) + (Bt >= 0.0f ? 2 : 0) + (Ct >= 0.0f ? 4 : 0) + (Dt >= 0.0f ? 8 : 0);
  switch (test) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 6:
    case 8:
    case 9:
    case 12:
      return s > 0;
    case 5:
      // Exact comparisons: equality goes to s < 0 here and to s > 0 for test 10.
      return At * Ct < Bt * Dt ? s > 0 : s < 0;
    case 10:
      return At * Ct >= Bt * Dt ? s > 0 : s < 0;
    default:
      return s < 0;
  }
}

MarchingCubes33Cube::Tiling MarchingCubes33Cube::processCube() {
  using namespace mc33;
  _case = static_cast<std::uint8_t>(cases[_lutEntry][0]);
  _config = static_cast<std::uint8_t>(cases[_lutEntry][1]);
  _subconfig = 0;
  const int c = _config;
  int* const stats = _caseStatistics;

  switch (_case) {
    case 0:
      ++stats[S0];
      break;
    case 1:
      ++stats[S1];
      return triangles(tiling1[c], 1);
    case 2:
      ++stats[S2];
      return polygons(polygon2[c], 4);
    case 3:
      if (testFace(test3[c])) {
        ++stats[S3_2];
        return polygons(polygon3_2[c], 6);
      } else {
        ++stats[S3_1];
        return triangles(tiling3_1[c], 2);
      }
      break;
    case 4:
      if (testInterior(test4[c])) {
        ++stats[S4_1];
        return triangles(tiling4_1[c], 2);
      } else {
        ++stats[S4_2];
        return triangles(tiling4_2[c], 6);
      }
      break;
    case 5:
      ++stats[S5];
      return polygons(polygon5[c], 5);
    case 6:
      if (testFace(test6[c][0])) {
        ++stats[S6_2];
        return triangles(tiling6_2[c], 5);
      } else if (testInterior(test6[c][1])) {
        ++stats[S6_1_1];
        return polygons(polygon6_1_1[c], 8);
      } else {
        ++stats[S6_1_2];
        return triangles(tiling6_1_2[c], 7);
      }
      break;
    case 7:
      // The three face tests in table order, each exactly once.
      if (testFace(test7[c][0])) _subconfig += 1;
      if (testFace(test7[c][1])) _subconfig += 2;
      if (testFace(test7[c][2])) _subconfig += 4;
      switch (_subconfig) {
        case 0:
          ++stats[S7_1];
          return triangles(tiling7_1[c], 3);
        case 1:
        case 2:
        case 4:
          ++stats[S7_2];
          return triangles(tiling7_2[c][_subconfig >> 1], 5);
        case 3:
        case 5:
        case 6:
          ++stats[S7_3];
          return triangles(tiling7_3[c][_subconfig == 3 ? 0 : _subconfig == 5 ? 1 : 2], 9, true);
        default:
          if (testInterior(test7[c][3])) {
            ++stats[S7_4_2];
            return triangles(tiling7_4_2[c], 9);
          } else {
            ++stats[S7_4_1];
            return triangles(tiling7_4_1[c], 5);
          }
          break;
      }
      break;
    case 8:
      ++stats[S8];
      return polygons(polygon8[c], 4);
    case 9:
      ++stats[S9];
      return polygons(polygon9[c], 6);
    case 10: {
      const bool f0 = testFace(test10[c][0]);
      const bool f1 = testFace(test10[c][1]);
      if (f0 && f1) {
        ++stats[S10_1_1];
        return polygons(polygon10_1_1_[c], 9);
      } else if (f0) {
        ++stats[S10_2];
        return triangles(tiling10_2[c], 8, true);
      } else if (f1) {
        ++stats[S10_2];
        return triangles(tiling10_2_[c], 8, true);
      } else if (testInterior(test10[c][2])) {
        ++stats[S10_1_1];
        return polygons(polygon10_1_1[c], 9);
      } else {
        ++stats[S10_1_2];
        return triangles(tiling10_1_2[c], 8);
      }
      break;
    }
    case 11:
      ++stats[S11];
      return polygons(polygon11[c], 6);
    case 12: {
      const bool f0 = testFace(test12[c][0]);
      const bool f1 = testFace(test12[c][1]);
      if (f0 && f1) {
        ++stats[S12_1_1];
        return polygons(polygon12_1_1_[c], 9);
      } else if (f0) {
        ++stats[S12_2];
        return triangles(tiling12_2[c], 8, true);
      } else if (f1) {
        ++stats[S12_2];
        return triangles(tiling12_2_[c], 8, true);
      } else if (testInterior(test12[c][2])) {
        ++stats[S12_1_1];
        return polygons(polygon12_1_1[c], 9);
      } else {
        ++stats[S12_1_2];
        return triangles(tiling12_1_2[c], 8);
      }
      break;
    }
    case 13: {
      for (int f = 0; f < 6; ++f)
        if (testFace(test13[c][f])) _subconfig += static_cast<std::uint8_t>(1 << f);
      const int m = subconfig13[_subconfig];
      if (m == 0) {
        ++stats[S13_1];
        return triangles(tiling13_1[c], 4);
      } else if (m >= 1 && m <= 6) {
        ++stats[S13_2];
        return triangles(tiling13_2[c][m - 1], 6);
      } else if (m >= 7 && m <= 18) {
        ++stats[S13_3];
        return triangles(tiling13_3[c][m - 7], 10, true);
      } else if (m >= 19 && m <= 22) {
        ++stats[S13_4];
        return triangles(tiling13_4[c][m - 19], 12, true);
      } else if (m >= 23 && m <= 26) {
        // The interior test reads its reference edge through _subconfig.
        _subconfig = static_cast<std::uint8_t>(m - 23);
        if (testInterior(test13[c][6])) {
          ++stats[S13_5_1];
          return triangles(tiling13_5_1[c][_subconfig], 6);
        } else {
          ++stats[S13_5_2];
          return triangles(tiling13_5_2[c][_subconfig], 10);
        }
      } else if (m >= 27 && m <= 38) {
        ++stats[S13_3];
        return triangles(tiling13_3_[c][m - 27], 10, true);
      } else if (m >= 39 && m <= 44) {
        ++stats[S13_2];
        return triangles(tiling13_2_[c][m - 39], 6);
      } else if (m == 45) {
        ++stats[S13_1];
        return triangles(tiling13_1_[c], 4);
      } else {
        diagnostic("Marching Cubes: Impossible case 13?\n");
      }
      break;
    }
    case 14:
      ++stats[S14];
      return polygons(polygon14[c], 6);
    default:
      break;
  }
  return Tiling{};
}

}  // namespace tessellor
