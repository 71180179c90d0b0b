#include "mesh/PolygonStorageImportOBJ.h"

#include "mesh/MeshImportFrame.h"
#include "mesh/PolygonStorage.h"
#include "mesh/TextLineReader.h"
#include "mesh/TextNumbers.h"
#include "base/TessellorError.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace tessellor {

namespace {

// A statement keyword: a letter or underscore, then letters, digits and underscores.
bool isWord(const TextLineReader::Token& token) {
  const unsigned char first = static_cast<unsigned char>(token.Text[0]);
  if (!std::isalpha(first) && first != '_') return false;
  for (std::size_t i = 1; i < token.Size; ++i) {
    const unsigned char c = static_cast<unsigned char>(token.Text[i]);
    if (!std::isalnum(c) && c != '_') return false;
  }
  return true;
}

std::string shortened(const char* text) {
  const std::string t(text);
  return t.size() > 40 ? t.substr(0, 40) + "..." : t;
}

class ObjReader {
 public:
  ObjReader(const std::string& fileName, std::FILE* file, long long fileSize, StatusOutput* output)
      : FileName(fileName), Lines(file), Progress(output, fileSize) {
    Lines.SkipByteOrderMark = true;
  }

  void read(PolygonStorage& mesh) {
    bool anyStatement = false;
    while (nextStatement()) {
      if (Tokens.empty()) continue;
      anyStatement = true;
      const TextLineReader::Token& keyword = Tokens[0];
      if (std::strcmp(keyword.Text, "v") == 0)
        readVertex(mesh);
      else if (std::strcmp(keyword.Text, "f") == 0)
        readFace(mesh);
      else if (!isWord(keyword))
        fail(StatementLine, "\"" + shortened(keyword.Text) + "\" is not an OBJ statement");
      Progress.at(Lines.Offset);
    }
    if (Lines.ReadFailed) fail(Lines.LineNumber + 1, "cannot read file");
    if (!anyStatement && Lines.LineNumber == 0) fail(1, "file is empty");
    // Indices may point forward to vertices defined further down; the largest must exist.
    if (LargestIndex >= static_cast<long long>(mesh.Vertices.size()))
      fail(LargestIndexLine, "vertex index " + std::to_string(LargestIndex + 1) + " outside the vertex range 1.." +
                                 std::to_string(mesh.Vertices.size()));
  }

 private:
  [[noreturn]] void fail(long long line, const std::string& reason) const {
    throw FileError(FileName, reason, FileError::Where::Line, line);
  }

  bool nextLine(std::string& line) {
    if (!Lines.next(line)) return false;
    if (Lines.LineTooLong)
      fail(Lines.LineNumber, "line longer than " + std::to_string(TextLineReader::MaxLineBytes) + " bytes");
    const std::size_t comment = line.find('#');
    if (comment != std::string::npos) line.erase(comment);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return true;
  }

  // One statement, joined over lines that end in a backslash, split into tokens.
  bool nextStatement() {
    if (!nextLine(Statement)) return false;
    StatementLine = Lines.LineNumber;
    while (!Statement.empty() && Statement.back() == '\\') {
      Statement.back() = ' ';
      if (!nextLine(Continued)) break;
      Statement += Continued;
      if (Statement.size() > TextLineReader::MaxLineBytes)
        fail(StatementLine, "statement longer than " + std::to_string(TextLineReader::MaxLineBytes) + " bytes");
    }
    TextLineReader::splitWhitespace(Statement, Tokens);
    return true;
  }

  void readVertex(PolygonStorage& mesh) {
    if (Tokens.size() < 4) fail(StatementLine, "vertex with fewer than three coordinates");
    float p[3];
    for (int i = 0; i < 3; ++i) {
      double value;
      if (!TextNumbers::readFloat(Tokens[i + 1].Text, Tokens[i + 1].Size, value))
        fail(StatementLine, "vertex coordinate \"" + shortened(Tokens[i + 1].Text) + "\" is not a number");
      p[i] = static_cast<float>(value);
      if (!std::isfinite(p[i])) fail(StatementLine, "vertex coordinate is not a finite 32-bit float");
    }
    Vertex vertex;
    vertex.pos = V3{p[0], p[1], p[2]};
    mesh.addVertex(vertex);
  }

  // A corner "i", "i/t", "i//n" or "i/t/n": the vertex index i, the others checked for form only.
  long long cornerIndex(const TextLineReader::Token& token) const {
    const char* fields[3];
    std::size_t sizes[3];
    int count = 0;
    bool ok = true;
    std::size_t start = 0;
    for (std::size_t i = 0; ok && i <= token.Size; ++i) {
      if (i < token.Size && token.Text[i] != '/') continue;
      ok = count < 3;
      if (!ok) break;
      fields[count] = token.Text + start;
      sizes[count] = i - start;
      ++count;
      start = i + 1;
    }
    long long values[3] = {0, 0, 0};
    for (int f = 0; ok && f < count; ++f) {
      // Only the texture field of i//n may be empty; the vertex index may not.
      if (sizes[f] == 0)
        ok = f == 1 && count == 3;
      else
        ok = TextNumbers::readInteger(fields[f], sizes[f], values[f]);
    }
    if (!ok)
      fail(StatementLine, "face corner \"" + shortened(token.Text) + "\" is not of the form i, i/t, i//n or i/t/n");
    return values[0];
  }

  void readFace(PolygonStorage& mesh) {
    if (Tokens.size() < 2) fail(StatementLine, "face without vertices");
    const long long vertexCount = static_cast<long long>(mesh.Vertices.size());
    VertexIDList polygon;
    polygon.reserve(Tokens.size() - 1);
    for (std::size_t i = 1; i < Tokens.size(); ++i) {
      const long long index = cornerIndex(Tokens[i]);
      long long id;
      if (index > 0) {
        if (index > INT_MAX) fail(StatementLine, "vertex index " + std::to_string(index) + " is too large");
        id = index - 1;
        if (id >= vertexCount && id > LargestIndex) {
          LargestIndex = id;
          LargestIndexLine = StatementLine;
        }
      } else if (index < 0) {
        // Relative: -1 is the last vertex read so far.
        id = vertexCount + index;
        if (id < 0)
          fail(StatementLine, "relative vertex index " + std::to_string(index) + " reaches before the first vertex");
      } else {
        fail(StatementLine, "vertex index 0 (OBJ indices count from 1)");
      }
      polygon.push_back(static_cast<int>(id));
    }
    mesh.Polygons.push_back(std::move(polygon));
  }

  const std::string& FileName;
  TextLineReader Lines;
  MeshImportFrame::Progress Progress;
  std::string Statement;
  std::string Continued;
  long long StatementLine = 0;
  std::vector<TextLineReader::Token> Tokens;
  long long LargestIndex = -1;
  long long LargestIndexLine = 0;
};

}  // namespace

PolygonStorageImportOBJ::~PolygonStorageImportOBJ() = default;

void PolygonStorageImportOBJ::import(const std::string& fileName, PolygonStorage& mesh) {
  MeshImportFrame::run(fileName, mesh, Output, [&](std::FILE* file, long long fileSize, PolygonStorage& fresh) {
    ObjReader(fileName, file, fileSize, Output).read(fresh);
  });
}

}  // namespace tessellor
