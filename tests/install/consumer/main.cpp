// Remeshes a generated sphere through the installed library and checks the result is closed.
#include <tessellor/Tessellor.h>

#include <cmath>
#include <cstdio>

int main() {
  tessellor::PolygonStorage sphere, quads;
  const int rings = 24, segments = 48;
  sphere.addVertex({{0, 0, 1}});  // north pole, then the rings, then the south pole
  for (int i = 1; i < rings; ++i)
    for (int j = 0; j < segments; ++j) {
      const float t = 3.14159265f * i / rings, p = 6.2831853f * j / segments;
      sphere.addVertex({{std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t)}});
    }
  const int south = sphere.addVertex({{0, 0, -1}});
  auto id = [&](int i, int j) { return i == 0 ? 0 : i == rings ? south : 1 + (i - 1) * segments + j % segments; };
  for (int i = 0; i < rings; ++i)
    for (int j = 0; j < segments; ++j) {
      if (i > 0) sphere.addTriangle(id(i, j), id(i + 1, j + 1), id(i, j + 1));
      if (i < rings - 1) sphere.addTriangle(id(i, j), id(i + 1, j), id(i + 1, j + 1));
    }
  tessellor::prepareMesh(sphere);
  tessellor::remesh(sphere, quads, tessellor::RemeshOptions{});  // no status output: reports nothing
  int open = 0;
  for (const auto& edge : quads.EdgeIndex) open += edge.second.Second < 0;
  std::printf("tessellor %s: %zu polygons, %d open edges\n", tessellor::version(), quads.Polygons.size(), open);
  return quads.Polygons.size() > 100 && open == 0 ? 0 : 1;
}
