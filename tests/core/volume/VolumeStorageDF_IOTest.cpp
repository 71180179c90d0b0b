// The distance-field volume and its file: layout byte for byte, round trips, and every refusal
// with its condition and byte offset. Arbitrary bytes: fuzz_volume_read_replay and
// VolumeReaderBounds.
#include "volume/VolumeStorageDF_IO.h"

#include "base/TessellorError.h"
#include "support/TestFiles.h"
#include "volume/VolumeStorageDF.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

using namespace tessellor;

namespace {

struct Record {
  float Distance, Offset[3];
  unsigned char Type;
};

// A volume file built field by field: little endian, spelled out independently of the code under test.
std::string volumeFile(float scale, const std::vector<float>& offset, std::int32_t nx, std::int32_t ny, std::int32_t nz,
                       const std::vector<Record>& records, const char* endTag = "END") {
  std::string out = "VOLUME";
  auto u32 = [&out](std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(v >> shift));
  };
  auto f32 = [&u32](float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    u32(bits);
  };
  f32(scale);
  for (float f : offset) f32(f);
  for (std::int32_t size : {nx, ny, nz}) u32(static_cast<std::uint32_t>(size));
  for (const Record& r : records) {
    for (float f : {r.Distance, r.Offset[0], r.Offset[1], r.Offset[2]}) f32(f);
    out.push_back(static_cast<char>(r.Type));
  }
  return out + std::string(endTag, 3);
}

float floatOf(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

struct VolumeFile : ::testing::Test {
  testfiles::ScratchDir Dir;
  // The bytes of the file the volume is written as.
  std::string bytesOf(const GenericVolumeStorage& volume) {
    VolumeStorageDF_IO io;
    io.setFileName(Dir.file("written.vol"));
    io.setVolume(const_cast<GenericVolumeStorage*>(&volume));
    io.write();
    return testfiles::readFile(Dir.file("written.vol"));
  }
  void read(const std::string& bytes, VolumeStorageDF& volume) {
    testfiles::writeFile(Dir.file("read.vol"), bytes);
    VolumeStorageDF_IO io;
    io.setFileName(Dir.file("read.vol"));
    io.setVolume(&volume);
    io.read();
  }
  // Bytes read into a volume that holds content: the refusal at byte offset at, and the volume as it was.
  void expectRefused(const std::string& bytes, const std::string& reason, long long at, const std::string& what) {
    VolumeStorageDF volume;
    volume.resize(2, 2, 1);
    volume.clear();
    volume.setScale(3.0f);
    volume.Voxels[3].Distance = 0.5f;
    const std::string before = bytesOf(volume);
    try {
      read(bytes, volume);
      ADD_FAILURE() << what << ": read accepted the file";
    } catch (const FileError& error) {
      EXPECT_EQ(std::string(error.what()), Dir.file("read.vol") + ": byte " + std::to_string(at) + ": " + reason)
          << what;
    }
    EXPECT_EQ(bytesOf(volume), before) << what << ": the volume changed";
  }
};

}  // namespace

TEST(VolumeStorageDF, IndexRunsXFastestAndClearMarksNoValue) {
  VolumeStorageDF volume;
  GenericVolumeStorage& generic = volume;
  generic.resize(2, 3, 4);
  generic.setScale(0.5f);
  generic.clear();
  VoxelData marked;
  marked.Distance = 42.0f;
  generic.setVoxel(1, 2, 3, marked);
  EXPECT_EQ(volume.Voxels[23].Distance, 42.0f) << "1 + 2 * 2 + 3 * 6";
  VoxelData back;
  generic.getVoxel(1, 0, 0, back);
  EXPECT_TRUE(back.Distance == NoValue && back.FeatureType == 0 && back.FeatureOffset[2] == NoValue);
  EXPECT_EQ(generic.getScale(), 0.5f) << "clear keeps the placement";
  const long long counts[][4] = {{2, 3, 4, 24},
                                 {0, 5, 5, 0},
                                 {-1, 0, 5, -1},
                                 {65536, 65536, 1, -1},
                                 {INT32_MAX, 1, 1, INT32_MAX},
                                 {INT32_MAX, INT32_MAX, 0, -1}};
  for (const auto& c : counts)
    EXPECT_EQ(VolumeStorageDF::checkedVoxelCount(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1];
  EXPECT_DEATH(generic.getVoxel(2, 0, 0, back), "x<XSize.*VolumeStorageDF");
}

// "VOLUME", Scale, Offset, the sizes, then per voxel (x outermost, z innermost) the distance, the
// feature offset and the feature type; "END". Read back, every field bit for bit; bytes after the
// end tag are ignored; a size of 0 is the header and the tag only.
TEST_F(VolumeFile, LayoutAndRoundTrip) {
  VolumeStorageDF volume, back;
  volume.resize(2, 1, 1);
  volume.setScale(2.5f);
  volume.setOffset(1.0f, -2.0f, 0.75f);
  volume.Voxels[0] = VoxelData{0.25f, 1, {0.5f, -0.5f, 0.0f}};
  volume.Voxels[1] = VoxelData{-0.5f, 2, {0.125f, 0.25f, -0.375f}};
  EXPECT_EQ(bytesOf(volume), volumeFile(2.5f, {1, -2, 0.75f}, 2, 1, 1,
                                        {{0.25f, {0.5f, -0.5f, 0}, 1}, {-0.5f, {0.125f, 0.25f, -0.375f}, 2}}));
  volume.resize(2, 3, 4);
  for (int n = 0; n < 24; ++n) volume.setVoxel(n / 12, n / 4 % 3, n % 4, VoxelData{float(n), 0, {0, 0, 0}});
  const std::string order = bytesOf(volume);
  for (int n = 0; n < 24; ++n)
    EXPECT_EQ(order.substr(34 + 17 * n, 4), volumeFile(n, {}, 0, 0, 0, {}).substr(6, 4)) << n;
  std::mt19937 random(20261206);
  auto anyFinite = [&random]() {
    for (;;)
      if (const float value = floatOf(static_cast<std::uint32_t>(random())); std::isfinite(value)) return value;
  };
  for (int trial = 0; trial < 3; ++trial) {
    volume.resize(1 + trial, 5 - trial, 3 + (trial & 1));
    volume.setScale(anyFinite());
    volume.setOffset(anyFinite(), -0.0f, anyFinite());
    for (VoxelData& v : volume.Voxels)
      v = VoxelData{anyFinite(), std::uint8_t(random()), {anyFinite(), anyFinite(), anyFinite()}};
    volume.Voxels.front().Distance = NoValue;
    const std::string bytes = bytesOf(volume);
    read(bytes + "bytes after the end tag", back);
    EXPECT_EQ(bytesOf(back), bytes) << "trial " << trial;
  }
  volume.resize(3, 0, 2);
  volume.setScale(0.5f);
  volume.setOffset(0, 0, 0);
  EXPECT_EQ(bytesOf(volume), volumeFile(0.5f, {0, 0, 0}, 3, 0, 2, {}));
  read(bytesOf(volume), back);
  EXPECT_TRUE(back.Voxels.empty() && back.XSize == 3 && back.ZSize == 2);
}

TEST_F(VolumeFile, TruncatedAtEveryByteIsRefusedAtTheFieldThatRanOut) {
  const std::string full = volumeFile(2.0f, {1, 2, 3}, 2, 1, 1, {{0.5f, {0.1f, 0.2f, 0.3f}, 1}, {-0.5f, {0, 0, 0}, 2}});
  // Fields in reading order: header, Scale, the Offset block, three sizes, two records of five
  // fields, the end tag. A file cut inside a field is refused at that field's first byte.
  const int starts[] = {0, 6, 10, 22, 26, 30, 34, 38, 42, 46, 50, 51, 55, 59, 63, 67, 68, 71};
  for (int length = 0; length < 71; ++length)
    expectRefused(full.substr(0, length), "read == 1", *(std::upper_bound(starts, starts + 18, length) - 1),
                  "cut to " + std::to_string(length));
}

TEST_F(VolumeFile, SizesValuesHeaderAndEndTagAreChecked) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> zero{0, 0, 0};
  const std::vector<Record> good = {{0.5f, {0, 0, 0}, 0}, {-0.5f, {0, 0, 0}, 1}};
  std::vector<Record> badDistance = good, badOffsetZ = good, badOffsetX = good;
  badDistance[1].Distance = nan;
  badOffsetZ[0].Offset[2] = -inf;
  badOffsetX[1].Offset[0] = floatOf(0x7f800001u);
  std::string vol0me = volumeFile(1, zero, 2, 1, 1, good), lower = vol0me,
              shifted = volumeFile(1, zero, 2, 1, 1, {good[0]});
  vol0me[3] = 0;
  lower[4] ^= 0x20;
  shifted.resize(71, 'X');  // one record fewer, padded: the tag lands in a record
  const struct {
    std::string File;
    const char* Reason;
    long long At;
  } cases[] = {
      {volumeFile(1, zero, -1, 1, 1, {}), "XSize >= 0", 22},
      {volumeFile(1, zero, 1, INT32_MIN, 1, {}), "YSize >= 0", 26},
      {volumeFile(1, zero, 2, 0, -3, {}), "ZSize >= 0", 30},  // a zero would hide the sign from the product
      {volumeFile(1, zero, 1, -1, -1, {good[0]}), "YSize >= 0", 26},
      {volumeFile(1, zero, 65536, 65536, 1, {}), "XSize*YSize*ZSize <= 2147483647", 22},
      {volumeFile(1, zero, 641, 6700417, 1, {good[0]}), "XSize*YSize*ZSize <= 2147483647", 22},  // 2^32 + 1
      {volumeFile(1, zero, 1290, 1290, 1290, good), "read == 1", 68},  // refused before allocating 34 GB
      {volumeFile(1, zero, INT32_MAX, 1, 1, good), "read == 1", 68},
      {volumeFile(1, zero, 3, 1, 1, good), "read == 1", 68},
      {volumeFile(nan, zero, 2, 1, 1, good), "isfinite(Scale)", 6},
      {volumeFile(-inf, zero, 2, 1, 1, good), "isfinite(Scale)", 6},
      {volumeFile(1, {0, inf, 0}, 2, 1, 1, good), "isfinite(Offset)", 14},
      {volumeFile(1, zero, 2, 1, 1, badDistance), "isfinite(Distance)", 51},
      {volumeFile(1, zero, 2, 1, 1, badOffsetZ), "isfinite(FeatureOffset)", 46},
      {volumeFile(1, zero, 2, 1, 1, badOffsetX), "isfinite(FeatureOffset)", 55},
      {vol0me, "strcmp(header,\"VOLUME\") == 0", 0},
      {lower, "strcmp(header,\"VOLUME\") == 0", 0},
      {volumeFile(1, zero, 2, 1, 1, good, "ENd"), "strcmp(endtag,\"END\") == 0", 68},
      {shifted, "strcmp(endtag,\"END\") == 0", 68},
  };
  for (const auto& c : cases) expectRefused(c.File, c.Reason, c.At, c.Reason + std::to_string(c.At));
}

TEST_F(VolumeFile, MissingUncreatableAndFailedWritesLoseNothing) {
  VolumeStorageDF volume;
  volume.resize(40, 40, 40);  // about 1 MB of records
  volume.clear();
  VolumeStorageDF_IO io;
  io.setVolume(&volume);
  for (const std::string& name : {Dir.file("missing.vol"), Dir.file("no-such-directory/out.vol")}) {
    io.setFileName(name);
    try {
      name.find("missing") != std::string::npos ? io.read() : io.write();
      ADD_FAILURE() << name;
    } catch (const FileError& error) {
      EXPECT_EQ(std::string(error.what()), name + ": fp != 0");
    }
  }
  EXPECT_EQ(volume.Voxels.size(), 64000u);
  testfiles::writeFile(Dir.file("kept.vol"), "old");
  io.setFileName(Dir.file("kept.vol"));
  {
    testfiles::FileSizeLimit limit(64 * 1024);  // the write fails part-way, as on a full disk
    try {
      io.write();
      ADD_FAILURE() << "write beyond the file size limit succeeded";
    } catch (const FileError& error) {
      EXPECT_EQ(error.Reason, "written == 1");
      EXPECT_EQ(error.Position, FileError::Where::Byte);
    }
  }
  EXPECT_EQ(testfiles::readFile(Dir.file("kept.vol")), "old");
  EXPECT_EQ(Dir.entries(), std::vector<std::string>{"kept.vol"}) << "temporary file left behind";
}
