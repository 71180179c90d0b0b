#include "mesh/ScaledJacobian.h"

#include "mesh/PolygonStorage.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tessellor {

namespace {

struct D3 {
  double x, y, z;
};

D3 at(const PolygonStorage& mesh, int id) {
  const V3& p = mesh.Vertices[static_cast<std::size_t>(id)].pos;
  return D3{p.x, p.y, p.z};
}

D3 minus(const D3& a, const D3& b) { return D3{a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 cross(const D3& a, const D3& b) { return D3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

}  // namespace

float scaledJacobian(const PolygonStorage& mesh, int polygon) {
  if (polygon < 0 || static_cast<std::size_t>(polygon) >= mesh.Polygons.size()) return 0.0f;
  const VertexIDList& ids = mesh.Polygons[static_cast<std::size_t>(polygon)];
  const std::size_t n = ids.size();
  if (n < 3) return 0.0f;
  const int vertexCount = static_cast<int>(mesh.Vertices.size());
  for (int id : ids)
    if (id < 0 || id >= vertexCount) return 0.0f;

  // Newell's normal: the area vector of the polygon, well defined for non-planar quads too.
  D3 normal{0.0, 0.0, 0.0};
  for (std::size_t i = 0; i < n; ++i) {
    const D3 a = at(mesh, ids[i]);
    const D3 b = at(mesh, ids[(i + 1) % n]);
    normal.x += (a.y - b.y) * (a.z + b.z);
    normal.y += (a.z - b.z) * (a.x + b.x);
    normal.z += (a.x - b.x) * (a.y + b.y);
  }
  const double area = std::sqrt(dot(normal, normal));
  if (!(area > 0.0)) return 0.0f;

  double smallest = 1.0;
  for (std::size_t i = 0; i < n; ++i) {
    const D3 corner = at(mesh, ids[i]);
    const D3 next = minus(at(mesh, ids[(i + 1) % n]), corner);
    const D3 previous = minus(at(mesh, ids[(i + n - 1) % n]), corner);
    const double lengths = std::sqrt(dot(next, next) * dot(previous, previous));
    if (!(lengths > 0.0)) return 0.0f;
    smallest = std::min(smallest, dot(cross(next, previous), normal) / (area * lengths));
  }
  if (n == 3) smallest = std::min(1.0, smallest * 2.0 / std::sqrt(3.0));
  return static_cast<float>(smallest);
}

std::vector<float> scaledJacobians(const PolygonStorage& mesh) {
  std::vector<float> values(mesh.Polygons.size());
  for (std::size_t p = 0; p < values.size(); ++p) values[p] = scaledJacobian(mesh, static_cast<int>(p));
  return values;
}

}  // namespace tessellor
