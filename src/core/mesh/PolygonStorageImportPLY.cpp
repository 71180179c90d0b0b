#include "mesh/PolygonStorageImportPLY.h"

#include "mesh/BinaryInput.h"
#include "mesh/MeshImportFrame.h"
#include "mesh/PlyBinaryReader.h"
#include "mesh/PlyHeader.h"
#include "mesh/PolygonStorage.h"
#include "mesh/TextLineReader.h"
#include "mesh/TextNumbers.h"
#include "base/Diagnostics.h"
#include "base/StatusOutput.h"
#include "base/TessellorError.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tessellor {

namespace {

// Header lines after the first one that are read before giving up on finding "end_header".
constexpr int MaxHeaderLines = 100;

// The i-th blank-separated token of text (0-based), or an empty string.
std::string nthToken(const std::string& text, int n) {
  std::size_t pos = 0;
  for (int i = 0;; ++i) {
    pos = text.find_first_not_of(' ', pos);
    if (pos == std::string::npos) return std::string();
    const std::size_t stop = std::min(text.find(' ', pos), text.size());
    if (i == n) return text.substr(pos, stop - pos);
    pos = stop;
  }
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Everything one import needs while it reads; throws FileError naming the file and the line
// (text) or the byte offset (binary data).
class PlyReader {
 public:
  PlyReader(const std::string& fileName, std::FILE* file, long long fileSize, StatusOutput* output)
      : FileName(fileName), File(file), Lines(file), FileSize(fileSize), Output(output) {}

  void read(PolygonStorage& mesh) {
    readHeader();
    if (Header.Format != PlyHeader::Encoding::Ascii) {
      readBinary(mesh);
      return;
    }
    if (Header.readsInDeclaredOrder()) {
      readVertices(mesh);
      readFaces(mesh);
    } else {
      readDeclaredElements(mesh);
    }
    if (Lines.ReadFailed) fail(Lines.LineNumber + 1, "cannot read file");
  }

 private:
  [[noreturn]] void fail(long long line, const std::string& reason) const {
    throw FileError(FileName, reason, FileError::Where::Line, line);
  }

  // The next line; false at the end of the file.
  bool nextLine() {
    const bool got = Lines.next(Line);
    if (Lines.LineTooLong)
      fail(Lines.LineNumber, "line longer than " + std::to_string(TextLineReader::MaxLineBytes) + " bytes");
    return got;
  }

  // The next line, or a refusal naming what the file ended before.
  void nextElementLine(const char* what, long long count) {
    if (!nextLine()) {
      if (Lines.ReadFailed) fail(Lines.LineNumber + 1, "cannot read file");
      fail(Lines.LineNumber + 1, "file ends before all " + std::to_string(count) + " " + what + " were read");
    }
  }

  long long checkedCount(const std::string& line, const char* what) const {
    const long long count = TextNumbers::parseInteger(nthToken(line, 2).c_str());
    if (count < 0) fail(Lines.LineNumber, std::string("negative ") + what + " count " + std::to_string(count));
    if (count > INT_MAX)
      fail(Lines.LineNumber, std::string(what) + " count " + std::to_string(count) + " is too large");
    return count;
  }

  void addElement(PlyHeader::Role role, long long count) {
    PlyHeader::Element element;
    element.Name = nthToken(Line, 1);
    element.ElementRole = role;
    element.Count = count;
    element.Line = Lines.LineNumber;
    Header.Elements.push_back(element);
  }

  void readHeader() {
    if (!nextLine()) {
      if (Lines.ReadFailed) fail(1, "cannot read file");
      fail(1, "file is empty");
    }
    if (Line != "ply") Diagnostics::write("This is not a PLY file.\n");
    for (int headerLines = 1;; ++headerLines) {
      if (!nextLine()) {
        if (Lines.ReadFailed) fail(Lines.LineNumber + 1, "cannot read file");
        fail(Lines.LineNumber + 1, "file ends inside the header (no end_header line)");
      }
      if (headerLines > MaxHeaderLines) {
        Diagnostics::write("Header seems to be too long, so we're quitting.\n");
        break;
      }
      if (startsWith(Line, "element vertex")) {
        VertexCount = checkedCount(Line, "vertex");
        addElement(PlyHeader::Role::Vertex, VertexCount);
      } else if (startsWith(Line, "element face")) {
        FaceCount = checkedCount(Line, "face");
        addElement(PlyHeader::Role::Face, FaceCount);
      } else if (Line == "order_cw") {
        Reverse = false;
      } else if (Line == "order_ccw") {
        Reverse = true;
      } else if (Line == "end_header") {
        Header.Complete = true;
        break;
      } else if (startsWith(Line, "element ")) {
        addElement(PlyHeader::Role::Other, TextNumbers::parseInteger(nthToken(Line, 2).c_str()));
      } else if (startsWith(Line, "property ")) {
        Header.addProperty(Line, Lines.LineNumber);
      } else if (startsWith(Line, "format ")) {
        const std::string encoding = nthToken(Line, 1);
        if (encoding == "binary_little_endian")
          Header.Format = PlyHeader::Encoding::BinaryLittleEndian;
        else if (encoding == "binary_big_endian")
          Header.Format = PlyHeader::Encoding::BinaryBigEndian;
        else if (startsWith(encoding, "binary"))
          fail(Lines.LineNumber, "unknown PLY encoding " + encoding);
        Header.FormatLine = Lines.LineNumber;
      }
    }
  }

  void readBinary(PolygonStorage& mesh) {
    if (!Header.Complete) fail(Header.FormatLine, "binary PLY header without end_header line");
    BinaryInput input(FileName, File, FileSize, Lines.Offset, Lines.bufferedData(), Lines.bufferedSize());
    PlyBinaryReader(FileName, Header, input, Output, Reverse).read(mesh);
  }

  // A count from the header is only believed as far as the file can back it with lines of at
  // least minLineBytes bytes each.
  std::size_t backedCount(long long count, long long minLineBytes) const {
    const long long backed = FileSize > 0 ? FileSize / minLineBytes + 1 : 0;
    return static_cast<std::size_t>(std::min(count, backed));
  }

  // --- the simple reading: vertex lines "x y z ...", then face lines "k i1 .. ik ..."

  void readVertices(PolygonStorage& mesh) {
    mesh.Vertices.reserve(backedCount(VertexCount, 6));  // "0 0 0\n"
    const long long step = std::max(1LL, VertexCount / 40);
    for (long long i = 0; i < VertexCount; ++i) {
      nextElementLine("vertices", VertexCount);
      TextLineReader::splitBlanks(Line, Tokens);
      if (Tokens.size() < 3) fail(Lines.LineNumber, "vertex line has fewer than three values");
      addVertex(mesh, Tokens[0], Tokens[1], Tokens[2]);
      if (i % step == 0) progress();
    }
  }

  void readFaces(PolygonStorage& mesh) {
    mesh.Polygons.reserve(backedCount(FaceCount, 2));  // "0\n"
    const long long step = std::max(1LL, FaceCount / 40);
    for (long long i = 0; i < FaceCount; ++i) {
      nextElementLine("faces", FaceCount);
      TextLineReader::splitBlanks(Line, Tokens);
      if (Tokens.empty()) fail(Lines.LineNumber, "face line has no corner count");
      addPolygon(mesh, 0);
      if (i % step == 0) progress();
    }
  }

  void addVertex(PolygonStorage& mesh, const char* x, const char* y, const char* z) {
    Vertex vertex;
    vertex.pos.x = static_cast<float>(TextNumbers::parseFloat(x));
    vertex.pos.y = static_cast<float>(TextNumbers::parseFloat(y));
    vertex.pos.z = static_cast<float>(TextNumbers::parseFloat(z));
    if (!std::isfinite(vertex.pos.x) || !std::isfinite(vertex.pos.y) || !std::isfinite(vertex.pos.z))
      fail(Lines.LineNumber, "vertex coordinate is not a finite 32-bit float");
    mesh.addVertex(vertex);
  }

  // The polygon whose corner count is Tokens[first], its indices following.
  void addPolygon(PolygonStorage& mesh, std::size_t first) {
    const long long corners = TextNumbers::parseInteger(Tokens[first]);
    if (corners < 0) fail(Lines.LineNumber, "face line has a negative corner count");
    if (corners > static_cast<long long>(Tokens.size() - first) - 1)
      fail(Lines.LineNumber, "face line has fewer vertex indices than its count " + std::to_string(corners));
    VertexIDList polygon;
    polygon.reserve(static_cast<std::size_t>(corners));
    for (long long j = 1; j <= corners; ++j) {
      const long long id = TextNumbers::parseInteger(Tokens[first + static_cast<std::size_t>(j)]);
      if (id < 0 || id >= VertexCount)
        fail(Lines.LineNumber,
             "vertex index " + std::to_string(id) + " outside the vertex range 0.." + std::to_string(VertexCount - 1));
      polygon.push_back(static_cast<int>(id));
    }
    // order_ccw: the file lists the corners the other way round.
    if (Reverse) std::reverse(polygon.begin(), polygon.end());
    mesh.Polygons.push_back(std::move(polygon));
  }

  // --- the reading by the header's declarations, for files the simple reading would misread

  // The token index where each property of an element line starts, as far as the tokens go (a
  // list takes its count and its values); the positions stop early when the line is short.
  void propertyPositions(const PlyHeader::Element& element, std::vector<std::size_t>& positions) const {
    positions.clear();
    std::size_t at = 0;
    for (const PlyHeader::Property& property : element.Properties) {
      if (at >= Tokens.size()) return;
      positions.push_back(at);
      if (!property.IsList) {
        ++at;
        continue;
      }
      const long long count = TextNumbers::parseInteger(Tokens[at]);
      if (count < 0 || count >= static_cast<long long>(Tokens.size())) return;
      at += 1 + static_cast<std::size_t>(count);
    }
  }

  void readDeclaredElements(PolygonStorage& mesh) {
    const int vertex = Header.firstOf(PlyHeader::Role::Vertex);
    const int face = Header.firstOf(PlyHeader::Role::Face);
    int x = 0, y = 1, z = 2, list = 0;
    if (vertex >= 0 && VertexCount > 0) {
      const PlyHeader::Element& element = Header.Elements[static_cast<std::size_t>(vertex)];
      if (!element.Properties.empty()) {
        x = PlyHeader::findProperty(element, "x");
        y = PlyHeader::findProperty(element, "y");
        z = PlyHeader::findProperty(element, "z");
        if (x < 0 || y < 0 || z < 0) fail(element.Line, "vertex element has no properties x, y and z");
      }
    }
    if (face >= 0 && FaceCount > 0) {
      const PlyHeader::Element& element = Header.Elements[static_cast<std::size_t>(face)];
      if (!element.Properties.empty()) {
        list = PlyHeader::findIndexList(element);
        if (list < 0) fail(element.Line, "face element has no list property vertex_indices");
      }
    }
    std::vector<std::size_t> positions;
    for (int e = 0; e < static_cast<int>(Header.Elements.size()); ++e) {
      const PlyHeader::Element& element = Header.Elements[static_cast<std::size_t>(e)];
      if (element.Count < 0) fail(element.Line, "negative count of element " + element.Name);
      const long long step = std::max(1LL, element.Count / 40);
      if (e == vertex) {
        mesh.Vertices.reserve(backedCount(VertexCount, 6));
        for (long long i = 0; i < VertexCount; ++i) {
          nextElementLine("vertices", VertexCount);
          TextLineReader::splitBlanks(Line, Tokens);
          propertyPositions(element, positions);
          const std::size_t need = static_cast<std::size_t>(std::max({x, y, z}));
          if (element.Properties.empty() ? Tokens.size() < 3 : positions.size() <= need)
            fail(Lines.LineNumber, "vertex line has fewer values than its properties declare");
          const auto token = [&](int p) { return Tokens[element.Properties.empty() ? p : positions[p]]; };
          addVertex(mesh, token(x), token(y), token(z));
          if (i % step == 0) progress();
        }
      } else if (e == face) {
        mesh.Polygons.reserve(backedCount(FaceCount, 2));
        for (long long i = 0; i < FaceCount; ++i) {
          nextElementLine("faces", FaceCount);
          TextLineReader::splitBlanks(Line, Tokens);
          std::size_t first = 0;  // without declared properties the line is "k i1 .. ik"
          if (!element.Properties.empty()) {
            propertyPositions(element, positions);
            if (positions.size() <= static_cast<std::size_t>(list))
              fail(Lines.LineNumber, "face line has fewer values than its properties declare");
            first = positions[static_cast<std::size_t>(list)];
          }
          if (Tokens.empty()) fail(Lines.LineNumber, "face line has no corner count");
          addPolygon(mesh, first);
          if (i % step == 0) progress();
        }
      } else {
        // One line per element, whatever it holds.
        const std::string what = element.Name + " elements";
        for (long long i = 0; i < element.Count; ++i) nextElementLine(what.c_str(), element.Count);
      }
    }
  }

  void progress() {
    if (Output) Output->setProgress(ProgressCounter);
    ++ProgressCounter;
  }

  const std::string& FileName;
  std::FILE* File;
  TextLineReader Lines;
  long long FileSize;
  StatusOutput* Output;
  PlyHeader Header;
  std::string Line;
  std::vector<char*> Tokens;
  long long VertexCount = 0;
  long long FaceCount = 0;
  bool Reverse = false;
  int ProgressCounter = 0;
};

}  // namespace

PolygonStorageImportPLY::~PolygonStorageImportPLY() = default;

void PolygonStorageImportPLY::import(const std::string& fileName, PolygonStorage& mesh) {
  MeshImportFrame::run(fileName, mesh, Output, [&](std::FILE* file, long long fileSize, PolygonStorage& fresh) {
    PlyReader(fileName, file, fileSize, Output).read(fresh);
  });
}

}  // namespace tessellor
