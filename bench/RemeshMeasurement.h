#pragma once

// What a remeshing run produced, measured the same way by the end-to-end tests and the
// benchmarks: closedness and orientation of the Marching Cubes mesh and the output, Euler
// characteristics, the output's shares of quads and of valence-4 vertices, and how many
// feature-marked output vertices lie on a sharp edge of the input. The topology checks are the
// test suite's own (tests/support).

#include "base/NullOutput.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "support/TestMeshes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace tessellor;

namespace remeshmeasure {

struct Measurement {
  bool McClosed = false;
  bool OutputClosed = false;
  int McPolygons = 0;  // non-empty Marching Cubes polygons
  int Polygons = 0;    // non-empty output polygons
  int Quads = 0;
  int BadPolygons = 0;  // non-empty with other than three or four corners
  int UsedVertices = 0;
  int Valence4 = 0;
  int InputEuler = 0;
  int McEuler = 0;
  int OutputEuler = 0;
  int Surfaces = 0;      // connected pieces of the output
  int FeatureCells = 0;  // volume cells marked as a feature corner or edge
  float VoxelSize = 0;   // in the input's units
  double McVolume = 0;   // enclosed volumes (voxels cubed): positive when the surfaces face outwards
  double OutputVolume = 0;
  bool Features = false;    // the run detected sharp features; the two counts below are measured
  int FeatureVertices = 0;  // used output vertices with attr != 0
  int FeatureNearEdge = 0;  // of those, within 0.1 voxel of a sharp input edge
  bool Integrity = false;
  std::string Problem;  // the first edge that keeps a mesh from being closed and oriented
};

inline float distanceToSegment(const V3& p, const V3& a, const V3& b) {
  const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  const float len2 = dx * dx + dy * dy + dz * dz;
  float t = len2 > 0.0f ? ((p.x - a.x) * dx + (p.y - a.y) * dy + (p.z - a.z) * dz) / len2 : 0.0f;
  t = std::min(1.0f, std::max(0.0f, t));
  const float ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y, ez = a.z + t * dz - p.z;
  return std::sqrt(ex * ex + ey * ey + ez * ez);
}

// The sharp edges of a mesh, as segments: boundary edges and edges whose face normals have |cos|
// below psi. Needs the mesh's edge index and midpoints.
inline std::vector<std::pair<V3, V3>> sharpEdges(const PolygonStorage& mesh, float psi) {
  std::vector<std::pair<V3, V3>> sharp;
  for (const auto& entry : mesh.EdgeIndex) {
    const EdgeEntryData& e = entry.second;
    bool isSharp = e.Second == -1;
    if (!isSharp) {
      const V3& n1 = mesh.Midpoints[e.First].n;
      const V3& n2 = mesh.Midpoints[e.Second].n;
      isSharp = std::fabs(n1.x * n2.x + n1.y * n2.y + n1.z * n2.z) < psi;
    }
    if (isSharp) sharp.emplace_back(mesh.Vertices[entry.first.Lower].pos, mesh.Vertices[entry.first.Upper].pos);
  }
  return sharp;
}

// Counts the feature-marked output vertices and those of them on a sharp input edge (both
// meshes in the voxel frame).
inline void measureFeatureFidelity(QuadDominantTessellor& c, Measurement& m) {
  const std::vector<std::pair<V3, V3>> sharp = sharpEdges(c.getInputMesh(), c.getThresholdPsi());
  const PolygonStorage& out = c.getOutputMesh();
  m.Features = true;
  for (std::size_t v = 0; v < out.Vertices.size(); ++v) {
    if (out.VIndex[v].empty() || out.Vertices[v].attr == 0) continue;
    ++m.FeatureVertices;
    float best = 1e30f;
    for (const auto& s : sharp) best = std::min(best, distanceToSegment(out.Vertices[v].pos, s.first, s.second));
    if (best <= 0.1f) ++m.FeatureNearEdge;
  }
}

// Measures a controller after remesh. features: the run detected sharp features (then the
// feature fidelity is measured too). The integrity check runs without logging.
inline Measurement measure(QuadDominantTessellor& c, bool features) {
  Measurement m;
  const PolygonStorage& mc = c.getMCMesh();
  PolygonStorage& out = c.getOutputMesh();
  // Fitting moves the input but keeps its topology.
  m.InputEuler = testmeshes::eulerCharacteristic(c.getInputMesh());
  const std::string mcFault = testmeshes::closedOrientedFault(mc), outFault = testmeshes::closedOrientedFault(out);
  m.McClosed = mcFault.empty();
  m.OutputClosed = outFault.empty();
  m.Problem = mcFault.empty() ? outFault : "Marching Cubes mesh: " + mcFault;
  m.McEuler = testmeshes::eulerCharacteristic(mc);
  m.McVolume = testmeshes::enclosedVolume(mc);
  m.OutputVolume = testmeshes::enclosedVolume(out);
  for (const VertexIDList& polygon : mc.Polygons) m.McPolygons += polygon.empty() ? 0 : 1;
  m.OutputEuler = testmeshes::eulerCharacteristic(out);
  for (const VertexIDList& polygon : out.Polygons) {
    if (polygon.empty()) continue;
    ++m.Polygons;
    m.Quads += polygon.size() == 4 ? 1 : 0;
    m.BadPolygons += polygon.size() < 3 || polygon.size() > 4 ? 1 : 0;
  }
  for (const VertexIDSet& around : out.VIndex) {
    if (around.empty()) continue;
    ++m.UsedVertices;
    m.Valence4 += around.size() == 4 ? 1 : 0;
  }
  std::vector<int> piece(out.Vertices.size());
  for (std::size_t v = 0; v < piece.size(); ++v) piece[v] = static_cast<int>(v);
  auto find = [&piece](int v) {
    while (piece[v] != v) v = piece[v] = piece[piece[v]];
    return v;
  };
  for (const VertexIDList& p : out.Polygons)
    for (int v : p) piece[find(v)] = find(p[0]);
  for (std::size_t v = 0; v < piece.size(); ++v)
    m.Surfaces += !out.VIndex[v].empty() && find(static_cast<int>(v)) == static_cast<int>(v) ? 1 : 0;
  for (const VoxelData& v : c.Volume.Voxels) m.FeatureCells += v.FeatureType != 0 ? 1 : 0;
  m.VoxelSize = out.getScale();
  if (features) measureFeatureFidelity(c, m);
  StatusOutput* const log = out.Output;
  out.setStatusOutput(nullptr);
  m.Integrity = out.checkIntegrity();
  out.setStatusOutput(log);
  return m;
}

// A controller that has read the mesh file at path (or, for an empty path, holds the given mesh),
// fitted it into 50 x 50 x 50 as "Open" does, and remeshed it with the given settings. Throws
// TessellorError when the mesh cannot be read or remeshed.
inline std::unique_ptr<QuadDominantTessellor> remeshed(const std::string& path, int maxVoxels, bool features,
                                                       VoxelizationMode mode, StatusOutput* log = nullptr,
                                                       const testmeshes::MeshData* data = nullptr) {
  auto c = std::make_unique<QuadDominantTessellor>();
  c->setStatusOutput(log ? log : &NullOutput::instance());
  if (data) {
    testmeshes::build(c->getInputMesh(), *data);
  } else {
    PolygonStorageImportPLY importer;
    importer.setStatusOutput(log);
    importer.import(path, c->getInputMesh());
  }
  if (!c->getInputMesh().Vertices.empty()) c->getInputMesh().fitIntoVolume(50, 50, 50);
  c->setMaxVoxels(maxVoxels);
  c->setDetectSharpFeatures(features);
  c->setVoxelizationMode(mode);
  c->remesh();
  return c;
}

inline std::string share(int part, int whole) {
  if (whole == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(part) / whole);
  return text;
}

// The measurement as a Markdown table. "attr near sharp edge": share of the feature-marked
// output vertices within 0.1 voxel of a sharp input edge, and their number.
inline void printHeader(std::FILE* to = stdout) {
  std::fprintf(to,
               "| mesh | voxels | features | MC closed | output closed | polygons | quads | valence 4 |"
               " attr near sharp edge |\n"
               "|---|---:|---|---|---|---:|---:|---:|---|\n");
}

// A mesh without polygons is closed only in name: it shows as "empty".
inline const char* closedText(bool closed, int polygons) { return polygons == 0 ? "empty" : closed ? "yes" : "no"; }

inline void printRow(const std::string& source, int maxVoxels, const Measurement& m, std::FILE* to = stdout) {
  const std::string fidelity =
      m.Features ? share(m.FeatureNearEdge, m.FeatureVertices) + " of " + std::to_string(m.FeatureVertices) : "";
  std::fprintf(to, "| %s | %d | %s | %s | %s | %d | %s | %s | %s |\n", source.c_str(), maxVoxels,
               m.Features ? "on" : "off", closedText(m.McClosed, m.McPolygons), closedText(m.OutputClosed, m.Polygons),
               m.Polygons, share(m.Quads, m.Polygons).c_str(), share(m.Valence4, m.UsedVertices).c_str(),
               fidelity.c_str());
}

}  // namespace remeshmeasure
