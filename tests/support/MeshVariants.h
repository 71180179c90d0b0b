#pragma once

// The messy variants of a clean mesh that real pipelines produce: faces flipped at random, every
// face reversed, an unwelded triangle soup, triangles merged pairwise into quads, and a few
// triangles removed. Each returns the positions and polygons of a new mesh (build it with
// testmeshes::build); the input is taken as read, in its own units.

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/TestMeshes.h"

namespace meshvariants {

using testmeshes::MeshData;

inline MeshData asData(const PolygonStorage& mesh, const std::string& name) {
  MeshData m{name, {}, {}, 0};
  for (const Vertex& v : mesh.Vertices) m.Positions.push_back(v.pos);
  for (const VertexIDList& p : mesh.Polygons)
    if (!p.empty()) m.Polygons.push_back(p);
  return m;
}

// Every polygon reversed with probability `share`.
inline MeshData flipped(const PolygonStorage& mesh, double share, unsigned seed = 1) {
  MeshData m = asData(mesh, "flipped");
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> coin(0.0, 1.0);
  for (VertexIDList& p : m.Polygons)
    if (coin(random) < share) std::reverse(p.begin(), p.end());
  return m;
}

inline MeshData reversed(const PolygonStorage& mesh) {
  MeshData m = flipped(mesh, 2.0);
  m.Name = "reversed";
  return m;
}

// Every polygon with corners of its own.
inline MeshData soup(const PolygonStorage& mesh) {
  MeshData m{"soup", {}, {}, 0};
  for (const VertexIDList& p : mesh.Polygons) {
    if (p.empty()) continue;
    VertexIDList own;
    for (int v : p) {
      own.push_back(static_cast<int>(m.Positions.size()));
      m.Positions.push_back(mesh.Vertices[static_cast<std::size_t>(v)].pos);
    }
    m.Polygons.push_back(own);
  }
  return m;
}

// Triangles joined with a neighbour across a shared edge into a quad wherever one is free (a
// greedy pass in polygon order); the quads of a curved mesh are not planar.
inline MeshData pairedQuads(const PolygonStorage& mesh) {
  MeshData m{"quads", {}, {}, 0};
  for (const Vertex& v : mesh.Vertices) m.Positions.push_back(v.pos);
  std::vector<char> used(mesh.Polygons.size(), 0);
  for (std::size_t t = 0; t < mesh.Polygons.size(); ++t) {
    const VertexIDList& p = mesh.Polygons[t];
    if (used[t] || p.empty()) continue;
    used[t] = 1;
    VertexIDList quad;
    for (int k = 0; k < 3 && p.size() == 3 && quad.empty(); ++k) {
      const int a = p[static_cast<std::size_t>(k)], b = p[static_cast<std::size_t>((k + 1) % 3)];
      const int c = p[static_cast<std::size_t>((k + 2) % 3)];
      const EdgeEntryData* edge = mesh.findEdge(PolygonStorage::makeEdgeKey(a, b));
      if (!edge || edge->Second < 0) continue;
      const int other = edge->First == static_cast<int>(t) ? edge->Second : edge->First;
      const VertexIDList& q = mesh.Polygons[static_cast<std::size_t>(other)];
      if (used[static_cast<std::size_t>(other)] || q.size() != 3) continue;
      for (int v : q)
        if (v != a && v != b) quad = {a, v, b, c};
      if (!quad.empty()) used[static_cast<std::size_t>(other)] = 1;
    }
    m.Polygons.push_back(quad.empty() ? p : quad);
  }
  return m;
}

// Up to `count` triangles removed whose edges are all shorter than `longest` and which share no
// corner with each other, so that each leaves a hole of its own.
inline MeshData holes(const PolygonStorage& mesh, float longest, int count, unsigned seed = 1) {
  MeshData m = asData(mesh, "holes");
  std::vector<std::size_t> candidates;
  for (std::size_t t = 0; t < m.Polygons.size(); ++t) {
    float edge = 0.0f;
    const VertexIDList& p = m.Polygons[t];
    for (std::size_t k = 0; k < p.size(); ++k) {
      const V3& a = m.Positions[static_cast<std::size_t>(p[k])];
      const V3& b = m.Positions[static_cast<std::size_t>(p[(k + 1) % p.size()])];
      edge =
          std::max(edge, std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z)));
    }
    if (p.size() == 3 && edge < longest) candidates.push_back(t);
  }
  std::shuffle(candidates.begin(), candidates.end(), std::mt19937(seed));
  std::set<int> touched;
  std::vector<char> removed(m.Polygons.size(), 0);
  int made = 0;
  for (std::size_t t : candidates) {
    if (made >= count) break;
    const VertexIDList& p = m.Polygons[t];
    if (touched.count(p[0]) || touched.count(p[1]) || touched.count(p[2])) continue;
    touched.insert(p.begin(), p.end());
    removed[t] = 1;
    ++made;
  }
  std::vector<VertexIDList> kept;
  for (std::size_t t = 0; t < m.Polygons.size(); ++t)
    if (!removed[t]) kept.push_back(m.Polygons[t]);
  m.Polygons.swap(kept);
  return m;
}

}  // namespace meshvariants
