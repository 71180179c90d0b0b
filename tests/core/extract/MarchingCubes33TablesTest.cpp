#include "extract/MarchingCubes33Tables.h"

#include <gtest/gtest.h>

#include <cstdint>
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

// The published check values of every table the extractor uses, and those of the polygon tables
// the generator derives from the triangle rows (each loop bounds one disc of its row): with these
// the compiled tables are the data entry for entry.
const std::vector<TableRef>& publishedTables() {
  static const std::vector<TableRef> tables = {
      TABLE(cases, 0x3BE9B1EFu),          TABLE(tiling1, 0x37E651F2u),      TABLE(test3, 0x6A624CB8u),
      TABLE(tiling3_1, 0xF3280074u),      TABLE(test4, 0x45010568u),        TABLE(tiling4_1, 0x297AC056u),
      TABLE(tiling4_2, 0xE8C07925u),      TABLE(test6, 0x79026B10u),        TABLE(tiling6_1_2, 0x8B1A640Au),
      TABLE(tiling6_2, 0xA1C70FAFu),      TABLE(test7, 0xF33B345Cu),        TABLE(tiling7_1, 0xBAC6E776u),
      TABLE(tiling7_2, 0x8AFD3F84u),      TABLE(tiling7_3, 0xD58D7869u),    TABLE(tiling7_4_1, 0x2E4D70B2u),
      TABLE(tiling7_4_2, 0xB1C18AE6u),    TABLE(test10, 0x5D164C4Bu),       TABLE(tiling10_1_2, 0xE8F220DDu),
      TABLE(tiling10_2, 0x6A7C7F5Du),     TABLE(tiling10_2_, 0x78144B5Eu),  TABLE(test12, 0x1BF8F0C0u),
      TABLE(tiling12_1_2, 0x9C5DE00Bu),   TABLE(tiling12_2, 0x61B5F0A0u),   TABLE(tiling12_2_, 0xE9C71C6Eu),
      TABLE(test13, 0xE69B65B3u),         TABLE(subconfig13, 0x2A9CFF42u),  TABLE(tiling13_1, 0x315B100Au),
      TABLE(tiling13_1_, 0xA328EA8Fu),    TABLE(tiling13_2, 0x4C97DE55u),   TABLE(tiling13_2_, 0x96B89585u),
      TABLE(tiling13_3, 0xD47FA21Eu),     TABLE(tiling13_3_, 0x15E587D6u),  TABLE(tiling13_4, 0x8FAAD9A8u),
      TABLE(tiling13_5_1, 0xCA9D47D0u),   TABLE(tiling13_5_2, 0x7DBB4D8Cu), TABLE(tiling2, 0x1FD1924Au),
      TABLE(tiling3_2, 0xAF0D6EFEu),      TABLE(tiling5, 0x656B36DBu),      TABLE(tiling6_1_1, 0xD3AE7B8Cu),
      TABLE(tiling8, 0x05E815B9u),        TABLE(tiling9, 0xAEA2C1B9u),      TABLE(tiling10_1_1, 0x7377AEDAu),
      TABLE(tiling10_1_1_, 0x81180008u),  TABLE(tiling11, 0xD2FE764Bu),     TABLE(tiling12_1_1, 0xFE29037Cu),
      TABLE(tiling12_1_1_, 0xA21C2B6Au),  TABLE(tiling14, 0x06E7B23Fu),     TABLE(polygon2, 0x1ADA4E75u),
      TABLE(polygon3_2, 0xC462EA31u),     TABLE(polygon5, 0x1723D80Bu),     TABLE(polygon6_1_1, 0x320F8A56u),
      TABLE(polygon8, 0xF76F89B2u),       TABLE(polygon9, 0xFE4F47A6u),     TABLE(polygon10_1_1, 0xDC1F9CA4u),
      TABLE(polygon10_1_1_, 0x3E45D62Cu), TABLE(polygon11, 0x54970DE2u),    TABLE(polygon12_1_1, 0x7CBE8C19u),
      TABLE(polygon12_1_1_, 0x116EB858u), TABLE(polygon14, 0x580E3A71u),
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

TEST(MarchingCubes33Tables, EveryTableHasItsCheckValue) {
  EXPECT_EQ(crc32(reinterpret_cast<const std::int8_t*>("123456789"), 9), 0xCBF43926u) << "the standard CRC-32";
  for (const TableRef& t : publishedTables())
    EXPECT_EQ(crc32(t.Data, t.Size), t.Crc) << "table " << t.Name << " is not the published release";
}

}  // namespace
