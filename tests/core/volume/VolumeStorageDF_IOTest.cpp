#include "volume/VolumeStorageDF_IO.h"

#include "base/TessellorError.h"
#include "support/TestFiles.h"
#include "volume/VolumeStorageDF.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace tessellor;

namespace {

using Bytes = std::vector<unsigned char>;

// --- file helpers

// A path in the program's scratch directory, which is removed with its files at exit.
std::string scratchPath(const std::string& name) {
  static testfiles::ScratchDir dir;
  return dir.file(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" + name);
}

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// --- little-endian encoding, spelled out independently of the code under test

std::uint32_t bitsOf(float value) {
  std::uint32_t result;
  std::memcpy(&result, &value, sizeof result);
  return result;
}

float floatOf(std::uint32_t pattern) {
  float result;
  std::memcpy(&result, &pattern, sizeof result);
  return result;
}

void appendU32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<unsigned char>(value >> shift));
}
void appendFloat(Bytes& out, float value) { appendU32(out, bitsOf(value)); }
void appendText(Bytes& out, const char* text) {
  for (; *text; ++text) out.push_back(static_cast<unsigned char>(*text));
}

std::uint32_t u32At(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

struct Record {
  float Distance;
  float Offset[3];
  unsigned char Type;
};

// A complete file, built field by field.
Bytes volumeFile(float scale, const float offset[3], std::int32_t nx, std::int32_t ny, std::int32_t nz,
                 const std::vector<Record>& records, const char* endTag = "END") {
  Bytes out;
  appendText(out, "VOLUME");
  appendFloat(out, scale);
  for (int i = 0; i < 3; ++i) appendFloat(out, offset[i]);
  appendU32(out, static_cast<std::uint32_t>(nx));
  appendU32(out, static_cast<std::uint32_t>(ny));
  appendU32(out, static_cast<std::uint32_t>(nz));
  for (const Record& r : records) {
    appendFloat(out, r.Distance);
    for (float component : r.Offset) appendFloat(out, component);
    out.push_back(r.Type);
  }
  appendText(out, endTag);
  return out;
}

VoxelData voxel(float distance, std::uint8_t type, float ox, float oy, float oz) {
  VoxelData v;
  v.Distance = distance;
  v.FeatureType = type;
  v.FeatureOffset[0] = ox;
  v.FeatureOffset[1] = oy;
  v.FeatureOffset[2] = oz;
  return v;
}

void expectSameVolume(const VolumeStorageDF& a, const VolumeStorageDF& b, const std::string& what) {
  ASSERT_EQ(a.getXSize(), b.getXSize()) << what;
  ASSERT_EQ(a.getYSize(), b.getYSize()) << what;
  ASSERT_EQ(a.getZSize(), b.getZSize()) << what;
  EXPECT_EQ(a.XYSize, b.XYSize) << what;
  EXPECT_EQ(bitsOf(a.getScale()), bitsOf(b.getScale())) << what;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(bitsOf(a.getOffset()[i]), bitsOf(b.getOffset()[i])) << what;
  ASSERT_EQ(a.Voxels.size(), b.Voxels.size()) << what;
  for (std::size_t i = 0; i < a.Voxels.size(); ++i) {
    const VoxelData& p = a.Voxels[i];
    const VoxelData& q = b.Voxels[i];
    const bool same = bitsOf(p.Distance) == bitsOf(q.Distance) && p.FeatureType == q.FeatureType &&
                      bitsOf(p.FeatureOffset[0]) == bitsOf(q.FeatureOffset[0]) &&
                      bitsOf(p.FeatureOffset[1]) == bitsOf(q.FeatureOffset[1]) &&
                      bitsOf(p.FeatureOffset[2]) == bitsOf(q.FeatureOffset[2]);
    ASSERT_TRUE(same) << what << ": record " << i << " differs";
  }
}

void write(const std::string& path, GenericVolumeStorage& volume) {
  VolumeStorageDF_IO file;
  file.setFileName(path);
  file.setVolume(&volume);
  file.write();
}

void read(const std::string& path, GenericVolumeStorage& volume) {
  VolumeStorageDF_IO file;
  file.setFileName(path);
  file.setVolume(&volume);
  file.read();
}

// A volume with content of its own, to see that a refused read leaves it alone.
void fillPrevious(VolumeStorageDF& volume) {
  volume.resize(2, 2, 1);
  volume.setScale(3.0f);
  volume.setOffset(7.0f, 8.0f, 9.0f);
  for (std::size_t i = 0; i < volume.Voxels.size(); ++i)
    volume.Voxels[i] = voxel(static_cast<float>(i) + 0.5f, 1, 0.25f, -0.25f, 0.125f);
}

// Reads bytes into a volume that already holds content; expects the refusal named by reason at
// byte offset at, and the volume exactly as before.
void expectRefused(const Bytes& bytes, const std::string& reason, long long at, const std::string& what) {
  const std::string path = scratchPath("refused.vol");
  writeFile(path, bytes);
  VolumeStorageDF volume, before;
  fillPrevious(volume);
  fillPrevious(before);
  try {
    read(path, volume);
    ADD_FAILURE() << what << ": read accepted the file";
  } catch (const FileError& error) {
    EXPECT_EQ(error.Reason, reason) << what;
    EXPECT_EQ(error.Position, FileError::Where::Byte) << what;
    EXPECT_EQ(error.At, at) << what;
    EXPECT_EQ(error.File, path) << what;
    EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << what << ": message names the file";
  }
  expectSameVolume(volume, before, what + " (volume after the refusal)");
}

const float NoOffset[3] = {0.0f, 0.0f, 0.0f};

}  // namespace

// --- layout

TEST(VolumeFile, TwoByOneByOneIs71BytesWithVoxelsInFileOrder) {
  VolumeStorageDF volume;
  volume.resize(2, 1, 1);
  volume.setScale(2.5f);
  volume.setOffset(1.0f, -2.0f, 0.75f);
  volume.setVoxel(0, 0, 0, voxel(0.25f, 1, 0.5f, -0.5f, 0.0f));
  volume.setVoxel(1, 0, 0, voxel(-0.5f, 2, 0.125f, 0.25f, -0.375f));
  const std::string path = scratchPath("2x1x1.vol");
  write(path, volume);

  // Every field written out as the bytes a reader on any machine expects.
  const Bytes expected = {'V',  'O',  'L',  'U',  'M',  'E',  0x00, 0x00, 0x20, 0x40,              // Scale 2.5
                          0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0xc0,                          // Offset 1, -2
                          0x00, 0x00, 0x40, 0x3f,                                                  // 0.75
                          0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // sizes 2, 1, 1
                          0x00, 0x00, 0x80, 0x3e,  // voxel (0,0,0): Distance 0.25
                          0x00, 0x00, 0x00, 0x3f, 0x00, 0x00, 0x00, 0xbf, 0x00, 0x00, 0x00, 0x00,  // FeatureOffset
                          0x01,                                                                    // FeatureType last
                          0x00, 0x00, 0x00, 0xbf,  // voxel (1,0,0): Distance -0.5
                          0x00, 0x00, 0x00, 0x3e, 0x00, 0x00, 0x80, 0x3e, 0x00, 0x00, 0xc0, 0xbe, 0x02, 'E', 'N', 'D'};
  const Bytes written = readFile(path);
  EXPECT_EQ(written.size(), 71u);
  EXPECT_EQ(written, expected);
}

TEST(VolumeFile, RecordOrderHasXOutermostAndZInnermost) {
  // Each voxel's distance encodes its own (x, y, z); record n must hold voxel
  // (x, y, z) with n = (x * YSize + y) * ZSize + z.
  for (const auto& sizes : {std::vector<int>{1, 1, 2}, std::vector<int>{2, 3, 4}, std::vector<int>{3, 1, 2}}) {
    const int nx = sizes[0], ny = sizes[1], nz = sizes[2];
    VolumeStorageDF volume;
    volume.resize(nx, ny, nz);
    for (int x = 0; x < nx; ++x)
      for (int y = 0; y < ny; ++y)
        for (int z = 0; z < nz; ++z) volume.setVoxel(x, y, z, voxel(100.0f * x + 10.0f * y + z, 0, 0, 0, 0));
    const std::string path = scratchPath("order.vol");
    write(path, volume);
    const Bytes bytes = readFile(path);
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(37 + 17 * nx * ny * nz));
    for (int x = 0; x < nx; ++x)
      for (int y = 0; y < ny; ++y)
        for (int z = 0; z < nz; ++z) {
          const std::size_t n = static_cast<std::size_t>((x * ny + y) * nz + z);
          EXPECT_EQ(floatOf(u32At(bytes, 34 + 17 * n)), 100.0f * x + 10.0f * y + z)
              << nx << "x" << ny << "x" << nz << " record " << n;
        }
  }
}

TEST(VolumeFile, ClearedVoxelIsWrittenAsNoValueMarksAndTypeZero) {
  VolumeStorageDF volume;
  volume.resize(1, 1, 1);
  volume.clear();
  const std::string path = scratchPath("cleared.vol");
  write(path, volume);
  const Bytes bytes = readFile(path);
  ASSERT_EQ(bytes.size(), 54u);
  const Bytes noValue = {0x80, 0x96, 0x18, 0x4b};  // 10000000.0f
  for (int field = 0; field < 4; ++field)
    EXPECT_EQ(Bytes(bytes.begin() + 34 + 4 * field, bytes.begin() + 38 + 4 * field), noValue) << "field " << field;
  EXPECT_EQ(bytes[50], 0);
}

TEST(VolumeFile, SizeZeroOnAnAxisGivesHeaderAndEndOnly) {
  VolumeStorageDF volume;
  volume.resize(3, 0, 2);
  volume.setScale(0.5f);
  const std::string path = scratchPath("empty.vol");
  write(path, volume);
  const Bytes bytes = readFile(path);
  ASSERT_EQ(bytes.size(), 37u);
  EXPECT_EQ(u32At(bytes, 22), 3u);
  EXPECT_EQ(u32At(bytes, 26), 0u);
  EXPECT_EQ(u32At(bytes, 30), 2u);
  EXPECT_EQ(std::string(bytes.begin() + 34, bytes.end()), "END");

  VolumeStorageDF back;
  fillPrevious(back);
  read(path, back);
  EXPECT_EQ(back.getXSize(), 3);
  EXPECT_EQ(back.getYSize(), 0);
  EXPECT_EQ(back.getZSize(), 2);
  EXPECT_EQ(back.XYSize, 0);
  EXPECT_TRUE(back.Voxels.empty());
  EXPECT_EQ(back.getScale(), 0.5f);
}

// --- round trip

TEST(VolumeFile, WriteThenReadReproducesEveryFieldBitForBit) {
  std::mt19937 random(20261206);
  // Any finite bit pattern, including negative zero, subnormals and extremes.
  auto anyFinite = [&random]() {
    for (;;) {
      const float value = floatOf(static_cast<std::uint32_t>(random()));
      if (std::isfinite(value)) return value;
    }
  };
  for (int trial = 0; trial < 4; ++trial) {
    const int nx = 1 + trial, ny = 5 - trial, nz = 3 + (trial & 1);
    VolumeStorageDF volume;
    volume.resize(nx, ny, nz);
    volume.setScale(anyFinite());
    volume.setOffset(anyFinite(), -0.0f, anyFinite());
    for (VoxelData& v : volume.Voxels)
      v = voxel(anyFinite(), static_cast<std::uint8_t>(random()), anyFinite(), anyFinite(), anyFinite());
    volume.Voxels.front().Distance = 10000000.0f;
    volume.Voxels.back().FeatureOffset[1] = std::numeric_limits<float>::denorm_min();

    const std::string path = scratchPath("roundtrip.vol");
    write(path, volume);
    VolumeStorageDF back;
    fillPrevious(back);
    read(path, back);
    expectSameVolume(back, volume, "round trip " + std::to_string(trial));

    // Written again, the file is the same byte for byte.
    const std::string again = scratchPath("roundtrip2.vol");
    write(again, back);
    EXPECT_EQ(readFile(again), readFile(path));
  }
}

TEST(VolumeFile, BytesAfterTheEndTagAreIgnored) {
  const std::vector<Record> records = {{1.5f, {0.1f, 0.2f, 0.3f}, 2}};
  Bytes bytes = volumeFile(4.0f, NoOffset, 1, 1, 1, records);
  appendText(bytes, "trailing junk");
  const std::string path = scratchPath("trailing.vol");
  writeFile(path, bytes);
  VolumeStorageDF volume;
  read(path, volume);
  ASSERT_EQ(volume.Voxels.size(), 1u);
  EXPECT_EQ(volume.Voxels[0].Distance, 1.5f);
  EXPECT_EQ(volume.Voxels[0].FeatureType, 2);
  EXPECT_EQ(volume.Voxels[0].FeatureOffset[2], 0.3f);
  EXPECT_EQ(volume.getScale(), 4.0f);
}

// A volume that is not a VolumeStorageDF is filled through the interface alone.
namespace {
class MapVolume : public GenericVolumeStorage {
 public:
  void resize(int nx, int ny, int nz) override {
    GenericVolumeStorage::resize(nx, ny, nz);
    Store.assign(static_cast<std::size_t>(nx * ny * nz), VoxelData());
  }
  void setVoxel(int x, int y, int z, const VoxelData& record) override { Store[slot(x, y, z)] = record; }
  void getVoxel(int x, int y, int z, VoxelData& record) const override { record = Store[slot(x, y, z)]; }
  std::size_t slot(int x, int y, int z) const { return static_cast<std::size_t>((z * YSize + y) * XSize + x); }
  std::vector<VoxelData> Store;
};
}  // namespace

TEST(VolumeFile, AnyVolumeKindReadsAndWritesTheSameRecords) {
  MapVolume volume;
  volume.resize(2, 2, 3);
  for (int x = 0; x < 2; ++x)
    for (int y = 0; y < 2; ++y)
      for (int z = 0; z < 3; ++z) volume.setVoxel(x, y, z, voxel(static_cast<float>(x + 2 * y + 4 * z), 1, 0, 0, 0));
  const std::string path = scratchPath("generic.vol");
  write(path, volume);
  VolumeStorageDF plain;
  read(path, plain);
  MapVolume again;
  read(path, again);
  for (int x = 0; x < 2; ++x)
    for (int y = 0; y < 2; ++y)
      for (int z = 0; z < 3; ++z) {
        VoxelData a, b;
        plain.getVoxel(x, y, z, a);
        again.getVoxel(x, y, z, b);
        EXPECT_EQ(a.Distance, static_cast<float>(x + 2 * y + 4 * z));
        EXPECT_EQ(b.Distance, a.Distance);
      }
}

// --- refusals: each names its condition and byte offset, and the volume keeps what it held

TEST(VolumeFileRefusal, TruncatedAtEveryByteOffset) {
  const float offset[3] = {1.0f, 2.0f, 3.0f};
  const std::vector<Record> records = {{0.5f, {0.1f, 0.2f, 0.3f}, 1}, {-0.5f, {0, 0, 0}, 2}};
  const Bytes full = volumeFile(2.0f, offset, 2, 1, 1, records);
  ASSERT_EQ(full.size(), 71u);
  // Fields in reading order: header, Scale, the Offset block, three sizes, two records of five
  // fields, the end tag. A file cut inside a field is refused at that field's first byte.
  const std::vector<std::pair<int, int>> fields = {{0, 6},   {6, 10},  {10, 22}, {22, 26}, {26, 30}, {30, 34},
                                                   {34, 38}, {38, 42}, {42, 46}, {46, 50}, {50, 51}, {51, 55},
                                                   {55, 59}, {59, 63}, {63, 67}, {67, 68}, {68, 71}};
  for (int length = 0; length < 71; ++length) {
    long long expectedAt = -1;
    for (const auto& field : fields)
      if (field.second > length) {
        expectedAt = field.first;
        break;
      }
    expectRefused(Bytes(full.begin(), full.begin() + length), "read == 1", expectedAt,
                  "cut to " + std::to_string(length) + " bytes");
  }
}

TEST(VolumeFileRefusal, SizesAndValues) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<Record> good = {{0.5f, {0, 0, 0}, 0}, {-0.5f, {0, 0, 0}, 1}};
  auto withRecords = [&good](auto change) {
    std::vector<Record> records = good;
    change(records);
    return volumeFile(1.0f, NoOffset, 2, 1, 1, records);
  };
  const float badOffset[3] = {0.0f, inf, 0.0f};
  struct Case {
    const char* What;
    Bytes File;
    const char* Reason;
    long long At;
  };
  const Case cases[] = {
      {"XSize -1", volumeFile(1.0f, NoOffset, -1, 1, 1, {}), "XSize >= 0", 22},
      {"YSize INT_MIN", volumeFile(1.0f, NoOffset, 1, -2147483647 - 1, 1, {}), "YSize >= 0", 26},
      // Two negatives multiply to a positive count; a zero would hide the sign from the product.
      {"ZSize -3 with YSize 0", volumeFile(1.0f, NoOffset, 2, 0, -3, {}), "ZSize >= 0", 30},
      {"two negatives", volumeFile(1.0f, NoOffset, 1, -1, -1, {{0, {0, 0, 0}, 0}}), "YSize >= 0", 26},
      {"65536 x 65536 x 1", volumeFile(1.0f, NoOffset, 65536, 65536, 1, {}), "XSize*YSize*ZSize <= 2147483647", 22},
      // 2^32 + 1 voxels: wraps to 1 in 32 bits, and one record is present.
      {"product wrapping to 1", volumeFile(1.0f, NoOffset, 641, 6700417, 1, {{0, {0, 0, 0}, 0}}),
       "XSize*YSize*ZSize <= 2147483647", 22},
      // Sizes the file cannot hold are refused before allocating: 1290^3 voxels would need some
      // 34 GB, the 71-byte file backs two records.
      {"1290^3 in 71 bytes", volumeFile(1.0f, NoOffset, 1290, 1290, 1290, good), "read == 1", 68},
      {"INT_MAX x 1 x 1", volumeFile(1.0f, NoOffset, 2147483647, 1, 1, good), "read == 1", 68},
      // Three announced, two present: the tag is read as the third record's first field.
      {"3 announced, 2 present", volumeFile(1.0f, NoOffset, 3, 1, 1, good), "read == 1", 68},
      {"Scale nan", volumeFile(nan, NoOffset, 2, 1, 1, good), "isfinite(Scale)", 6},
      {"Scale -inf", volumeFile(-inf, NoOffset, 2, 1, 1, good), "isfinite(Scale)", 6},
      {"Offset y inf", volumeFile(1.0f, badOffset, 2, 1, 1, good), "isfinite(Offset)", 14},
      {"Distance nan", withRecords([&](std::vector<Record>& r) { r[1].Distance = nan; }), "isfinite(Distance)", 51},
      {"FeatureOffset z -inf", withRecords([&](std::vector<Record>& r) { r[0].Offset[2] = -inf; }),
       "isfinite(FeatureOffset)", 46},
      {"FeatureOffset x snan", withRecords([](std::vector<Record>& r) { r[1].Offset[0] = floatOf(0x7f800001u); }),
       "isfinite(FeatureOffset)", 55},
  };
  for (const Case& c : cases) expectRefused(c.File, c.Reason, c.At, c.What);
}

TEST(VolumeFileRefusal, HeaderAndEndTag) {
  const std::vector<Record> records = {{0.5f, {0, 0, 0}, 0}, {-0.5f, {0, 0, 1}, 1}};
  for (int letter = 0; letter < 6; ++letter) {
    Bytes bytes = volumeFile(1.0f, NoOffset, 2, 1, 1, records);
    bytes[static_cast<std::size_t>(letter)] ^= 0x20;  // case flipped
    expectRefused(bytes, "strcmp(header,\"VOLUME\") == 0", 0, "letter " + std::to_string(letter));
  }
  Bytes zero = volumeFile(1.0f, NoOffset, 2, 1, 1, records);
  zero[3] = 0;  // "VOL\0ME"
  expectRefused(zero, "strcmp(header,\"VOLUME\") == 0", 0, "zero inside the header");
  // The end tag is checked after all records.
  expectRefused(volumeFile(1.0f, NoOffset, 2, 1, 1, records, "ENd"), "strcmp(endtag,\"END\") == 0", 68, "ENd");
  expectRefused(volumeFile(1.0f, NoOffset, 2, 1, 1, records, "EN\0"), "read == 1", 68, "two-byte tag, file ends");
  // One record fewer than announced, padded to the announced length: the second record's bytes
  // are read as the first, and the tag lands where a record should be.
  Bytes shortByOne = volumeFile(1.0f, NoOffset, 2, 1, 1, {records[0]});
  shortByOne.resize(71, 'X');
  expectRefused(shortByOne, "strcmp(endtag,\"END\") == 0", 68, "records shifted");
}

// A file that cannot be opened for reading or created for writing: "fp != 0", and the volume
// keeps what it held.
TEST(VolumeFile, MissingOrUncreatableFileIsReported) {
  VolumeStorageDF volume, before;
  fillPrevious(volume);
  fillPrevious(before);
  for (bool reading : {true, false}) {
    const std::string path =
        reading ? scratchPath("does-not-exist.vol") : scratchPath("no-such-directory") + "/out.vol";
    try {
      if (reading)
        read(path, volume);
      else
        write(path, volume);
      ADD_FAILURE() << path << " was " << (reading ? "read" : "written");
    } catch (const FileError& error) {
      EXPECT_EQ(error.Reason, "fp != 0");
      EXPECT_EQ(error.File, path);
    }
  }
  expectSameVolume(volume, before, "after a missing file");
}

TEST(VolumeFileWrite, FailedWriteLeavesTheExistingFileUntouched) {
  // A file-size limit makes the write fail part-way, as a full disk would.
  testfiles::ScratchDir dir;
  const std::string path = dir.file("kept.vol");
  const Bytes previous = {'o', 'l', 'd'};
  writeFile(path, previous);
  VolumeStorageDF volume;
  volume.resize(40, 40, 40);  // about 1 MB of records
  volume.clear();
  {
    testfiles::FileSizeLimit limit(64 * 1024);
    try {
      write(path, volume);
      ADD_FAILURE() << "write beyond the file size limit succeeded";
    } catch (const FileError& error) {
      EXPECT_EQ(error.Reason, "written == 1");
      EXPECT_EQ(error.Position, FileError::Where::Byte);
    }
  }
  EXPECT_EQ(readFile(path), previous);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"kept.vol"}) << "temporary file left behind";
}

TEST(VolumeFileDeath, UnsetFileNameOrVolumeIsAnAssertion) {
  VolumeStorageDF volume;
  VolumeStorageDF_IO file;
  file.setVolume(&volume);
  EXPECT_DEATH(file.read(), "FileName.*VolumeStorageDF_IO");
  EXPECT_DEATH(file.write(), "FileName.*VolumeStorageDF_IO");
  VolumeStorageDF_IO noVolume;
  noVolume.setFileName("x.vol");
  EXPECT_DEATH(noVolume.read(), "Volume.*VolumeStorageDF_IO");
}

TEST(VolumeFileRefusal, DamagedCopiesAreReadWholeOrRefusedWithTheVolumeKept) {
  // Random damage to a valid file: flipped bytes, cuts, appended bytes. Every read either
  // succeeds and reproduces the file's records, or is refused and changes nothing.
  const float offset[3] = {0.5f, -1.0f, 2.0f};
  std::vector<Record> records;
  for (int i = 0; i < 12; ++i)
    records.push_back({0.25f * i - 1.0f, {0.1f * i, 10000000.0f, -0.2f}, static_cast<unsigned char>(i % 3)});
  const Bytes valid = volumeFile(1.5f, offset, 3, 2, 2, records);
  std::mt19937 random(7);
  const std::string path = scratchPath("damaged.vol");
  int accepted = 0, refused = 0;
  for (int trial = 0; trial < 800; ++trial) {
    Bytes bytes = valid;
    const int damage = static_cast<int>(random() % 3);
    if (damage == 0 || trial % 2 == 0) {
      const int flips = 1 + static_cast<int>(random() % 3);
      for (int f = 0; f < flips; ++f) bytes[random() % bytes.size()] = static_cast<unsigned char>(random());
    }
    if (damage == 1) bytes.resize(random() % bytes.size());
    if (damage == 2)
      for (int extra = static_cast<int>(random() % 40); extra > 0; --extra)
        bytes.push_back(static_cast<unsigned char>(random()));
    writeFile(path, bytes);

    VolumeStorageDF volume, before;
    fillPrevious(volume);
    fillPrevious(before);
    try {
      read(path, volume);
      ++accepted;
      const long long n = static_cast<long long>(volume.Voxels.size());
      ASSERT_GE(static_cast<long long>(bytes.size()), 37 + 17 * n) << "trial " << trial;
      for (int x = 0; x < volume.getXSize(); ++x)
        for (int y = 0; y < volume.getYSize(); ++y)
          for (int z = 0; z < volume.getZSize(); ++z) {
            const std::size_t at =
                34 + 17 * static_cast<std::size_t>((x * volume.getYSize() + y) * volume.getZSize() + z);
            VoxelData v;
            volume.getVoxel(x, y, z, v);
            ASSERT_EQ(bitsOf(v.Distance), u32At(bytes, at)) << "trial " << trial;
            ASSERT_EQ(v.FeatureType, bytes[at + 16]) << "trial " << trial;
          }
    } catch (const FileError& error) {
      ++refused;
      ASSERT_EQ(error.Position, FileError::Where::Byte) << error.what();
      ASSERT_LE(error.At, static_cast<long long>(bytes.size())) << error.what();
      expectSameVolume(volume, before, "trial " + std::to_string(trial) + " refused: " + error.what());
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
  // Both outcomes occur (appended bytes and damage to record values are accepted).
  EXPECT_GT(accepted, 40) << refused;
  EXPECT_GT(refused, 300) << accepted;
}
