#include "mesh/BinaryInput.h"

#include "base/TessellorError.h"

#include <algorithm>
#include <climits>

namespace tessellor {

namespace {
constexpr std::size_t ChunkBytes = 1 << 16;
}

BinaryInput::BinaryInput(const std::string& fileName, std::FILE* file, long long fileSize, long long startOffset,
                         const char* buffered, std::size_t bufferedSize)
    : Offset(startOffset),
      FileName(fileName),
      File(file),
      FileSize(fileSize),
      Chunk(std::max(ChunkBytes, bufferedSize)) {
  if (bufferedSize > 0) std::memcpy(Chunk.data(), buffered, bufferedSize);
  End = bufferedSize;
}

bool BinaryInput::fill() {
  if (Pos < End) return true;
  Pos = 0;
  End = std::fread(Chunk.data(), 1, ChunkBytes, File);
  return End > 0;
}

void BinaryInput::readSlow(unsigned char* target, std::size_t size, const char* what) {
  while (size > 0) {
    if (!fill()) {
      if (std::ferror(File)) throw FileError(FileName, "cannot read file", FileError::Where::Byte, Offset);
      throw FileError(FileName, std::string("file ends inside ") + what, FileError::Where::Byte, Offset);
    }
    const std::size_t n = std::min(size, End - Pos);
    std::memcpy(target, Chunk.data() + Pos, n);
    Pos += n;
    Offset += static_cast<long long>(n);
    target += n;
    size -= n;
  }
}

void BinaryInput::skip(long long size, const char* what) {
  // Read through rather than seek: the time is bounded by the bytes the file really holds.
  while (size > 0) {
    if (!fill()) {
      if (std::ferror(File)) throw FileError(FileName, "cannot read file", FileError::Where::Byte, Offset);
      throw FileError(FileName, std::string("file ends inside ") + what, FileError::Where::Byte, Offset);
    }
    const std::size_t n = static_cast<std::size_t>(std::min<long long>(size, static_cast<long long>(End - Pos)));
    Pos += n;
    Offset += static_cast<long long>(n);
    size -= static_cast<long long>(n);
  }
}

long long BinaryInput::remaining() const {
  if (FileSize <= 0) return LLONG_MAX / 4;
  return std::max(0LL, FileSize - Offset);
}

}  // namespace tessellor
