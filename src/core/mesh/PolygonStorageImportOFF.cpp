#include "mesh/PolygonStorageImportOFF.h"

#include "mesh/MeshImportFrame.h"
#include "mesh/PolygonStorage.h"
#include "mesh/TextLineReader.h"
#include "mesh/TextNumbers.h"
#include "base/TessellorError.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace tessellor {

namespace {

std::string shortened(const char* text) {
  const std::string t(text);
  return t.size() > 40 ? t.substr(0, 40) + "..." : t;
}

class OffReader {
 public:
  OffReader(const std::string& fileName, std::FILE* file, long long fileSize, StatusOutput* output)
      : FileName(fileName), Lines(file), FileSize(fileSize), Progress(output, fileSize) {
    Lines.SkipByteOrderMark = true;
  }

  void read(PolygonStorage& mesh) {
    if (!nextLine()) fail(Lines.LineNumber + 1, Lines.LineNumber == 0 ? "file is empty" : "file has no OFF keyword");
    std::size_t first = readKeyword();
    if (first == Tokens.size()) {
      if (!nextLine()) fail(Lines.LineNumber + 1, "file ends before the vertex and face counts");
      first = 0;
    }
    if (Tokens.size() - first < 2) fail(Lines.LineNumber, "expected the vertex, face and edge counts");
    const long long vertexCount = count(Tokens[first], "vertex");
    const long long faceCount = count(Tokens[first + 1], "face");

    // Counts are believed only as far as the file can back them with lines ("0 0 0\n", "0\n").
    mesh.Vertices.reserve(static_cast<std::size_t>(std::min(vertexCount, FileSize / 6 + 1)));
    for (long long i = 0; i < vertexCount; ++i) {
      if (!nextLine()) endsEarly(vertexCount, "vertices");
      if (Tokens.size() < 3) fail(Lines.LineNumber, "vertex line has fewer than three values");
      float p[3];
      for (int c = 0; c < 3; ++c) {
        double value;
        if (!TextNumbers::readFloat(Tokens[c].Text, Tokens[c].Size, value))
          fail(Lines.LineNumber, "vertex coordinate \"" + shortened(Tokens[c].Text) + "\" is not a number");
        p[c] = static_cast<float>(value);
        if (!std::isfinite(p[c])) fail(Lines.LineNumber, "vertex coordinate is not a finite 32-bit float");
      }
      Vertex vertex;
      vertex.pos = V3{p[0], p[1], p[2]};
      mesh.addVertex(vertex);
      Progress.at(Lines.Offset);
    }
    mesh.Polygons.reserve(static_cast<std::size_t>(std::min(faceCount, FileSize / 2 + 1)));
    for (long long i = 0; i < faceCount; ++i) {
      if (!nextLine()) endsEarly(faceCount, "faces");
      long long corners;
      if (!TextNumbers::readInteger(Tokens[0].Text, Tokens[0].Size, corners) || corners < 0)
        fail(Lines.LineNumber, "face line does not begin with its corner count");
      if (corners > static_cast<long long>(Tokens.size()) - 1)
        fail(Lines.LineNumber, "face line has fewer vertex indices than its count " + std::to_string(corners));
      VertexIDList polygon(static_cast<std::size_t>(corners));
      for (long long j = 0; j < corners; ++j) {
        const TextLineReader::Token& token = Tokens[static_cast<std::size_t>(j + 1)];
        long long id;
        if (!TextNumbers::readInteger(token.Text, token.Size, id))
          fail(Lines.LineNumber, "vertex index \"" + shortened(token.Text) + "\" is not a whole number");
        if (id < 0 || id >= vertexCount)
          fail(Lines.LineNumber, "vertex index " + std::to_string(id) + " outside the vertex range 0.." +
                                     std::to_string(vertexCount - 1));
        polygon[static_cast<std::size_t>(j)] = static_cast<int>(id);
      }
      mesh.Polygons.push_back(std::move(polygon));
      Progress.at(Lines.Offset);
    }
  }

 private:
  [[noreturn]] void fail(long long line, const std::string& reason) const {
    throw FileError(FileName, reason, FileError::Where::Line, line);
  }

  [[noreturn]] void endsEarly(long long count, const char* what) const {
    if (Lines.ReadFailed) fail(Lines.LineNumber + 1, "cannot read file");
    fail(Lines.LineNumber + 1, "file ends before all " + std::to_string(count) + " " + what + " were read");
  }

  // The next line with any tokens (comments and blank lines skipped); false at the end.
  bool nextLine() {
    while (Lines.next(Line)) {
      if (Lines.LineTooLong)
        fail(Lines.LineNumber, "line longer than " + std::to_string(TextLineReader::MaxLineBytes) + " bytes");
      const std::size_t comment = Line.find('#');
      if (comment != std::string::npos) Line.erase(comment);
      TextLineReader::splitWhitespace(Line, Tokens);
      if (!Tokens.empty()) return true;
    }
    return false;
  }

  // Checks the keyword that begins the current line; returns the index of the token after it.
  std::size_t readKeyword() {
    const std::string keyword = Tokens[0].Text;
    std::size_t i = 0;
    if (keyword.compare(i, 2, "ST") == 0) i += 2;
    if (keyword.compare(i, 1, "C") == 0) i += 1;
    if (keyword.compare(i, 1, "N") == 0) i += 1;
    const bool fourD = keyword.compare(i, 1, "4") == 0;
    if (fourD) i += 1;
    const bool dimensionGiven = keyword.compare(i, 1, "n") == 0;
    if (dimensionGiven) i += 1;
    if (keyword.compare(i, std::string::npos, "OFF") != 0)
      fail(Lines.LineNumber, "the file does not begin with the keyword OFF");
    std::size_t next = 1;
    if (dimensionGiven) {
      long long dimension = 0;
      if (next >= Tokens.size() && !nextLineInto(next)) fail(Lines.LineNumber + 1, "file ends before the dimension");
      if (!TextNumbers::readInteger(Tokens[next].Text, Tokens[next].Size, dimension) || dimension != 3 || fourD)
        fail(Lines.LineNumber, "only three-dimensional OFF files are read");
      ++next;
    } else if (fourD) {
      fail(Lines.LineNumber, "only three-dimensional OFF files are read");
    }
    if (next < Tokens.size() && std::strcmp(Tokens[next].Text, "BINARY") == 0)
      fail(Lines.LineNumber, "binary OFF files are not read, only text");
    return next;
  }

  // Moves to the next line for a value that did not follow on the keyword's line.
  bool nextLineInto(std::size_t& next) {
    if (!nextLine()) return false;
    next = 0;
    return true;
  }

  long long count(const TextLineReader::Token& token, const char* what) const {
    long long value;
    if (!TextNumbers::readInteger(token.Text, token.Size, value))
      fail(Lines.LineNumber, std::string(what) + " count \"" + shortened(token.Text) + "\" is not a whole number");
    if (value < 0) fail(Lines.LineNumber, std::string("negative ") + what + " count " + std::to_string(value));
    if (value > INT_MAX)
      fail(Lines.LineNumber, std::string(what) + " count " + std::to_string(value) + " is too large");
    return value;
  }

  const std::string& FileName;
  TextLineReader Lines;
  long long FileSize;
  MeshImportFrame::Progress Progress;
  std::string Line;
  std::vector<TextLineReader::Token> Tokens;
};

}  // namespace

PolygonStorageImportOFF::~PolygonStorageImportOFF() = default;

void PolygonStorageImportOFF::import(const std::string& fileName, PolygonStorage& mesh) {
  MeshImportFrame::run(fileName, mesh, Output, [&](std::FILE* file, long long fileSize, PolygonStorage& fresh) {
    OffReader(fileName, file, fileSize, Output).read(fresh);
  });
}

}  // namespace tessellor
