#include "mesh/PolygonStorageImportSTL.h"

#include "mesh/BinaryInput.h"
#include "mesh/MeshFormatSniffer.h"
#include "mesh/MeshImportFrame.h"
#include "mesh/PolygonStorage.h"
#include "mesh/TextLineReader.h"
#include "mesh/TextNumbers.h"
#include "base/TessellorError.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace tessellor {

namespace {

// Joins corners with equal coordinates into one vertex of the mesh.
class CornerJoiner {
 public:
  explicit CornerJoiner(PolygonStorage& mesh) : Mesh(mesh) {}

  int vertexAt(float x, float y, float z) {
    // 0 and -0 are one coordinate; every other value is compared bit for bit.
    const Key key{bits(x), bits(y), bits(z)};
    const auto found = Ids.find(key);
    if (found != Ids.end()) return found->second;
    Vertex vertex;
    vertex.pos = V3{x, y, z};
    const int id = Mesh.addVertex(vertex);
    Ids.emplace(key, id);
    return id;
  }

 private:
  struct Key {
    std::uint32_t X, Y, Z;
    bool operator==(const Key& other) const { return X == other.X && Y == other.Y && Z == other.Z; }
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const {
      std::uint64_t h = k.X * 0x9E3779B97F4A7C15ULL;
      h ^= (h >> 29) ^ (k.Y * 0xBF58476D1CE4E5B9ULL);
      h ^= (h >> 31) ^ (k.Z * 0x94D049BB133111EBULL);
      return static_cast<std::size_t>(h ^ (h >> 32));
    }
  };
  static std::uint32_t bits(float value) {
    if (value == 0.0f) value = 0.0f;
    std::uint32_t b;
    std::memcpy(&b, &value, sizeof b);
    return b;
  }

  PolygonStorage& Mesh;
  std::unordered_map<Key, int, KeyHash> Ids;
};

std::string lower(const char* text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

class AsciiStlReader {
 public:
  AsciiStlReader(const std::string& fileName, std::FILE* file, long long fileSize, StatusOutput* output)
      : FileName(fileName), Lines(file), Progress(output, fileSize) {
    Lines.SkipByteOrderMark = true;
  }

  void read(PolygonStorage& mesh) {
    CornerJoiner corners(mesh);
    enum class State { BeforeSolid, InSolid, InFacet, InLoop, AfterLoop, AfterSolid } state = State::BeforeSolid;
    VertexIDList polygon;
    long long facetLine = 0;
    while (nextLine()) {
      if (Tokens.empty()) continue;
      const std::string keyword = lower(Tokens[0].Text);
      switch (state) {
        case State::BeforeSolid:
        case State::AfterSolid:
          if (keyword != "solid") {
            // Text after the last solid (a trailer some programs add) is not read.
            if (state == State::AfterSolid) return;
            fail("the file does not begin with \"solid\"");
          }
          state = State::InSolid;
          break;
        case State::InSolid:
          if (keyword == "endsolid") {
            state = State::AfterSolid;
          } else if (keyword == "facet") {
            facetLine = Lines.LineNumber;
            state = State::InFacet;
          } else {
            fail("expected \"facet\" or \"endsolid\", found \"" + shortened(Tokens[0].Text) + "\"");
          }
          break;
        case State::InFacet:
          if (keyword != "outer") fail("expected \"outer loop\", found \"" + shortened(Tokens[0].Text) + "\"");
          polygon.clear();
          state = State::InLoop;
          break;
        case State::InLoop:
          if (keyword == "vertex") {
            polygon.push_back(corner(corners));
          } else if (keyword == "endloop") {
            if (polygon.size() < 3) fail("facet with fewer than three vertices");
            state = State::AfterLoop;
          } else {
            fail("expected \"vertex\" or \"endloop\", found \"" + shortened(Tokens[0].Text) + "\"");
          }
          break;
        case State::AfterLoop:
          if (keyword != "endfacet") fail("expected \"endfacet\", found \"" + shortened(Tokens[0].Text) + "\"");
          mesh.Polygons.push_back(polygon);
          state = State::InSolid;
          break;
      }
      Progress.at(Lines.Offset);
    }
    if (Lines.ReadFailed) fail(Lines.LineNumber + 1, "cannot read file");
    if (state == State::BeforeSolid) fail(Lines.LineNumber + 1, "file is empty");
    if (state != State::InSolid && state != State::AfterSolid) fail(facetLine, "file ends inside this facet");
  }

 private:
  [[noreturn]] void fail(long long line, const std::string& reason) const {
    throw FileError(FileName, reason, FileError::Where::Line, line);
  }
  [[noreturn]] void fail(const std::string& reason) const { fail(Lines.LineNumber, reason); }

  static std::string shortened(const char* text) {
    const std::string t(text);
    return t.size() > 40 ? t.substr(0, 40) + "..." : t;
  }

  bool nextLine() {
    if (!Lines.next(Line)) return false;
    if (Lines.LineTooLong) fail("line longer than " + std::to_string(TextLineReader::MaxLineBytes) + " bytes");
    TextLineReader::splitWhitespace(Line, Tokens);
    return true;
  }

  int corner(CornerJoiner& corners) {
    if (Tokens.size() < 4) fail("vertex line has fewer than three coordinates");
    float p[3];
    for (int i = 0; i < 3; ++i) {
      double value;
      if (!TextNumbers::readFloat(Tokens[i + 1].Text, Tokens[i + 1].Size, value))
        fail("vertex coordinate \"" + shortened(Tokens[i + 1].Text) + "\" is not a number");
      p[i] = static_cast<float>(value);
      if (!std::isfinite(p[i])) fail("vertex coordinate is not a finite 32-bit float");
    }
    return corners.vertexAt(p[0], p[1], p[2]);
  }

  const std::string& FileName;
  TextLineReader Lines;
  MeshImportFrame::Progress Progress;
  std::string Line;
  std::vector<TextLineReader::Token> Tokens;
};

float littleEndianFloat(const unsigned char* b) {
  const std::uint32_t bits = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                             static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void readBinary(const std::string& fileName, std::FILE* file, long long fileSize, StatusOutput* output,
                PolygonStorage& mesh) {
  BinaryInput input(fileName, file, fileSize);
  unsigned char header[84];
  input.read(header, sizeof header, "the 84-byte header");
  const long long count = static_cast<long long>(header[80]) | static_cast<long long>(header[81]) << 8 |
                          static_cast<long long>(header[82]) << 16 | static_cast<long long>(header[83]) << 24;
  if (fileSize != 84 + 50 * count)
    throw FileError(fileName,
                    "binary STL of " + std::to_string(count) + " triangles must have " +
                        std::to_string(84 + 50 * count) + " bytes, not " + std::to_string(fileSize),
                    FileError::Where::Byte, 80);
  MeshImportFrame::Progress progress(output, count);
  mesh.Polygons.reserve(static_cast<std::size_t>(count));
  CornerJoiner corners(mesh);
  unsigned char record[50];
  for (long long i = 0; i < count; ++i) {
    const long long at = input.Offset;
    input.read(record, sizeof record, "a triangle");
    VertexIDList triangle(3);
    for (int c = 0; c < 3; ++c) {
      // Bytes 0..11 hold the facet normal; the corners follow, 12 bytes each.
      const unsigned char* p = record + 12 + 12 * c;
      const float x = littleEndianFloat(p), y = littleEndianFloat(p + 4), z = littleEndianFloat(p + 8);
      if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        throw FileError(fileName, "vertex coordinate is not a finite 32-bit float", FileError::Where::Byte,
                        at + 12 + 12 * c);
      triangle[static_cast<std::size_t>(c)] = corners.vertexAt(x, y, z);
    }
    mesh.Polygons.push_back(std::move(triangle));
    progress.at(i);
  }
}

}  // namespace

PolygonStorageImportSTL::~PolygonStorageImportSTL() = default;

void PolygonStorageImportSTL::import(const std::string& fileName, PolygonStorage& mesh) {
  MeshImportFrame::run(fileName, mesh, Output, [&](std::FILE* file, long long fileSize, PolygonStorage& fresh) {
    char head[MeshFormatSniffer::HeadBytes];
    const std::size_t size = std::fread(head, 1, sizeof head, file);
    std::size_t start = size >= 3 && std::memcmp(head, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    while (start < size && std::isspace(static_cast<unsigned char>(head[start]))) ++start;
    // ASCII when it begins with "solid" and is text; binary STL headers may begin with "solid" too.
    const bool text = size - start >= 5 && lower(std::string(head + start, 5).c_str()) == "solid" &&
                      MeshFormatSniffer::looksLikeText(head, size) &&
                      !MeshFormatSniffer::isBinaryStl(head, size, fileSize);
    if (std::fseek(file, 0, SEEK_SET) != 0) throw FileError(fileName, "cannot read file: it cannot be rewound");
    if (text)
      AsciiStlReader(fileName, file, fileSize, Output).read(fresh);
    else
      readBinary(fileName, file, fileSize, Output, fresh);
  });
}

}  // namespace tessellor
