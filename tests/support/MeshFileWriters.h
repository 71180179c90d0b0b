#pragma once

// Mesh files in the formats the readers take and the project does not write (binary PLY, STL,
// OFF) or writes only one way (OBJ), for tests. Coordinates are written so that they read back
// as the same 32-bit floats; each writer uses the odd but valid forms of its format (extra
// properties and elements, every OBJ corner form, continuation lines, comments, ...).

#include "mesh/PolygonStorage.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace meshfiles {

using tessellor::V3;
using tessellor::VertexIDList;

struct Shape {
  std::vector<V3> Positions;
  std::vector<VertexIDList> Polygons;
};

// The shape with its vertices numbered in the order the polygons first use them, as an STL
// reader numbers them.
inline Shape numberedByFirstUse(const Shape& shape) {
  Shape result;
  std::vector<int> ids(shape.Positions.size(), -1);
  for (const VertexIDList& polygon : shape.Polygons) {
    VertexIDList renumbered;
    for (int id : polygon) {
      int& mapped = ids[static_cast<std::size_t>(id)];
      if (mapped < 0) {
        mapped = static_cast<int>(result.Positions.size());
        result.Positions.push_back(shape.Positions[static_cast<std::size_t>(id)]);
      }
      renumbered.push_back(mapped);
    }
    result.Polygons.push_back(renumbered);
  }
  return result;
}

inline std::string number(float value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", static_cast<double>(value));  // exact as a double
  return text;
}

inline std::string xyz(const V3& p) { return number(p.x) + " " + number(p.y) + " " + number(p.z); }

inline std::string plyAscii(const Shape& s) {
  std::string t = "ply\nformat ascii 1.0\nelement vertex " + std::to_string(s.Positions.size()) +
                  "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
                  std::to_string(s.Polygons.size()) + "\nproperty list uchar int vertex_indices\nend_header\n";
  for (const V3& p : s.Positions) t += xyz(p) + "\n";
  for (const VertexIDList& f : s.Polygons) {
    t += std::to_string(f.size());
    for (int id : f) t += " " + std::to_string(id);
    t += "\n";
  }
  return t;
}

// One scalar of a PLY type ("char" ... "double"), in the given byte order.
inline void putScalar(std::string& out, const std::string& type, double value, bool bigEndian) {
  unsigned char b[8];
  int n = 0;
  auto put = [&](const auto v) {
    n = static_cast<int>(sizeof v);
    std::memcpy(b, &v, sizeof v);
  };
  if (type == "char") put(static_cast<std::int8_t>(value));
  if (type == "uchar") put(static_cast<std::uint8_t>(value));
  if (type == "short") put(static_cast<std::int16_t>(value));
  if (type == "ushort") put(static_cast<std::uint16_t>(value));
  if (type == "int") put(static_cast<std::int32_t>(value));
  if (type == "uint") put(static_cast<std::uint32_t>(value));
  if (type == "float") put(static_cast<float>(value));
  if (type == "double") put(value);
  if (bigEndian) std::reverse(b, b + n);  // the tests run on little-endian machines
  out.append(reinterpret_cast<const char*>(b), static_cast<std::size_t>(n));
}

// Vertices with a normal before x y z and a colour after; an edge element between vertices and
// faces; faces with a flag before the index list and a texture list after it.
inline std::string plyBinary(const Shape& s, bool bigEndian, const std::string& coordinate = "float",
                             const std::string& count = "uchar", const std::string& index = "int") {
  std::string t = std::string("ply\nformat binary_") + (bigEndian ? "big" : "little") + "_endian 1.0\nelement vertex " +
                  std::to_string(s.Positions.size()) + "\nproperty float nx\nproperty " + coordinate + " x\nproperty " +
                  coordinate + " y\nproperty " + coordinate +
                  " z\nproperty uchar red\nelement edge 1\nproperty int vertex1\nproperty int vertex2\nelement face " +
                  std::to_string(s.Polygons.size()) + "\nproperty uchar flags\nproperty list " + count + " " + index +
                  " vertex_indices\nproperty list uchar float texcoord\nend_header\n";
  for (const V3& p : s.Positions) {
    putScalar(t, "float", 1.0, bigEndian);
    for (float c : {p.x, p.y, p.z}) putScalar(t, coordinate, c, bigEndian);
    putScalar(t, "uchar", 200, bigEndian);
  }
  putScalar(t, "int", 0, bigEndian);
  putScalar(t, "int", 1, bigEndian);
  for (const VertexIDList& f : s.Polygons) {
    putScalar(t, "uchar", 7, bigEndian);
    putScalar(t, count, static_cast<double>(f.size()), bigEndian);
    for (int id : f) putScalar(t, index, id, bigEndian);
    putScalar(t, "uchar", 2, bigEndian);
    putScalar(t, "float", 0.5, bigEndian);
    putScalar(t, "float", 0.25, bigEndian);
  }
  return t;
}

// Triangles only. Every other facet writes its zero coordinates as -0, which is the same corner.
inline std::string stlAscii(const Shape& s) {
  std::string t = "solid shape\n";
  for (std::size_t f = 0; f < s.Polygons.size(); ++f) {
    t += "  facet normal 0 0 1\n    outer loop\n";
    for (int id : s.Polygons[f]) {
      std::string corner = xyz(s.Positions[static_cast<std::size_t>(id)]);
      if (f % 2 == 1 && corner.compare(0, 2, "0 ") == 0) corner = "-" + corner;
      t += "      vertex " + corner + "\n";
    }
    t += "    endloop\n  endfacet\n";
  }
  return t + "endsolid shape\n";
}

// Triangles only; the 80-byte header begins with "solid" as many exporters write it.
inline std::string stlBinary(const Shape& s) {
  std::string t = "solid written by an exporter";
  t.resize(80, ' ');
  putScalar(t, "uint", static_cast<double>(s.Polygons.size()), false);
  for (const VertexIDList& f : s.Polygons) {
    for (int i = 0; i < 3; ++i) putScalar(t, "float", 0.0, false);
    for (int id : f)
      for (float c : {s.Positions[id].x, s.Positions[id].y, s.Positions[id].z}) putScalar(t, "float", c, false);
    t += std::string(2, '\0');
  }
  return t;
}

// keyword "OFF", "COFF" (a colour after each vertex) or "NOFF" (a normal after each vertex).
inline std::string off(const Shape& s, const std::string& keyword = "OFF") {
  std::string t = "# written by a test\n" + keyword + "\n" + std::to_string(s.Positions.size()) + " " +
                  std::to_string(s.Polygons.size()) + " 0\n\n";
  for (const V3& p : s.Positions)
    t += xyz(p) + (keyword == "COFF" ? " 255 0 0 255\n" : keyword == "NOFF" ? " 0 0 1  # normal\n" : "\n");
  for (const VertexIDList& f : s.Polygons) {
    t += std::to_string(f.size());
    for (int id : f) t += " " + std::to_string(id);
    t += " 0.5 0.5 0.5\n";
  }
  return t;
}

// Every corner form (i, i/t, i//n, i/t/n, negative), w and colour on vertices, continued lines
// and the statements that are read over.
inline std::string obj(const Shape& s) {
  std::string t = "# test\nmtllib shape.mtl\no shape\n";
  for (std::size_t v = 0; v < s.Positions.size(); ++v)
    t += "v " + xyz(s.Positions[v]) + (v % 2 ? " 1.0\n" : " 1.0 0.5 0.5 0.5\n") + "vt 0 0\nvn 0 0 1\n";
  t += "g group\ns 1\nusemtl stone\n";
  const int n = static_cast<int>(s.Positions.size());
  for (std::size_t f = 0; f < s.Polygons.size(); ++f) {
    t += "f";
    for (std::size_t c = 0; c < s.Polygons[f].size(); ++c) {
      const std::string i = std::to_string(s.Polygons[f][c] + 1);
      const std::string forms[] = {i, i + "/1", i + "//1", i + "/1/1", std::to_string(s.Polygons[f][c] - n)};
      t += " " + forms[(f + c) % 5] + (c == 1 ? " \\\n " : "");
    }
    t += "\n";
  }
  return t + "l 1 2\n";
}

}  // namespace meshfiles
