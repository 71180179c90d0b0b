#include "volume/PolygonStorageVoxelizerDual.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "algebra/mat3.h"
#include "mesh/PolygonStorage.h"
#include "base/Assert.h"
#include "base/StatusOutput.h"
#include "volume/GenericVolumeStorage.h"
#include "volume/LatticeBox.h"
#include "volume/SharpFeatures.h"
#include "volume/StepProgress.h"
#include "volume/TriangleClosestPoint.h"
#include "volume/VoxelData.h"

namespace tessellor {

namespace {

vec3 toVec3(const V3& p) { return vec3(p.x, p.y, p.z); }

bool isFinite(const mat3& m) {
  for (const vec3& row : m.row)
    for (float x : row.v)
      if (!std::isfinite(x)) return false;
  return true;
}

}  // namespace

int PolygonStorageVoxelizerDual::classifyRegion(float s, float t, float& sp, float& tp) {
  // The tests run in double: in float, s + t, 1 - s and s - 1 round so that points such as
  // (0.6666666, 0.33333334) fall between the regions. The chosen parameters stay float.
  const double S = s, T = t;
  if (S > 0 && T > 0 && S + T < 1) {
    sp = s;
    tp = t;
    return 1;
  }
  if (T <= 0 && 0 <= S && S <= 1) {
    sp = s;
    tp = 0.0f;
    return 2;
  }
  if (S <= 0 && 0 <= T && T <= 1) {
    sp = 0.0f;
    tp = t;
    return 3;
  }
  if (S - 1 <= T && T <= S + 1 && T >= 1 - S) {
    const float u = (1.0f - (t - s)) * 0.5f;
    sp = u;
    tp = 1.0f - u;
    return 4;
  }
  if (S <= 0 && T <= 0) {
    sp = 0.0f;
    tp = 0.0f;
    return 5;
  }
  if (T <= S - 1 && S >= 1) {
    sp = 1.0f;
    tp = 0.0f;
    return 6;
  }
  if (S <= T - 1 && T >= 1) {
    sp = 0.0f;
    tp = 1.0f;
    return 7;
  }
  return 0;
}

void PolygonStorageVoxelizerDual::voxelize() {
  Output->beginTask("Voxelization");
  // The classic mode adds no line, so its log stays as it always was.
  if (Mode == VoxelizationMode::Exact) Output->writeLine("Distance mode: exact");
  if (Mode == VoxelizationMode::Robust) Output->writeLine("Distance mode: robust");
  Volume->clear();
  Volume->setScale(Mesh->getScale());
  const V3 offset = Mesh->getOffset();
  Volume->setOffset(offset.x, offset.y, offset.z);

  Output->setProgress(10);
  SkippedPolygons = 0;
  char msg[100];
  if (Mode == VoxelizationMode::Robust) {
    Robust.voxelize(*Mesh, *Volume, *Output, Interrupter);
    SkippedPolygons = Robust.Triangulation.DegeneratePolygons;
    const SurfaceOrientation& o = Robust.Orientation;
    std::snprintf(msg, sizeof msg, "Triangles: %d, pieces: %d (closed %d, cavities %d), turned: %d",
                  static_cast<int>(Robust.Triangulation.Triangles.size()), o.Components, o.ClosedComponents, o.Cavities,
                  o.Turned);
    Output->writeLine(msg);
  } else {
    // Which polygons take part is settled once (an empty range of x runs only the checks); then
    // threads take ranges of x, each every triangle in order but only the lattice points of its
    // range, so every point meets the triangles in the order of a single pass.
    std::vector<int> triangles;
    const int count = static_cast<int>(Mesh->Polygons.size());
    for (int i = 0; i < count; ++i) {
      if (Mesh->Polygons[static_cast<std::size_t>(i)].size() <= 2) continue;
      if (voxelizeTriangle(i, 0, 0))
        triangles.push_back(i);
      else
        ++SkippedPolygons;
    }
    const int sizeX = std::max(Volume->getXSize(), 1);
    StepProgress progress(count, *Output, Interrupter);
    Volume->forEachWriteRange(
        [&](int x0, int x1) {
          for (int i : triangles) voxelizeTriangle(i, x0, x1);
        },
        [&](int x) { progress.reach(static_cast<double>(x) / sizeX); });
    progress.reach(1.0);
  }

  std::snprintf(msg, sizeof msg, "% d Polygons skipped", SkippedPolygons);
  Output->writeLine(msg);
  Output->endTask();
}

bool PolygonStorageVoxelizerDual::voxelizeTriangle(int polygon, int x0, int x1) {
  const VertexIDList& ids = Mesh->Polygons[static_cast<std::size_t>(polygon)];
  if (ids.size() != 3) return false;
  const int a = ids[0], b = ids[1], c = ids[2];
  const int vertexCount = static_cast<int>(Mesh->Vertices.size());
  if (a < 0 || b < 0 || c < 0 || a >= vertexCount || b >= vertexCount || c >= vertexCount ||
      polygon >= static_cast<int>(Mesh->Midpoints.size()))
    return false;
  const vec3 pa = toVec3(Mesh->Vertices[static_cast<std::size_t>(a)].pos);
  const vec3 pb = toVec3(Mesh->Vertices[static_cast<std::size_t>(b)].pos);
  const vec3 pc = toVec3(Mesh->Vertices[static_cast<std::size_t>(c)].pos);

  const vec3 e1 = pb - pa;
  const vec3 e2 = pc - pa;
  const vec3 n = toVec3(Mesh->Midpoints[static_cast<std::size_t>(polygon)].n);
  const mat3 T = mat3(e1, e2, n).transpose();
  const mat3 G = T.inverse();
  // A zero pivot leaves infinities or NaNs in the result, and so does a zero normal.
  if (!isFinite(G)) return false;

  const int size[3] = {Volume->getXSize(), Volume->getYSize(), Volume->getZSize()};
  int lo[3], hi[3];
  LatticeBox::of(pa, pb, pc, size, lo, hi);
  lo[0] = std::max(lo[0], x0);
  hi[0] = std::min(hi[0], x1 - 1);
  if (lo[0] > hi[0]) return true;

  // Pseudo-normals of the seven regions. An edge missing from the index (only possible when
  // the index is stale) falls back to the face normal.
  vec3 normals[8];
  normals[1] = n;
  const int edgeEnds[3][2] = {{a, b}, {a, c}, {b, c}};
  for (int e = 0; e < 3; ++e) {
    const EdgeEntryData* edge = Mesh->findEdge(PolygonStorage::makeEdgeKey(edgeEnds[e][0], edgeEnds[e][1]));
    if (edge == nullptr || edge->First < 0) {
      normals[2 + e] = n;
      continue;
    }
    vec3 sum = toVec3(Mesh->Midpoints[static_cast<std::size_t>(edge->First)].n);
    if (edge->Second != -1) sum += toVec3(Mesh->Midpoints[static_cast<std::size_t>(edge->Second)].n);
    normals[2 + e] = sum;
  }
  normals[5] = toVec3(Mesh->Vertices[static_cast<std::size_t>(a)].n);
  normals[6] = toVec3(Mesh->Vertices[static_cast<std::size_t>(b)].n);
  normals[7] = toVec3(Mesh->Vertices[static_cast<std::size_t>(c)].n);
  if (Mode == VoxelizationMode::Exact) {
    exactDistancePass(pa, pb, pc, normals, lo, hi);
    return true;
  }

  const float band = 1.9f;
  VoxelData voxel;
  for (int x = lo[0]; x <= hi[0]; ++x)
    for (int y = lo[1]; y <= hi[1]; ++y)
      for (int z = lo[2]; z <= hi[2]; ++z) {
        const vec3 q(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
        const vec3 sth = G * (q - pa);
        float sp = 0.0f, tp = 0.0f;
        const int region = classifyRegion(sth.v[0], sth.v[1], sp, tp);
        TS_ASSERT(region != 0);
        vec3 w = T * vec3(sth.v[0] - sp, sth.v[1] - tp, sth.v[2]);
        const float d = w.length();
        if (d > 0) w.normalize();
        const bool positive = normals[region] * w > 0;

        Volume->getVoxel(x, y, z, voxel);
        if (d < band && std::fabs(voxel.Distance) > d) {
          voxel.Distance = positive ? d : -d;
          Volume->setVoxel(x, y, z, voxel);
        }
      }
  return true;
}

void PolygonStorageVoxelizerDual::exactDistancePass(const vec3& pa, const vec3& pb, const vec3& pc,
                                                    const vec3 normals[8], const int lo[3], const int hi[3]) {
  const double a[3] = {pa.v[0], pa.v[1], pa.v[2]};
  const double b[3] = {pb.v[0], pb.v[1], pb.v[2]};
  const double c[3] = {pc.v[0], pc.v[1], pc.v[2]};
  const TriangleClosestPoint triangle(a, b, c);
  const float band = 1.9f;
  VoxelData voxel;
  for (int x = lo[0]; x <= hi[0]; ++x)
    for (int y = lo[1]; y <= hi[1]; ++y)
      for (int z = lo[2]; z <= hi[2]; ++z) {
        const double q[3] = {static_cast<double>(x), static_cast<double>(y), static_cast<double>(z)};
        double p[3];
        const int feature = triangle.find(q, p);
        const double w[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
        const float d = static_cast<float>(std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]));
        // The sign of the feature's pseudo-normal against w needs no normalised w; d = 0 is negative.
        const vec3& N = normals[feature];
        const bool positive = N.v[0] * w[0] + N.v[1] * w[1] + N.v[2] * w[2] > 0;

        Volume->getVoxel(x, y, z, voxel);
        // Compared in float, as stored: of two triangles at the same stored distance the earlier wins.
        if (d < band && std::fabs(voxel.Distance) > d) {
          voxel.Distance = positive ? d : -d;
          Volume->setVoxel(x, y, z, voxel);
        }
      }
}

// ---------------------------------------------------------------- sharp features

void PolygonStorageVoxelizerDual::detectSharpFeatures() {
  Output->beginTask("Sharp features");
  // The robust mode's triangles, corners and normals are those of the repaired surface: the
  // input's own may be unwelded, flipped or polygons.
  PolygonStorage* const input = Mesh;
  PolygonStorage* const featureInput = Features->Mesh;
  if (Mode == VoxelizationMode::Robust) {
    const int bound = std::max(Volume->getXSize(), std::max(Volume->getYSize(), Volume->getZSize()));
    Robust.repair(*Mesh, bound);
    Robust.repairedMesh(RepairedMesh);
    Mesh = &RepairedMesh;
    Features->setMesh(&RepairedMesh);
  }
  try {
    Features->detectSharpEdges(ThresholdPsi);
    for (const VertexIDList& line : Features->FeatureLines) {
      throwIfInterrupted(Interrupter);
      if (line.empty()) continue;
      int v = line.front();
      markFeatureCorner(v);
      for (std::size_t i = 1; i < line.size(); ++i) {
        rasterizeFeatureSegment(v, line[i]);
        v = line[i];
      }
      markFeatureCorner(v);
    }
  } catch (...) {
    Mesh = input;
    Features->setMesh(featureInput);
    throw;
  }
  Mesh = input;
  Features->setMesh(featureInput);
  Output->endTask();
}

void PolygonStorageVoxelizerDual::markFeatureCorner(int v) {
  const V3& p = Mesh->Vertices[static_cast<std::size_t>(v)].pos;
  const int i = LatticeBox::floorToInt(p.x), j = LatticeBox::floorToInt(p.y), k = LatticeBox::floorToInt(p.z);
  // A vertex of a fitted mesh always lies inside the grid; anything else is left unmarked.
  if (i < 0 || j < 0 || k < 0 || i >= Volume->getXSize() || j >= Volume->getYSize() || k >= Volume->getZSize()) return;
  VoxelData voxel;
  Volume->getVoxel(i, j, k, voxel);
  if (voxel.FeatureType & 2) return;
  voxel.FeatureOffset[0] = (static_cast<float>(i) + 0.5f) - p.x;
  voxel.FeatureOffset[1] = (static_cast<float>(j) + 0.5f) - p.y;
  voxel.FeatureOffset[2] = (static_cast<float>(k) + 0.5f) - p.z;
  voxel.FeatureType = 2;
  Volume->setVoxel(i, j, k, voxel);
}

void PolygonStorageVoxelizerDual::rasterizeFeatureSegment(int u, int v) {
  const vec3 pu = toVec3(Mesh->Vertices[static_cast<std::size_t>(u)].pos);
  const vec3 pv = toVec3(Mesh->Vertices[static_cast<std::size_t>(v)].pos);
  const vec3 D = pv - pu;
  const int size[3] = {Volume->getXSize(), Volume->getYSize(), Volume->getZSize()};
  int lo[3], hi[3];
  LatticeBox::of(pu, pv, pv, size, lo, hi);

  VoxelData voxel;
  for (int x = lo[0]; x <= hi[0]; ++x)
    for (int y = lo[1]; y <= hi[1]; ++y)
      for (int z = lo[2]; z <= hi[2]; ++z) {
        const vec3 c =
            vec3(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, static_cast<float>(z) + 0.5f) - pu;
        bool found = false;
        vec3 o;
        float sq = 0.0f;
        closestSegmentSample(D, c, found, o, sq);
        if (!found) continue;
        Volume->getVoxel(x, y, z, voxel);
        bool write = voxel.FeatureType == 0;
        if (!write && (voxel.FeatureType & 1)) {
          const vec3 stored(voxel.FeatureOffset[0], voxel.FeatureOffset[1], voxel.FeatureOffset[2]);
          write = sq < stored.length2();
        }
        if (write) {
          voxel.FeatureOffset[0] = o.v[0];
          voxel.FeatureOffset[1] = o.v[1];
          voxel.FeatureOffset[2] = o.v[2];
          voxel.FeatureType = 1;
          Volume->setVoxel(x, y, z, voxel);
        }
      }
}

void PolygonStorageVoxelizerDual::closestSegmentSample(const vec3& D, const vec3& c, bool& found, vec3& o, float& sq) {
  const float halfWidth = 0.7f;
  float best = 10.0f, step = 0.01f, lo = 0.0f, hi = 1.0f, tBest = 0.0f;
  bool improved = true;
  o = vec3(0, 0, 0);
  while (step > 0.0001f && improved) {
    improved = false;
    for (float t = lo; t < hi; t = t + step) {
      const vec3 r = c - t * D;
      if (std::fabs(r.v[0]) <= halfWidth && std::fabs(r.v[1]) <= halfWidth && std::fabs(r.v[2]) <= halfWidth) {
        const float d2 = r.length2();
        if (d2 < best) {
          best = d2;
          o = r;
          tBest = t;
          improved = true;
        }
      }
    }
    if (improved) {
      lo = tBest - step;
      if (lo < 0.0f) lo = 0.0f;
      hi = tBest + step;
      if (hi > 1.0f) hi = 1.0f;
      // In double, so that the third step lands just below 0.0001 and ends the loop after the
      // fine pass; a float 0.1 would round it above.
      step = static_cast<float>(static_cast<double>(step) * 0.1);
    }
  }
  found = best < 10.0f;
  sq = best;
}

}  // namespace tessellor
