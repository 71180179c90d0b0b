#pragma once

#include <cstddef>
#include <string>

namespace tessellor {

enum class MeshFileFormat { Unknown, PLY, STL, OBJ, OFF };

// Tells the format of a mesh file by its content: the PLY magic line, the size equation of
// binary STL (84 + 50 bytes per triangle), the leading keyword of ASCII STL ("solid"), OFF
// ("OFF", "COFF", "NOFF", ...) and OBJ ("v", "f", "o", "g", "mtllib", ...). The extension only
// breaks ties and names the reader for damaged files of no recognisable kind (".ply" keeps the
// PLY reader's reading of files without the magic line; ".stl" the binary STL reader's
// refusal of a size that does not match).
class MeshFormatSniffer {
 public:
  // The first HeadBytes bytes of a file are enough to decide.
  static constexpr std::size_t HeadBytes = 4096;

  // Reads the start of the file; Unknown when it cannot be read.
  static MeshFileFormat detect(const std::string& path);
  // head: the first bytes of the file (up to HeadBytes); fileSize: its size, 0 when unknown.
  static MeshFileFormat detect(const char* head, std::size_t headSize, long long fileSize,
                               const std::string& extension);

  // True when the file is binary STL: its size is 84 + 50 * the count in bytes 80..83, and it is
  // not ASCII STL text that happens to fit the equation.
  static bool isBinaryStl(const char* head, std::size_t headSize, long long fileSize);

  // True when the bytes hold no control characters other than white space: text, not binary data.
  static bool looksLikeText(const char* head, std::size_t headSize);

  // The lower-case extension of a path without the dot, or "".
  static std::string extensionOf(const std::string& path);

  // For messages: the formats that are read.
  static const char* const FormatNames;
};

}  // namespace tessellor
