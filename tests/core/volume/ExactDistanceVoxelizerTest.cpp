// The voxelizer's exact-distance mode: exact closest-point distances with the boxes, band, signs,
// tie rule and skip counting of the default mode (the worked triangles and the skip counting of
// both modes are in PolygonStorageVoxelizerDualTest).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ReferenceDistance.h"
#include "VoxelizerFixtures.h"

using fixtures::vertex;

namespace {

using Rig = fixtures::VoxelizerRig;

// The mesh's triangles bucketed by the cell of their centroid, for the nearest-triangle search
// of the reference.
struct TriangleGrid {
  int N;
  std::vector<std::vector<int>> Cells;
  const PolygonStorage& Mesh;

  TriangleGrid(const PolygonStorage& mesh, int n) : N(n), Cells(static_cast<std::size_t>(n * n * n)), Mesh(mesh) {
    for (std::size_t i = 0; i < mesh.Polygons.size(); ++i) {
      const VertexIDList& t = mesh.Polygons[i];
      float c[3] = {0, 0, 0};
      for (int id : t) {
        c[0] += mesh.Vertices[id].pos.x / 3;
        c[1] += mesh.Vertices[id].pos.y / 3;
        c[2] += mesh.Vertices[id].pos.z / 3;
      }
      Cells[cell(int(c[0]), int(c[1]), int(c[2]))].push_back(static_cast<int>(i));
    }
  }
  std::size_t cell(int x, int y, int z) const { return static_cast<std::size_t>((x * N + y) * N + z); }

  // Distance from lattice point q to the nearest triangle whose centroid lies within `reach`
  // cells: exact for distances below reach - 1 - (largest centroid-to-corner distance).
  double distance(int x, int y, int z, int reach) const {
    const double q[3] = {double(x), double(y), double(z)};
    double best = 1e300;
    for (int i = std::max(0, x - reach); i <= std::min(N - 1, x + reach); ++i)
      for (int j = std::max(0, y - reach); j <= std::min(N - 1, y + reach); ++j)
        for (int k = std::max(0, z - reach); k <= std::min(N - 1, z + reach); ++k)
          for (int t : Cells[cell(i, j, k)]) {
            const VertexIDList& ids = Mesh.Polygons[static_cast<std::size_t>(t)];
            best = std::min(best, fixtures::referenceDistance(q, Mesh.Vertices[ids[0]].pos, Mesh.Vertices[ids[1]].pos,
                                                              Mesh.Vertices[ids[2]].pos));
          }
    return best;
  }
};

}  // namespace

// Beside the edge of a sheared triangle the default mode overshoots (sqrt(0.75), reached along the
// other edge); the exact mode gives the true sqrt(0.5), with the sign of the edge normal.
TEST(ExactDistance, ShearedTriangleGetsTheTrueDistance) {
  Rig rig(10, true);
  rig.triangle({1.5f, 1.5f, 1.5f}, {3.5f, 1.5f, 1.5f}, {3.5f, 3.5f, 1.5f});
  rig.Voxelizer.voxelize();
  EXPECT_FLOAT_EQ(rig.distance(3, 1, 2), std::sqrt(0.5f));
  EXPECT_FLOAT_EQ(rig.distance(3, 1, 1), -std::sqrt(0.5f)) << "below the plane";
  // (2, 1, 2) beside a-b: the default mode's chosen point is (2.5, 1.5, 1.5), sqrt(0.75) away.
  EXPECT_FLOAT_EQ(rig.distance(2, 1, 2), std::sqrt(0.5f));
  // (2, 3, 2) beside the slanted edge a-c: closest point (2.5, 2.5, 1.5), not (3, 3, 1.5).
  EXPECT_FLOAT_EQ(rig.distance(2, 3, 2), std::sqrt(0.75f));
  // (4, 3, 2) beside b-c, straight across.
  EXPECT_FLOAT_EQ(rig.distance(4, 3, 2), std::sqrt(0.5f));
  // Same boxes as the default mode: z = 1..2 only, although (3, 2, 3) lies 1.5 above the face.
  EXPECT_EQ(rig.distance(3, 2, 3), NoValue);
  EXPECT_EQ(rig.distance(3, 2, 0), NoValue);
  EXPECT_EQ(rig.distance(5, 2, 2), NoValue) << "x = 5 is outside the box 1..4";
}

// A closed cube made of right isosceles triangles (right angle at the first corner): both modes
// agree at every lattice point, value and sign, so the exact mode takes the normals of the same
// faces, edges and corners.
TEST(ExactDistance, AgreesWithTheDefaultModeOnACubeOfRightTriangles) {
  // Per face, outward, as two right triangles with the right angle first: (b, c, a) and (d, a, c)
  // of the quad a b c d.
  testmeshes::MeshData cube = testmeshes::cube(2.5f, 7.5f);
  std::vector<VertexIDList> triangles;
  for (const VertexIDList& q : cube.Polygons) {
    triangles.push_back({q[1], q[2], q[0]});
    triangles.push_back({q[3], q[0], q[2]});
  }
  cube.Polygons = triangles;
  Rig exact(11, true), plain(11, false);
  testmeshes::build(exact.Mesh, cube);
  testmeshes::build(plain.Mesh, cube);
  exact.Voxelizer.voxelize();
  plain.Voxelizer.voxelize();
  int withValue = 0;
  for (std::size_t i = 0; i < exact.Volume.Voxels.size(); ++i) {
    const float e = exact.Volume.Voxels[i].Distance, s = plain.Volume.Voxels[i].Distance;
    if (s == NoValue) {
      ASSERT_EQ(e, NoValue) << "voxel " << i;
      continue;
    }
    ++withValue;
    ASSERT_NEAR(e, s, 1e-5f) << "voxel " << i;
    ASSERT_EQ(std::signbit(e), std::signbit(s)) << "voxel " << i;
  }
  EXPECT_GT(withValue, 300);
  EXPECT_EQ(exact.distance(5, 5, 5), NoValue) << "2.5 inside every face";
  EXPECT_EQ(exact.distance(5, 5, 4), NoValue);
  EXPECT_FLOAT_EQ(exact.distance(5, 5, 3), -0.5f);
  EXPECT_FLOAT_EQ(exact.distance(8, 8, 8), std::sqrt(0.75f)) << "beside a corner";
}

// A closed prism whose cross-section is a thin triangle (apex angle about 22 degrees) with capped
// ends: beyond its sharp apex edge and its corners the face normal of a neighbouring triangle points
// the wrong way, only the edge and corner normals give the side. Every lattice point within one
// voxel of the prism holds its distance to the prism, found by brute force, with the side it lies on.
TEST(ExactDistance, SharpPrismSidesFromEdgeAndCornerNormals) {
  Rig rig(18, true);
  PolygonStorage& m = rig.Mesh;
  const float apex[2] = {14.3f, 6.2f}, left[2] = {3.3f, 8.3f}, right[2] = {3.3f, 4.1f};
  const float z0 = 2.4f, z1 = 9.6f;
  // Bottom ring 0..2, top ring 3..5, counter-clockwise seen from +z: apex, left, right.
  for (float z : {z0, z1}) {
    vertex(m, apex[0], apex[1], z);
    vertex(m, left[0], left[1], z);
    vertex(m, right[0], right[1], z);
  }
  m.addTriangle(0, 2, 1);  // bottom cap, facing -z
  m.addTriangle(3, 4, 5);  // top cap, facing +z
  for (int k = 0; k < 3; ++k) {
    const int a = k, b = (k + 1) % 3;  // side from ring corner a to b, outward
    m.addTriangle(a, b, b + 3);
    m.addTriangle(a, b + 3, a + 3);
  }
  fixtures::finish(m);
  rig.Voxelizer.voxelize();

  auto inside = [&](int x, int y, int z) {
    if (z < z0 || z > z1) return false;
    const float* corners[3] = {apex, left, right};
    for (int k = 0; k < 3; ++k) {
      const float* p = corners[k];
      const float* q = corners[(k + 1) % 3];
      if ((q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0]) < 0) return false;
    }
    return true;
  };
  int near = 0, wrongSide = 0, offDistance = 0, missing = 0;
  for (int x = 0; x < 18; ++x)
    for (int y = 0; y < 18; ++y)
      for (int z = 0; z < 18; ++z) {
        const double q[3] = {double(x), double(y), double(z)};
        double d = 1e300;
        for (const VertexIDList& t : m.Polygons)
          d = std::min(
              d, fixtures::referenceDistance(q, m.Vertices[t[0]].pos, m.Vertices[t[1]].pos, m.Vertices[t[2]].pos));
        if (d >= 1.0) continue;
        ++near;
        const float stored = rig.distance(x, y, z);
        if (stored == NoValue) {
          ++missing;
          continue;
        }
        if (std::fabs(std::fabs(stored) - d) > 1e-5) ++offDistance;
        if (d > 1e-4 && (stored < 0) != inside(x, y, z)) {
          ++wrongSide;
          ADD_FAILURE() << "lattice point (" << x << ", " << y << ", " << z << ") stores " << stored
                        << (inside(x, y, z) ? ", inside" : ", outside");
        }
      }
  EXPECT_GT(near, 400);
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(offDistance, 0);
  EXPECT_EQ(wrongSide, 0);
}

// Two parallel triangles 0.5 below and above a row of lattice points, both facing +z: the one
// listed first decides the sign.
TEST(ExactDistance, EqualDistancesGoToTheEarlierPolygon) {
  for (bool lowerFirst : {true, false}) {
    Rig rig(10, true);
    PolygonStorage& m = rig.Mesh;
    const float z[2] = {lowerFirst ? 1.5f : 2.5f, lowerFirst ? 2.5f : 1.5f};
    for (float h : z) {
      const int a = vertex(m, 1.5f, 1.5f, h), b = vertex(m, 5.5f, 1.5f, h), c = vertex(m, 1.5f, 5.5f, h);
      m.addTriangle(a, b, c);
    }
    fixtures::finish(m);
    rig.Voxelizer.voxelize();
    EXPECT_EQ(rig.distance(2, 2, 2), lowerFirst ? 0.5f : -0.5f) << (lowerFirst ? "lower" : "upper") << " first";
  }
}

// A sphere of radius 10 voxels, an icosahedron subdivided six times (81920 triangles): its faces
// lie at most 7.2e-4 inside the sphere, so the distance to the mesh and the analytic distance
// |q - centre| - 10 differ by less than that. Asserted:
// - every lattice point within 1 voxel of the surface (all of them lie in the box of the triangle
//   nearest to them) holds the analytic distance to within 1e-3 voxel and the distance to the
//   mesh, found by brute force over the nearby triangles, to within 1e-5;
// - every lattice point with a value has the right sign and a magnitude below 1.9, never smaller
//   than its distance to the mesh.
// The default mode on the same sphere is measured and printed for comparison: on a smooth convex
// surface the nearest point lies inside a face almost everywhere, where both modes are exact, so
// this sphere does not tell them apart (the joint in the pipeline tests does).
TEST(ExactDistance, FineSphereHoldsTheAnalyticDistance) {
  const int n = 27;
  const float c = 13.0f, radius = 10.0f;
  struct Result {
    double MaxAnalytic = 0, MaxMesh = 0;
    int Near = 0, NearMissing = 0, Valued = 0, WrongSign = 0, BelowMesh = 0;
  };
  PolygonStorage sphere;
  fixtures::icosphere(sphere, c, c, c, radius, 6);
  ASSERT_EQ(sphere.Polygons.size(), 81920u);
  const TriangleGrid grid(sphere, n);

  // How far the faces lie inside the sphere.
  double sag = 0;
  for (const VertexIDList& t : sphere.Polygons) {
    const double centre[3] = {c, c, c};
    sag = std::max(sag, radius - fixtures::referenceDistance(centre, sphere.Vertices[t[0]].pos,
                                                             sphere.Vertices[t[1]].pos, sphere.Vertices[t[2]].pos));
  }
  ASSERT_LT(sag, 9e-4) << "the sphere mesh is too coarse for a 1e-3 comparison";

  // Distance to the mesh of every lattice point within 2 of the sphere, by brute force.
  std::vector<double> meshDistance(static_cast<std::size_t>(n * n * n), 1e300);
  auto analyticAt = [&](int x, int y, int z) {
    const double dx = x - c, dy = y - c, dz = z - c;
    return std::sqrt(dx * dx + dy * dy + dz * dz) - radius;
  };
  for (int x = 0; x < n; ++x)
    for (int y = 0; y < n; ++y)
      for (int z = 0; z < n; ++z)
        if (std::fabs(analyticAt(x, y, z)) <= 2.0)
          meshDistance[static_cast<std::size_t>((x * n + y) * n + z)] = grid.distance(x, y, z, 3);

  auto measure = [&](bool exact, Result& r) {
    Rig rig(n, exact);
    fixtures::icosphere(rig.Mesh, c, c, c, radius, 6);
    rig.Voxelizer.voxelize();
    for (int x = 0; x < n; ++x)
      for (int y = 0; y < n; ++y)
        for (int z = 0; z < n; ++z) {
          const double analytic = analyticAt(x, y, z);
          const float stored = rig.distance(x, y, z);
          if (std::fabs(analytic) > 2.0) {
            if (exact) {
              ASSERT_EQ(stored, NoValue) << x << " " << y << " " << z;
            }
            continue;
          }
          const double mesh = meshDistance[static_cast<std::size_t>((x * n + y) * n + z)];
          if (mesh < 1.0) {
            ++r.Near;
            if (stored == NoValue) {
              ++r.NearMissing;
              continue;
            }
            r.MaxAnalytic = std::max(r.MaxAnalytic, std::fabs(stored - analytic));
            r.MaxMesh = std::max(r.MaxMesh, std::fabs(std::fabs(stored) - mesh));
          }
          if (stored == NoValue) continue;
          ++r.Valued;
          if (std::fabs(analytic) > 1e-3 && (stored > 0) != (analytic > 0)) ++r.WrongSign;
          if (std::fabs(stored) < mesh - 1e-5 || !(std::fabs(stored) < 1.9f)) ++r.BelowMesh;
        }
  };
  Result exact, plain;
  measure(true, exact);
  measure(false, plain);
  std::printf("sphere r = 10, 81920 triangles, faces at most %.2e inside\n", sag);
  std::printf(
      "  mode       lattice points < 1 from the mesh (no value)  max |d - analytic|  max |d - mesh|"
      "  valued  wrong sign  below mesh distance or band\n");
  for (int k = 0; k < 2; ++k) {
    const Result& r = k == 0 ? exact : plain;
    std::printf("  %-9s  %6d (%4d)  %18.2e  %14.2e  %6d  %10d  %6d\n", k == 0 ? "exact" : "default", r.Near,
                r.NearMissing, r.MaxAnalytic, r.MaxMesh, r.Valued, r.WrongSign, r.BelowMesh);
  }
  EXPECT_GT(exact.Near, 2000);
  EXPECT_EQ(exact.NearMissing, 0);
  EXPECT_LE(exact.MaxAnalytic, 1e-3);
  EXPECT_LE(exact.MaxMesh, 1e-5);
  EXPECT_EQ(exact.WrongSign, 0);
  EXPECT_EQ(exact.BelowMesh, 0);
}
