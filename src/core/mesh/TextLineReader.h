#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace tessellor {

// Reads the lines of a text mesh file, of any length up to MaxLineBytes. "\n" and "\r\n" end a
// line; any other carriage return stays in the text. Trailing blanks (character 32 only) are
// removed. Keeps the line number and the byte offset, and hands the bytes it has buffered but
// not returned to a binary reader that takes over after a text header.
class TextLineReader {
 public:
  // No text line of a mesh comes near this; a longer one (binary data, an endless device) is
  // refused instead of being collected in memory.
  static constexpr std::size_t MaxLineBytes = std::size_t(16) << 20;

  explicit TextLineReader(std::FILE* file);

  // False when the file has no more characters.
  bool next(std::string& line);

  // Bytes read from the file but not yet returned as lines.
  const char* bufferedData() const { return Chunk.data() + Pos; }
  std::size_t bufferedSize() const { return End - Pos; }

  // A token of a split line: zero-terminated inside the line, Size bytes long.
  struct Token {
    char* Text;
    std::size_t Size;
  };
  // Cuts line in place at runs of blanks (character 32 only; a tab belongs to its token).
  static void splitBlanks(std::string& line, std::vector<char*>& tokens);
  // Cuts line in place at runs of white space (blank, tab, carriage return, form feed, vertical tab).
  static void splitWhitespace(std::string& line, std::vector<Token>& tokens);

  // When set, a UTF-8 byte order mark at the start of the first line is dropped.
  bool SkipByteOrderMark = false;
  long long LineNumber = 0;  // of the line last returned; 1-based
  long long Offset = 0;      // bytes of the file consumed by the lines returned so far
  bool ReadFailed = false;
  bool LineTooLong = false;  // the line last returned was cut at MaxLineBytes

 private:
  std::FILE* File;
  std::vector<char> Chunk;
  std::size_t Pos = 0;
  std::size_t End = 0;
};

}  // namespace tessellor
