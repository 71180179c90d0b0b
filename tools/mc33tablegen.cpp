// mc33tablegen: turns the published Marching Cubes 33 table data into the C++ header that the
// extractor compiles against, and derives the polygon tables from their triangle tables.
//
//   mc33tablegen TABLES.txt OUT.h
//
// Input format: 'table NAME D1 [D2 [D3]] crc32 HEX', the entries (signed 8-bit) in row-major
// order, 'end'. Lines starting with '#' are comments. Every table's CRC-32 is verified before
// anything is written, so a damaged or different release never reaches the source tree.
//
// Polygon tables: each row of a replaced triangle table is split into its edge-connected groups
// of triangles (each a disc); every disc becomes one closed loop, its boundary walked in the
// direction of the triangles' own edges so the polygon keeps their orientation. Loops are written
// in the order the triangle row first reaches them (reversed for polygon10_1_1_), separated by -1.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Table {
  std::string Name;
  std::vector<int> Dims;
  std::uint32_t Crc = 0;
  std::vector<int> Entries;
};

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "mc33tablegen: " << message << "\n";
  std::exit(1);
}

std::uint32_t crc32(const std::vector<int>& entries) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (int e : entries) {
    crc ^= static_cast<std::uint8_t>(static_cast<std::int8_t>(e));
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

std::vector<Table> readTables(const std::string& path) {
  std::ifstream in(path);
  if (!in) fail("cannot open " + path);
  std::vector<Table> tables;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream head(line);
    std::string word;
    head >> word;
    if (word != "table") fail(path + ":" + std::to_string(lineNo) + ": expected 'table'");
    Table t;
    head >> t.Name;
    std::size_t count = 1;
    while (head >> word && word != "crc32") {
      const int d = std::atoi(word.c_str());
      if (d <= 0) fail(path + ":" + std::to_string(lineNo) + ": bad dimension " + word);
      t.Dims.push_back(d);
      count *= static_cast<std::size_t>(d);
    }
    std::string hex;
    if (word != "crc32" || !(head >> hex) || t.Dims.empty() || t.Dims.size() > 3)
      fail(path + ":" + std::to_string(lineNo) + ": malformed table line");
    t.Crc = static_cast<std::uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
    bool ended = false;
    while (std::getline(in, line)) {
      ++lineNo;
      if (line == "end") {
        ended = true;
        break;
      }
      std::istringstream row(line);
      int v;
      while (row >> v) {
        if (v < -128 || v > 127) fail(path + ":" + std::to_string(lineNo) + ": entry out of 8-bit range");
        t.Entries.push_back(v);
      }
    }
    if (!ended) fail("table " + t.Name + " has no 'end'");
    if (t.Entries.size() != count)
      fail("table " + t.Name + " has " + std::to_string(t.Entries.size()) + " entries, expected " +
           std::to_string(count));
    const std::uint32_t crc = crc32(t.Entries);
    if (crc != t.Crc) {
      char buffer[128];
      std::snprintf(buffer, sizeof buffer, "table %s: CRC-32 %08X, expected %08X", t.Name.c_str(), crc, t.Crc);
      fail(buffer);
    }
    tables.push_back(std::move(t));
  }
  return tables;
}

// One closed loop per disc of the row's triangles, in first-touch order.
std::vector<std::vector<int>> loopsOfRow(const int* row, int triangles, const std::string& where) {
  // Directed edges of all triangles, and which triangle owns each.
  std::map<std::pair<int, int>, int> owner;
  for (int t = 0; t < triangles; ++t)
    for (int c = 0; c < 3; ++c) {
      const std::pair<int, int> e(row[3 * t + c], row[3 * t + (c + 1) % 3]);
      if (!owner.emplace(e, t).second) fail(where + ": directed edge used twice");
    }
  // Group triangles that share an edge (union-find).
  std::vector<int> parent(static_cast<std::size_t>(triangles));
  for (int t = 0; t < triangles; ++t) parent[t] = t;
  auto find = [&](int t) {
    while (parent[t] != t) t = parent[t] = parent[parent[t]];
    return t;
  };
  for (const auto& [edge, t] : owner) {
    const auto twin = owner.find({edge.second, edge.first});
    if (twin != owner.end()) parent[find(t)] = find(twin->second);
  }
  std::vector<int> groupOrder;  // group roots in the order the row first reaches them
  for (int t = 0; t < triangles; ++t) {
    const int root = find(t);
    bool known = false;
    for (int g : groupOrder) known = known || g == root;
    if (!known) groupOrder.push_back(root);
  }
  std::vector<std::vector<int>> loops;
  for (int root : groupOrder) {
    std::map<int, int> next;  // boundary edges of this group: tail -> head
    int start = -1;
    int groupTriangles = 0;
    for (int t = 0; t < triangles; ++t) {
      if (find(t) != root) continue;
      ++groupTriangles;
      for (int c = 0; c < 3; ++c) {
        const int a = row[3 * t + c], b = row[3 * t + (c + 1) % 3];
        if (owner.count({b, a})) continue;
        if (!next.emplace(a, b).second) fail(where + ": boundary is not a simple loop");
        if (start < 0) start = a;
      }
    }
    std::vector<int> loop;
    for (int v = start; loop.empty() || v != start; v = next.at(v)) {
      if (loop.size() > next.size() || !next.count(v)) fail(where + ": boundary does not close");
      loop.push_back(v);
    }
    if (loop.size() != next.size()) fail(where + ": boundary has more than one loop");
    if (static_cast<int>(loop.size()) != groupTriangles + 2) fail(where + ": triangle group is not a disc");
    loops.push_back(loop);
  }
  return loops;
}

struct PolygonLayout {
  const char* Name;
  const char* Source;
  std::vector<int> LoopSizes;
  bool Reversed;
};

Table buildPolygonTable(const PolygonLayout& layout, const Table& source) {
  Table out;
  out.Name = layout.Name;
  int rowLength = static_cast<int>(layout.LoopSizes.size()) - 1;
  for (int s : layout.LoopSizes) rowLength += s;
  out.Dims = {source.Dims[0], rowLength};
  const int sourceRow = source.Dims[1];
  for (int r = 0; r < source.Dims[0]; ++r) {
    const std::string where = std::string(layout.Name) + " row " + std::to_string(r);
    auto loops = loopsOfRow(&source.Entries[static_cast<std::size_t>(r * sourceRow)], sourceRow / 3, where);
    if (layout.Reversed) std::swap(loops.front(), loops.back());
    if (loops.size() != layout.LoopSizes.size()) fail(where + ": unexpected number of loops");
    for (std::size_t l = 0; l < loops.size(); ++l) {
      if (static_cast<int>(loops[l].size()) != layout.LoopSizes[l]) fail(where + ": unexpected loop size");
      if (l > 0) out.Entries.push_back(-1);
      out.Entries.insert(out.Entries.end(), loops[l].begin(), loops[l].end());
    }
  }
  return out;
}

void writeTable(std::ostream& out, const Table& t, bool withCrc) {
  out << "inline constexpr std::int8_t " << t.Name;
  for (int d : t.Dims) out << "[" << d << "]";
  out << " = {";
  if (withCrc) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", t.Crc);
    out << "  // CRC-32 " << buffer;
  }
  out << "\n";
  const int rowLength = t.Dims.back();
  const int inner = t.Dims.size() == 3 ? t.Dims[1] : 1;
  const std::size_t rows = t.Entries.size() / static_cast<std::size_t>(rowLength);
  for (std::size_t r = 0; r < rows; ++r) {
    const bool open = t.Dims.size() == 3 && r % static_cast<std::size_t>(inner) == 0;
    const bool close = t.Dims.size() == 3 && r % static_cast<std::size_t>(inner) == static_cast<std::size_t>(inner - 1);
    if (open) out << "  {\n";
    out << (t.Dims.size() == 3 ? "    " : "  ");
    if (t.Dims.size() > 1) out << "{";
    for (int c = 0; c < rowLength; ++c) {
      if (c) out << ", ";
      out << t.Entries[r * static_cast<std::size_t>(rowLength) + static_cast<std::size_t>(c)];
    }
    if (t.Dims.size() > 1) out << "},";
    out << "\n";
    if (close) out << "  },\n";
  }
  out << "};\n\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) fail("usage: mc33tablegen TABLES.txt OUT.h");
  const std::vector<Table> tables = readTables(argv[1]);
  auto byName = [&](const std::string& name) -> const Table& {
    for (const Table& t : tables)
      if (t.Name == name) return t;
    fail("table " + name + " missing");
  };

  const std::vector<PolygonLayout> polygons = {
      {"polygon2", "tiling2", {4}, false},
      {"polygon3_2", "tiling3_2", {6}, false},
      {"polygon5", "tiling5", {5}, false},
      {"polygon6_1_1", "tiling6_1_1", {3, 4}, false},
      {"polygon8", "tiling8", {4}, false},
      {"polygon9", "tiling9", {6}, false},
      {"polygon10_1_1", "tiling10_1_1", {4, 4}, false},
      {"polygon10_1_1_", "tiling10_1_1_", {4, 4}, true},
      {"polygon11", "tiling11", {6}, false},
      {"polygon12_1_1", "tiling12_1_1", {3, 5}, false},
      {"polygon12_1_1_", "tiling12_1_1_", {3, 5}, false},
      {"polygon14", "tiling14", {6}, false},
  };
  std::vector<Table> derived;
  for (const PolygonLayout& layout : polygons) derived.push_back(buildPolygonTable(layout, byName(layout.Source)));

  std::ostringstream out;
  out << "#pragma once\n\n"
         "// Marching Cubes 33 look-up tables. Generated by tools/mc33tablegen from mc33-tables.txt;\n"
         "// do not edit by hand (build the target regenerate_mc33_tables instead).\n"
         "//\n"
         "// Published tables (2003 release, 6.1.2 tiled with seven triangles): entries 0..11 are cube\n"
         "// edges, 12 the cube's interior vertex; triangles are wound counter-clockwise seen from the\n"
         "// positive side. The polygon tables replace triangle tables whose triangles form discs: each\n"
         "// row is one or two closed loops of edges, separated by -1.\n\n"
         "#include <cstdint>\n\n"
         "// clang-format off\n"
         "namespace tessellor::mc33 {\n\n";
  for (const Table& t : tables) writeTable(out, t, true);
  out << "// ---- polygon tables, derived from the triangle tables above\n\n";
  for (const Table& t : derived) writeTable(out, t, false);
  out << "}  // namespace tessellor::mc33\n"
         "// clang-format on\n";

  std::ofstream file(argv[2], std::ios::binary);
  if (!file || !(file << out.str()) || !file.flush()) fail(std::string("cannot write ") + argv[2]);
  return 0;
}
