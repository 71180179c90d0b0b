#include "extract/MarchingCubes33Tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace tessellor;

namespace {

using namespace mc33;

struct TableRef {
  const char* Name;
  const std::int8_t* Data;
  std::size_t Size;
  std::uint32_t Crc;
};

#define TABLE(name, crc) \
  TableRef { #name, reinterpret_cast < const std::int8_t*>(name), sizeof(name), crc }

// The published check values of every table the extractor uses or derives polygons from. With
// these the compiled tables are the published data entry for entry; the derived polygon tables
// are checked against their triangle rows below.
const std::vector<TableRef>& publishedTables() {
  static const std::vector<TableRef> tables = {
      TABLE(cases, 0x3BE9B1EFu),         TABLE(tiling1, 0x37E651F2u),      TABLE(test3, 0x6A624CB8u),
      TABLE(tiling3_1, 0xF3280074u),     TABLE(test4, 0x45010568u),        TABLE(tiling4_1, 0x297AC056u),
      TABLE(tiling4_2, 0xE8C07925u),     TABLE(test6, 0x79026B10u),        TABLE(tiling6_1_2, 0x8B1A640Au),
      TABLE(tiling6_2, 0xA1C70FAFu),     TABLE(test7, 0xF33B345Cu),        TABLE(tiling7_1, 0xBAC6E776u),
      TABLE(tiling7_2, 0x8AFD3F84u),     TABLE(tiling7_3, 0xD58D7869u),    TABLE(tiling7_4_1, 0x2E4D70B2u),
      TABLE(tiling7_4_2, 0xB1C18AE6u),   TABLE(test10, 0x5D164C4Bu),       TABLE(tiling10_1_2, 0xE8F220DDu),
      TABLE(tiling10_2, 0x6A7C7F5Du),    TABLE(tiling10_2_, 0x78144B5Eu),  TABLE(test12, 0x1BF8F0C0u),
      TABLE(tiling12_1_2, 0x9C5DE00Bu),  TABLE(tiling12_2, 0x61B5F0A0u),   TABLE(tiling12_2_, 0xE9C71C6Eu),
      TABLE(test13, 0xE69B65B3u),        TABLE(subconfig13, 0x2A9CFF42u),  TABLE(tiling13_1, 0x315B100Au),
      TABLE(tiling13_1_, 0xA328EA8Fu),   TABLE(tiling13_2, 0x4C97DE55u),   TABLE(tiling13_2_, 0x96B89585u),
      TABLE(tiling13_3, 0xD47FA21Eu),    TABLE(tiling13_3_, 0x15E587D6u),  TABLE(tiling13_4, 0x8FAAD9A8u),
      TABLE(tiling13_5_1, 0xCA9D47D0u),  TABLE(tiling13_5_2, 0x7DBB4D8Cu), TABLE(tiling2, 0x1FD1924Au),
      TABLE(tiling3_2, 0xAF0D6EFEu),     TABLE(tiling5, 0x656B36DBu),      TABLE(tiling6_1_1, 0xD3AE7B8Cu),
      TABLE(tiling8, 0x05E815B9u),       TABLE(tiling9, 0xAEA2C1B9u),      TABLE(tiling10_1_1, 0x7377AEDAu),
      TABLE(tiling10_1_1_, 0x81180008u), TABLE(tiling11, 0xD2FE764Bu),     TABLE(tiling12_1_1, 0xFE29037Cu),
      TABLE(tiling12_1_1_, 0xA21C2B6Au), TABLE(tiling14, 0x06E7B23Fu),
  };
  return tables;
}

// Standard CRC-32 (reflected 0xEDB88320, initial value and final XOR 0xFFFFFFFF), written out
// bit by bit so it shares nothing with the generator.
std::uint32_t crc32(const std::int8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= static_cast<std::uint8_t>(data[i]);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

TEST(MarchingCubes33Tables, Crc32OfKnownStringIsTheStandardOne) {
  const char text[] = "123456789";
  EXPECT_EQ(crc32(reinterpret_cast<const std::int8_t*>(text), 9), 0xCBF43926u);
}

TEST(MarchingCubes33Tables, EveryPublishedTableHasItsCheckValue) {
  for (const TableRef& t : publishedTables())
    EXPECT_EQ(crc32(t.Data, t.Size), t.Crc) << "table " << t.Name << " is not the published release";
}

// ---- polygon tables: each loop bounds one disc of the triangle row, in the triangles' direction

struct PolygonTable {
  const char* Name;
  const std::int8_t* Polygons;
  int PolygonRow;
  const std::int8_t* Triangles;
  int TriangleRow;
  int Rows;
  std::vector<int> LoopSizes;
  bool LastDiscFirst;
};

template <std::size_t R, std::size_t P, std::size_t T>
PolygonTable polygonTable(const char* name, const std::int8_t (&polygons)[R][P], const std::int8_t (&triangles)[R][T],
                          std::vector<int> loops, bool lastFirst = false) {
  return PolygonTable{name,
                      &polygons[0][0],
                      static_cast<int>(P),
                      &triangles[0][0],
                      static_cast<int>(T),
                      static_cast<int>(R),
                      std::move(loops),
                      lastFirst};
}

std::vector<PolygonTable> polygonTables() {
  return {
      polygonTable("polygon2", polygon2, tiling2, {4}),
      polygonTable("polygon3_2", polygon3_2, tiling3_2, {6}),
      polygonTable("polygon5", polygon5, tiling5, {5}),
      polygonTable("polygon6_1_1", polygon6_1_1, tiling6_1_1, {3, 4}),
      polygonTable("polygon8", polygon8, tiling8, {4}),
      polygonTable("polygon9", polygon9, tiling9, {6}),
      polygonTable("polygon10_1_1", polygon10_1_1, tiling10_1_1, {4, 4}),
      polygonTable("polygon10_1_1_", polygon10_1_1_, tiling10_1_1_, {4, 4}, true),
      polygonTable("polygon11", polygon11, tiling11, {6}),
      polygonTable("polygon12_1_1", polygon12_1_1, tiling12_1_1, {3, 5}),
      polygonTable("polygon12_1_1_", polygon12_1_1_, tiling12_1_1_, {3, 5}),
      polygonTable("polygon14", polygon14, tiling14, {6}),
  };
}

TEST(MarchingCubes33Tables, PolygonRowsAreTheBoundariesOfTheirTriangleDiscs) {
  for (const PolygonTable& t : polygonTables()) {
    for (int r = 0; r < t.Rows; ++r) {
      const std::string where = std::string(t.Name) + " row " + std::to_string(r);
      const std::int8_t* prow = t.Polygons + r * t.PolygonRow;
      const std::int8_t* trow = t.Triangles + r * t.TriangleRow;
      const int triangles = t.TriangleRow / 3;

      std::vector<std::vector<int>> loops(1);
      for (int i = 0; i < t.PolygonRow; ++i) {
        if (prow[i] == -1)
          loops.emplace_back();
        else
          loops.back().push_back(prow[i]);
      }
      ASSERT_EQ(loops.size(), t.LoopSizes.size()) << where;

      // Directed triangle edges, and the boundary: those whose reverse no triangle has.
      std::set<std::pair<int, int>> edges, boundary, loopEdges;
      for (int k = 0; k < triangles; ++k)
        for (int c = 0; c < 3; ++c) edges.insert({trow[3 * k + c], trow[3 * k + (c + 1) % 3]});
      for (const auto& e : edges)
        if (!edges.count({e.second, e.first})) boundary.insert(e);

      std::vector<bool> claimed(static_cast<std::size_t>(triangles), false);
      std::vector<int> firstTriangle;
      for (std::size_t l = 0; l < loops.size(); ++l) {
        const std::vector<int>& loop = loops[l];
        EXPECT_EQ(static_cast<int>(loop.size()), t.LoopSizes[l]) << where << " loop " << l;
        const std::set<int> corners(loop.begin(), loop.end());
        EXPECT_EQ(corners.size(), loop.size()) << where << ": a loop repeats an edge";
        for (std::size_t i = 0; i < loop.size(); ++i) {
          const std::pair<int, int> e(loop[i], loop[(i + 1) % loop.size()]);
          EXPECT_TRUE(boundary.count(e)) << where << ": " << e.first << "->" << e.second
                                         << " is not a boundary edge in the triangles' direction";
          loopEdges.insert(e);
        }
        // A disc with all corners on its boundary loop of n edges has n - 2 triangles.
        int inside = 0, first = -1;
        for (int k = 0; k < triangles; ++k) {
          if (corners.count(trow[3 * k]) && corners.count(trow[3 * k + 1]) && corners.count(trow[3 * k + 2])) {
            EXPECT_FALSE(claimed[k]) << where << ": triangle " << k << " in two discs";
            claimed[k] = true;
            ++inside;
            if (first < 0) first = k;
          }
        }
        EXPECT_EQ(inside, static_cast<int>(loop.size()) - 2) << where << " loop " << l << " is not a disc";
        firstTriangle.push_back(first);
      }
      EXPECT_EQ(loopEdges, boundary) << where << ": loops do not cover the whole boundary";
      EXPECT_TRUE(std::all_of(claimed.begin(), claimed.end(), [](bool b) { return b; })) << where;
      if (firstTriangle.size() == 2) {
        if (t.LastDiscFirst)
          EXPECT_GT(firstTriangle[0], firstTriangle[1]) << where << ": loop order";
        else
          EXPECT_LT(firstTriangle[0], firstTriangle[1]) << where << ": loop order";
      }
    }
  }
}

}  // namespace
