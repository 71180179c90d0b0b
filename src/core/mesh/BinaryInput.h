#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tessellor {

// Buffered reading of binary mesh data with the byte offset kept for messages. A read past the
// end of the file throws FileError naming the file, the offset where the data ran out and what
// was being read. Bytes already taken from the file by a text reader can be handed over first.
class BinaryInput {
 public:
  BinaryInput(const std::string& fileName, std::FILE* file, long long fileSize, long long startOffset = 0,
              const char* buffered = nullptr, std::size_t bufferedSize = 0);

  // Reads exactly size bytes into target.
  void read(void* target, std::size_t size, const char* what) {
    if (End - Pos >= size) {
      std::memcpy(target, Chunk.data() + Pos, size);
      Pos += size;
      Offset += static_cast<long long>(size);
      return;
    }
    readSlow(static_cast<unsigned char*>(target), size, what);
  }
  void skip(long long size, const char* what);

  // Bytes the file still holds after the offset; a large number when its size is unknown.
  long long remaining() const;

  long long Offset;  // of the next byte to be read

 private:
  void readSlow(unsigned char* target, std::size_t size, const char* what);
  bool fill();

  const std::string& FileName;
  std::FILE* File;
  long long FileSize;
  std::vector<char> Chunk;
  std::size_t Pos = 0;
  std::size_t End = 0;
};

}  // namespace tessellor
