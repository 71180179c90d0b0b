#include "mesh/TextLineReader.h"

#include <cstring>

namespace tessellor {

TextLineReader::TextLineReader(std::FILE* file) : File(file), Chunk(1 << 16) {}

bool TextLineReader::next(std::string& line) {
  line.clear();
  bool gotAny = false;
  for (;;) {
    if (Pos == End) {
      Pos = 0;
      End = std::fread(Chunk.data(), 1, Chunk.size(), File);
      if (End == 0) {
        if (std::ferror(File)) ReadFailed = true;
        break;
      }
    }
    gotAny = true;
    const char* start = Chunk.data() + Pos;
    const std::size_t available = End - Pos;
    const void* lineFeed = std::memchr(start, '\n', available);
    if (lineFeed) {
      const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - start);
      line.append(start, length);
      Pos += length + 1;
      Offset += static_cast<long long>(length + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      break;
    }
    line.append(start, available);
    Pos = End;
    Offset += static_cast<long long>(available);
    if (line.size() > MaxLineBytes) {
      LineTooLong = true;
      break;
    }
  }
  if (!gotAny) return false;
  ++LineNumber;
  if (SkipByteOrderMark && LineNumber == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return true;
}

void TextLineReader::splitBlanks(std::string& line, std::vector<char*>& tokens) {
  tokens.clear();
  char* c = &line[0];
  char* const end = c + line.size();
  while (c < end) {
    while (c < end && *c == ' ') ++c;
    if (c == end) break;
    tokens.push_back(c);
    while (c < end && *c != ' ') ++c;
    if (c < end) *c++ = '\0';
  }
}

namespace {
bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
}  // namespace

void TextLineReader::splitWhitespace(std::string& line, std::vector<Token>& tokens) {
  tokens.clear();
  char* c = &line[0];
  char* const end = c + line.size();
  while (c < end) {
    while (c < end && isWhitespace(*c)) ++c;
    if (c == end) break;
    char* const start = c;
    while (c < end && !isWhitespace(*c)) ++c;
    tokens.push_back(Token{start, static_cast<std::size_t>(c - start)});
    if (c < end) *c++ = '\0';
  }
}

}  // namespace tessellor
