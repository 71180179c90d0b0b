#include "volume/AxisRayCrossing.h"

#include <algorithm>
#include <cmath>

namespace tessellor {

namespace {

__extension__ typedef __int128 Wide;

// Fixed-point coordinates stay below 2^50 in magnitude: differences below 2^51, products of two
// differences below 2^102, so an orientation fits in 128 bits with room to spare.
constexpr int FixedBits = 50;

float coordinate(const V3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

int signOf(Wide v) { return (v > 0) - (v < 0); }

// Twice the signed area of (u, w, p) in the plane (b, c).
Wide orient(std::int64_t ub, std::int64_t uc, std::int64_t wb, std::int64_t wc, std::int64_t pb, std::int64_t pc) {
  return static_cast<Wide>(wb - ub) * static_cast<Wide>(pc - uc) -
         static_cast<Wide>(wc - uc) * static_cast<Wide>(pb - ub);
}

// The side of the directed edge u -> w on which the point (pb + eps, pc + eps^2) lies, eps
// infinitesimal: the sign of the orientation, or of its derivatives when the point is on the
// edge's line. 0 only for an edge of zero length.
int side(std::int64_t ub, std::int64_t uc, std::int64_t wb, std::int64_t wc, std::int64_t pb, std::int64_t pc,
         Wide& value) {
  value = orient(ub, uc, wb, wc, pb, pc);
  if (value != 0) return signOf(value);
  if (uc != wc) return uc > wc ? 1 : -1;
  return (wb > ub) - (wb < ub);
}

}  // namespace

void AxisRayCrossing::setPositions(const std::vector<V3>& positions, int latticeBound) {
  double bound = std::max(1.0, static_cast<double>(latticeBound));
  for (const V3& p : positions)
    bound = std::max({bound, std::fabs(static_cast<double>(p.x)), std::fabs(static_cast<double>(p.y)),
                      std::fabs(static_cast<double>(p.z))});
  int exponent = 0;
  std::frexp(bound, &exponent);  // bound < 2^exponent
  // The finest power-of-two unit that keeps every coordinate below 2^FixedBits; for a fitted mesh
  // it is far finer than the spacing of floats, so every position is held exactly.
  const int bits = FixedBits - exponent;
  Unit = bits >= 0 ? (std::int64_t{1} << bits) : 1;
  const double scale = std::ldexp(1.0, bits);
  Fixed.resize(positions.size());
  for (std::size_t v = 0; v < positions.size(); ++v) {
    const double c[3] = {positions[v].x, positions[v].y, positions[v].z};
    for (int axis = 0; axis < 3; ++axis) Fixed[v][axis] = static_cast<std::int64_t>(std::llround(c[axis] * scale));
  }
  // A unit coarser than 1 (coordinates beyond 2^50) cannot place lattice coordinates exactly;
  // such meshes lie far outside any grid, and their crossings are only counted, not exact.
  if (bits < 0) Unit = 0;
}

bool AxisRayCrossing::latticeRange(int axis, const Triangle& t, const int size[3], int lo[2], int hi[2]) const {
  for (int k = 0; k < 2; ++k) {
    const int across = (axis + 1 + k) % 3;
    std::int64_t mn = fixed(t[0], across), mx = mn;
    for (int j = 1; j < 3; ++j) {
      mn = std::min(mn, fixed(t[j], across));
      mx = std::max(mx, fixed(t[j], across));
    }
    if (Unit <= 0) return false;
    // The offset line of lattice coordinate i can meet the triangle when mn <= i * Unit <= mx
    // (at i * Unit = mx the offset moves it off, but that is the predicate's call).
    const std::int64_t first = mn >= 0 ? (mn + Unit - 1) / Unit : -((-mn) / Unit);
    const std::int64_t last = mx >= 0 ? mx / Unit : -((-mx + Unit - 1) / Unit);
    lo[k] = static_cast<int>(std::max<std::int64_t>(first, 0));
    hi[k] = static_cast<int>(std::min<std::int64_t>(last, size[across] - 1));
    if (lo[k] > hi[k]) return false;
  }
  return true;
}

void AxisRayCrossing::scan(int axis, const Triangle& t, const int size[3], const std::vector<V3>& positions,
                           std::vector<LatticeHit>& hits) const {
  int lo[2], hi[2];
  if (!latticeRange(axis, t, size, lo, hi)) return;
  const int b = (axis + 1) % 3, c = (axis + 2) % 3;
  const std::array<std::int64_t, 3>* corner[3] = {&Fixed[static_cast<std::size_t>(t[0])],
                                                  &Fixed[static_cast<std::size_t>(t[1])],
                                                  &Fixed[static_cast<std::size_t>(t[2])]};
  const Wide area =
      orient((*corner[0])[b], (*corner[0])[c], (*corner[1])[b], (*corner[1])[c], (*corner[2])[b], (*corner[2])[c]);
  if (area == 0) return;
  const int s = signOf(area);
  // Edge e runs from corner e to corner e + 1. Its orientation against the point (pb, pc) is
  // (wb - ub)(pc - uc) - (wc - uc)(pb - ub): linear, so one lattice step adds a constant. On the
  // edge's line the symbolic offset decides, as in side().
  Wide row[3], stepB[3], stepC[3];
  int onLine[3];
  for (int e = 0; e < 3; ++e) {
    const std::array<std::int64_t, 3>& u = *corner[e];
    const std::array<std::int64_t, 3>& w = *corner[(e + 1) % 3];
    row[e] = orient(u[b], u[c], w[b], w[c], lattice(lo[0]), lattice(lo[1]));
    stepB[e] = -static_cast<Wide>(w[c] - u[c]) * Unit;
    stepC[e] = static_cast<Wide>(w[b] - u[b]) * Unit;
    onLine[e] = u[c] != w[c] ? (u[c] > w[c] ? 1 : -1) : (w[b] > u[b]) - (w[b] < u[b]);
  }
  // Where a line meets the triangle's plane, from the plane's equation in double precision (the
  // exact tests above decide whether it does), kept within the triangle's extent along the axis.
  double q[3][3];
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 3; ++j) q[k][j] = coordinate(positions[static_cast<std::size_t>(t[k])], j);
  const double e1[3] = {q[1][0] - q[0][0], q[1][1] - q[0][1], q[1][2] - q[0][2]};
  const double e2[3] = {q[2][0] - q[0][0], q[2][1] - q[0][1], q[2][2] - q[0][2]};
  const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
  const double lowest = std::min({q[0][axis], q[1][axis], q[2][axis]});
  const double highest = std::max({q[0][axis], q[1][axis], q[2][axis]});
  for (int lc = lo[1]; lc <= hi[1]; ++lc) {
    Wide v[3] = {row[0], row[1], row[2]};
    for (int lb = lo[0]; lb <= hi[0]; ++lb) {
      bool in = true;
      for (int e = 0; e < 3 && in; ++e) in = (v[e] != 0 ? signOf(v[e]) : onLine[e]) == s;
      if (in) {
        double at = q[0][axis];
        if (n[axis] != 0) at -= (n[b] * (lb - q[0][b]) + n[c] * (lc - q[0][c])) / n[axis];
        hits.push_back({lb, lc, std::min(highest, std::max(lowest, at)), s});
      }
      for (int e = 0; e < 3; ++e) v[e] += stepB[e];
    }
    for (int e = 0; e < 3; ++e) row[e] += stepC[e];
  }
}

int AxisRayCrossing::cross(int axis, std::int64_t pb, std::int64_t pc, const Triangle& t,
                           const std::vector<V3>& positions, double& at) const {
  const int b = (axis + 1) % 3, c = (axis + 2) % 3;
  const std::array<std::int64_t, 3>& p0 = Fixed[static_cast<std::size_t>(t[0])];
  const std::array<std::int64_t, 3>& p1 = Fixed[static_cast<std::size_t>(t[1])];
  const std::array<std::int64_t, 3>& p2 = Fixed[static_cast<std::size_t>(t[2])];
  const Wide area = orient(p0[b], p0[c], p1[b], p1[c], p2[b], p2[c]);
  // A triangle parallel to the line is never crossed by the offset line.
  if (area == 0) return 0;
  const int s = signOf(area);
  Wide w2, w0, w1;
  if (side(p0[b], p0[c], p1[b], p1[c], pb, pc, w2) != s) return 0;
  if (side(p1[b], p1[c], p2[b], p2[c], pb, pc, w0) != s) return 0;
  if (side(p2[b], p2[c], p0[b], p0[c], pb, pc, w1) != s) return 0;
  // Barycentric weights of the three corners: the orientation of the point against the opposite
  // edges, over twice the area.
  const double sum = static_cast<double>(area);
  const double l0 = static_cast<double>(w0) / sum, l1 = static_cast<double>(w1) / sum;
  const double l2 = static_cast<double>(w2) / sum;
  at = l0 * coordinate(positions[static_cast<std::size_t>(t[0])], axis) +
       l1 * coordinate(positions[static_cast<std::size_t>(t[1])], axis) +
       l2 * coordinate(positions[static_cast<std::size_t>(t[2])], axis);
  return s;
}

}  // namespace tessellor
