#include "mesh/MeshFormatSniffer.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/stat.h>

namespace tessellor {

const char* const MeshFormatSniffer::FormatNames = "PLY (ASCII or binary), STL (ASCII or binary), OBJ or OFF";

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The first word of the first line that is neither blank nor a '#' comment, with its position;
// a UTF-8 byte order mark is skipped.
std::string firstWord(const char* head, std::size_t size, std::size_t& at) {
  std::size_t i = 0;
  if (size >= 3 && std::memcmp(head, "\xEF\xBB\xBF", 3) == 0) i = 3;
  while (i < size) {
    while (i < size && isSpace(head[i])) ++i;
    if (i < size && head[i] == '#') {
      while (i < size && head[i] != '\n') ++i;
      continue;
    }
    break;
  }
  at = i;
  std::size_t end = i;
  while (end < size && !isSpace(head[end]) && head[end] != '#') ++end;
  return std::string(head + i, end - i);
}

// "OFF" with the optional prefixes of its variants: ST (texture), C (colour), N (normal),
// 4 (four dimensions), n (dimension given).
bool isOffKeyword(const std::string& word) {
  std::size_t i = 0;
  if (word.compare(i, 2, "ST") == 0) i += 2;
  if (word.compare(i, 1, "C") == 0) i += 1;
  if (word.compare(i, 1, "N") == 0) i += 1;
  if (word.compare(i, 1, "4") == 0) i += 1;
  if (word.compare(i, 1, "n") == 0) i += 1;
  return word.compare(i, std::string::npos, "OFF") == 0;
}

bool isObjKeyword(const std::string& word) {
  static const char* const Keywords[] = {"v", "vt", "vn", "vp", "f", "l", "p", "o", "g", "s", "usemtl", "mtllib"};
  for (const char* keyword : Keywords)
    if (word == keyword) return true;
  return false;
}

// "ply" as the whole first line (trailing blanks aside), as the PLY reader checks it.
bool isPlyMagic(const char* head, std::size_t size) {
  if (size < 3 || std::memcmp(head, "ply", 3) != 0) return false;
  std::size_t i = 3;
  while (i < size && head[i] == ' ') ++i;
  return i == size || head[i] == '\n' || (head[i] == '\r' && i + 1 < size && head[i + 1] == '\n');
}

}  // namespace

bool MeshFormatSniffer::isBinaryStl(const char* head, std::size_t headSize, long long fileSize) {
  if (headSize < 84 || fileSize < 84) return false;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(head) + 80;
  const long long count = static_cast<long long>(b[0]) | static_cast<long long>(b[1]) << 8 |
                          static_cast<long long>(b[2]) << 16 | static_cast<long long>(b[3]) << 24;
  if (fileSize != 84 + 50 * count) return false;
  // Some binary files begin their header with "solid" as ASCII files do: those are text only if
  // the bytes after the header are text and hold the keywords of a facet.
  std::size_t at = 0;
  if (lower(firstWord(head, headSize, at)) != "solid" || !looksLikeText(head, headSize)) return true;
  const std::string text = lower(std::string(head, headSize));
  return text.find("facet") == std::string::npos && text.find("endsolid") == std::string::npos;
}

bool MeshFormatSniffer::looksLikeText(const char* head, std::size_t headSize) {
  for (std::size_t i = 0; i < headSize; ++i) {
    const unsigned char c = static_cast<unsigned char>(head[i]);
    if (c < 9 || (c > 13 && c < 32) || c == 127) return false;
  }
  return true;
}

std::string MeshFormatSniffer::extensionOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  return lower(path.substr(dot + 1));
}

MeshFileFormat MeshFormatSniffer::detect(const char* head, std::size_t headSize, long long fileSize,
                                         const std::string& extension) {
  const bool binaryStl = isBinaryStl(head, headSize, fileSize);
  if (isPlyMagic(head, headSize)) return binaryStl && extension == "stl" ? MeshFileFormat::STL : MeshFileFormat::PLY;
  if (binaryStl) return MeshFileFormat::STL;
  std::size_t at = 0;
  const std::string word = firstWord(head, headSize, at);
  if (lower(word) == "solid") return MeshFileFormat::STL;
  if (isOffKeyword(word)) return MeshFileFormat::OFF;
  if (isObjKeyword(word)) return MeshFileFormat::OBJ;
  // Nothing recognisable: the extension names the reader whose messages fit a damaged file.
  if (extension == "ply") return MeshFileFormat::PLY;
  if (extension == "stl" && fileSize >= 84) return MeshFileFormat::STL;
  return MeshFileFormat::Unknown;
}

MeshFileFormat MeshFormatSniffer::detect(const std::string& path) {
  const std::string extension = extensionOf(path);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return extension == "ply" ? MeshFileFormat::PLY : MeshFileFormat::Unknown;
  struct stat info;
  const long long fileSize = (::fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode)) ? info.st_size : 0;
  std::vector<char> head(HeadBytes);
  const std::size_t size = std::fread(head.data(), 1, head.size(), file);
  std::fclose(file);
  return detect(head.data(), size, fileSize, extension);
}

}  // namespace tessellor
