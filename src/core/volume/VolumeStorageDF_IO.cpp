#include "volume/VolumeStorageDF_IO.h"

#include "mesh/AtomicFileWriter.h"
#include "base/Assert.h"
#include "base/TessellorError.h"
#include "volume/VolumeStorageDF.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace tessellor {

namespace {

constexpr long long HeaderSize = 34;  // "VOLUME", Scale, Offset, three sizes
constexpr long long RecordSize = 17;  // Distance, FeatureOffset x/y/z, FeatureType
constexpr long long EndTagSize = 3;

[[noreturn]] void fail(const std::string& file, const char* condition, long long offset) {
  throw FileError(file, condition, FileError::Where::Byte, offset);
}

// Reads a binary file field by field through one large buffer and knows the offset of the next
// byte, so that every failed check can name where it failed.
class BufferedReader {
 public:
  explicit BufferedReader(std::FILE* file) : File(file), Buffer(1 << 16) {}

  // False when the file ends before n more bytes.
  bool read(unsigned char* out, std::size_t n) {
    while (n > 0) {
      if (Next == End) {
        End = std::fread(Buffer.data(), 1, Buffer.size(), File);
        Next = 0;
        if (End == 0) return false;
      }
      std::size_t take = End - Next < n ? End - Next : n;
      std::memcpy(out, Buffer.data() + Next, take);
      Next += take;
      Offset += static_cast<long long>(take);
      out += take;
      n -= take;
    }
    return true;
  }

  long long offset() const { return Offset; }

 private:
  std::FILE* File;
  std::vector<unsigned char> Buffer;
  std::size_t Next = 0;
  std::size_t End = 0;
  long long Offset = 0;
};

std::uint32_t decodeU32(const unsigned char* b) {
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

float decodeFloat(const unsigned char* b) {
  std::uint32_t bits = decodeU32(b);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::int32_t decodeInt(const unsigned char* b) {
  std::uint32_t bits = decodeU32(b);
  std::int32_t value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void encodeU32(std::uint32_t bits, unsigned char* b) {
  b[0] = static_cast<unsigned char>(bits);
  b[1] = static_cast<unsigned char>(bits >> 8);
  b[2] = static_cast<unsigned char>(bits >> 16);
  b[3] = static_cast<unsigned char>(bits >> 24);
}

void encodeFloat(float value, unsigned char* b) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  encodeU32(bits, b);
}

void encodeInt(std::int32_t value, unsigned char* b) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  encodeU32(bits, b);
}

// Closes the file on every path out of read.
struct FileCloser {
  std::FILE* File;
  ~FileCloser() {
    if (File) std::fclose(File);
  }
};

// The offset at which a field-by-field reader runs out of data in a file of fileSize bytes that
// announces voxelCount records: the start of the first record field or tag that is not complete.
long long firstIncompleteField(long long fileSize, long long voxelCount) {
  const long long recordsEnd = HeaderSize + RecordSize * voxelCount;
  if (fileSize >= recordsEnd) return recordsEnd;
  const long long record = (fileSize - HeaderSize) / RecordSize;
  const long long within = (fileSize - HeaderSize) % RecordSize;
  const long long fieldStart = within >= 16 ? 16 : within / 4 * 4;
  return HeaderSize + record * RecordSize + fieldStart;
}

}  // namespace

void VolumeStorageDF_IO::checkPreconditions() const {
  // Set by the owner before every call; the assertion names the missing field.
  if (FileName.empty()) tessellorAssertionFailed("FileName", __FILE__, __LINE__);
  if (!Volume) tessellorAssertionFailed("Volume", __FILE__, __LINE__);
}

void VolumeStorageDF_IO::read() {
  checkPreconditions();

  std::FILE* fp = std::fopen(FileName.c_str(), "rb");
  if (!(fp != 0)) throw FileError(FileName, "fp != 0");
  FileCloser closer{fp};
  BufferedReader in(fp);
  unsigned char field[6];

  auto readField = [&](unsigned char* out, std::size_t n) {
    const long long at = in.offset();
    if (!in.read(out, n)) fail(FileName, "read == 1", at);
  };
  auto readFloat = [&](const char* finiteCondition) {
    const long long at = in.offset();
    readField(field, 4);
    float value = decodeFloat(field);
    if (!std::isfinite(value)) fail(FileName, finiteCondition, at);
    return value;
  };
  auto readSize = [&](const char* condition) {
    const long long at = in.offset();
    readField(field, 4);
    std::int32_t value = decodeInt(field);
    if (value < 0) fail(FileName, condition, at);
    return static_cast<int>(value);
  };

  char header[7];
  readField(field, 6);
  std::memcpy(header, field, 6);
  header[6] = 0;
  if (!(strcmp(header, "VOLUME") == 0)) fail(FileName, "strcmp(header,\"VOLUME\") == 0", 0);

  // Everything goes into a fresh volume first: a refusal at any point leaves Volume as it was.
  VolumeStorageDF fresh;
  fresh.setScale(readFloat("isfinite(Scale)"));
  // The offset is one 12-byte block, as it is written.
  const long long offsetAt = in.offset();
  unsigned char block[12];
  readField(block, 12);
  float offset[3];
  for (int i = 0; i < 3; ++i) {
    offset[i] = decodeFloat(block + 4 * i);
    if (!std::isfinite(offset[i])) fail(FileName, "isfinite(Offset)", offsetAt + 4 * i);
  }
  fresh.setOffset(offset[0], offset[1], offset[2]);

  const int nx = readSize("XSize >= 0");
  const int ny = readSize("YSize >= 0");
  const int nz = readSize("ZSize >= 0");
  const long long voxelCount = VolumeStorageDF::checkedVoxelCount(nx, ny, nz);
  if (voxelCount < 0) fail(FileName, "XSize*YSize*ZSize <= 2147483647", 22);

  // The sizes are only believed as far as the file backs them with records: a short file is
  // refused where the reader would run out of data, before anything is allocated.
  struct stat info;
  const long long length = fstat(fileno(fp), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
  if (length < HeaderSize + RecordSize * voxelCount + EndTagSize)
    fail(FileName, "read == 1", firstIncompleteField(length, voxelCount));

  try {
    fresh.resize(nx, ny, nz);
  } catch (const std::bad_alloc&) {
    throw FileError(FileName,
                    "not enough memory for a volume of " + std::to_string(nx) + " x " + std::to_string(ny) + " x " +
                        std::to_string(nz) + " voxels",
                    FileError::Where::Byte, 22);
  }

  unsigned char record[RecordSize];
  // With a size of 0 the other two may be huge: looping over them would find no record.
  for (int x = 0; voxelCount > 0 && x < nx; ++x) {
    for (int y = 0; y < ny; ++y) {
      for (int z = 0; z < nz; ++z) {
        const long long at = in.offset();
        // One field at a time, so that a short read names the field where the data ran out.
        readField(record, 4);
        readField(record + 4, 4);
        readField(record + 8, 4);
        readField(record + 12, 4);
        readField(record + 16, 1);
        VoxelData& voxel = fresh.Voxels[fresh.index(x, y, z)];
        voxel.Distance = decodeFloat(record);
        if (!std::isfinite(voxel.Distance)) fail(FileName, "isfinite(Distance)", at);
        for (int i = 0; i < 3; ++i) {
          voxel.FeatureOffset[i] = decodeFloat(record + 4 + 4 * i);
          if (!std::isfinite(voxel.FeatureOffset[i])) fail(FileName, "isfinite(FeatureOffset)", at + 4 + 4 * i);
        }
        voxel.FeatureType = record[16];
      }
    }
  }

  char endtag[4];
  const long long endAt = in.offset();
  readField(field, 3);
  std::memcpy(endtag, field, 3);
  endtag[3] = 0;
  if (!(strcmp(endtag, "END") == 0)) fail(FileName, "strcmp(endtag,\"END\") == 0", endAt);

  if (auto* target = dynamic_cast<VolumeStorageDF*>(Volume)) {
    target->Voxels.swap(fresh.Voxels);
    target->XSize = fresh.XSize;
    target->YSize = fresh.YSize;
    target->ZSize = fresh.ZSize;
    target->XYSize = fresh.XYSize;
    target->setScale(fresh.getScale());
    target->setOffset(offset[0], offset[1], offset[2]);
    return;
  }
  // Another kind of volume: hand it the records through the interface.
  Volume->setScale(fresh.getScale());
  Volume->setOffset(offset[0], offset[1], offset[2]);
  Volume->resize(nx, ny, nz);
  for (int x = 0; voxelCount > 0 && x < nx; ++x)
    for (int y = 0; y < ny; ++y)
      for (int z = 0; z < nz; ++z) Volume->setVoxel(x, y, z, fresh.Voxels[fresh.index(x, y, z)]);
}

namespace {

// Collects the fields of a volume file and hands them to the file in large blocks; a failed
// write names the offset of the first byte of the block that could not be written.
class BufferedWriter {
 public:
  BufferedWriter(AtomicFileWriter& file, const std::string& name) : File(file), Name(name), Buffer(1 << 16) {}

  void put(const unsigned char* data, std::size_t n) {
    if (Used + n > Buffer.size()) flush();
    std::memcpy(Buffer.data() + Used, data, n);
    Used += n;
  }
  void putFloat(float value) {
    unsigned char bytes[4];
    encodeFloat(value, bytes);
    put(bytes, 4);
  }
  void putInt(std::int32_t value) {
    unsigned char bytes[4];
    encodeInt(value, bytes);
    put(bytes, 4);
  }

  void flush() {
    try {
      File.write(Buffer.data(), Used);
      if (std::fflush(File.stream()) != 0) fail(Name, "written == 1", Flushed);
    } catch (const FileError&) {
      fail(Name, "written == 1", Flushed);
    }
    Flushed += static_cast<long long>(Used);
    Used = 0;
  }

 private:
  AtomicFileWriter& File;
  const std::string& Name;
  std::vector<unsigned char> Buffer;
  std::size_t Used = 0;
  long long Flushed = 0;
};

}  // namespace

void VolumeStorageDF_IO::write() {
  checkPreconditions();
  const GenericVolumeStorage& volume = *Volume;
  const int nx = volume.getXSize();
  const int ny = volume.getYSize();
  const int nz = volume.getZSize();

  // The records go to a temporary file that replaces the target only when complete, so a
  // failed save never leaves a truncated volume file behind.
  std::unique_ptr<AtomicFileWriter> file;
  try {
    file = std::make_unique<AtomicFileWriter>(FileName);
  } catch (const FileError&) {
    throw FileError(FileName, "fp != 0");
  }
  BufferedWriter out(*file, FileName);

  out.put(reinterpret_cast<const unsigned char*>("VOLUME"), 6);
  out.putFloat(volume.getScale());
  const float* offset = volume.getOffset();
  for (int i = 0; i < 3; ++i) out.putFloat(offset[i]);
  out.putInt(nx);
  out.putInt(ny);
  out.putInt(nz);

  VoxelData voxel;
  const bool hasVoxels = nx > 0 && ny > 0 && nz > 0;
  for (int x = 0; hasVoxels && x < nx; ++x) {
    for (int y = 0; y < ny; ++y) {
      for (int z = 0; z < nz; ++z) {
        volume.getVoxel(x, y, z, voxel);
        out.putFloat(voxel.Distance);
        out.putFloat(voxel.FeatureOffset[0]);
        out.putFloat(voxel.FeatureOffset[1]);
        out.putFloat(voxel.FeatureOffset[2]);
        out.put(&voxel.FeatureType, 1);
      }
    }
  }
  out.put(reinterpret_cast<const unsigned char*>("END"), 3);
  out.flush();
  file->commit();
}

}  // namespace tessellor
