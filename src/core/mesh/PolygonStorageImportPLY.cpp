#include "mesh/PolygonStorageImportPLY.h"

#include "mesh/PolygonStorage.h"
#include "base/Diagnostics.h"
#include "base/StatusOutput.h"
#include "base/TessellorError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <locale.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace tessellor {

namespace {

// Header lines after the first one that are read before giving up on finding "end_header".
constexpr int MaxHeaderLines = 100;

// No text line of a mesh comes near this; a longer one (binary data, an endless device) is
// refused instead of being collected in memory.
constexpr std::size_t MaxLineBytes = std::size_t(16) << 20;

// Closes the file on every way out of import.
struct FileCloser {
  std::FILE* File = nullptr;
  ~FileCloser() {
    if (File) std::fclose(File);
  }
};

// Reads whole lines of any length. "\n" and "\r\n" end a line; any other carriage return stays
// in the text. Trailing blanks (character 32 only) are removed.
class LineReader {
 public:
  explicit LineReader(std::FILE* file) : File(file), Chunk(1 << 16) {}

  // False when the file has no more characters.
  bool next(std::string& line) {
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
        if (!line.empty() && line.back() == '\r') line.pop_back();
        break;
      }
      line.append(start, available);
      Pos = End;
      if (line.size() > MaxLineBytes) {
        LineTooLong = true;
        break;
      }
    }
    if (!gotAny) return false;
    ++LineNumber;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return true;
  }

  long long LineNumber = 0;  // of the line last returned; 1-based
  bool ReadFailed = false;
  bool LineTooLong = false;  // the line last returned was cut at MaxLineBytes

 private:
  std::FILE* File;
  std::vector<char> Chunk;
  std::size_t Pos = 0;
  std::size_t End = 0;
};

// Cuts line into tokens at runs of blanks (character 32 only; a tab belongs to its token), in
// place: each token becomes a zero-terminated string inside line.
void splitTokens(std::string& line, std::vector<char*>& tokens) {
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

// A decimal integer read from the start of text (leading white space skipped, optional sign);
// text without a leading number gives 0. Saturates instead of overflowing.
long long parseInteger(const char* text) {
  const char* c = text;
  while (*c && std::isspace(static_cast<unsigned char>(*c))) ++c;
  bool negative = false;
  if (*c == '+' || *c == '-') negative = *c++ == '-';
  constexpr long long Limit = LLONG_MAX / 10 - 10;
  long long value = 0;
  while (*c >= '0' && *c <= '9') {
    if (value < Limit) value = value * 10 + (*c - '0');
    ++c;
  }
  return negative ? -value : value;
}

// A decimal floating-point number read from the start of text, independent of the process
// locale (a window toolkit may set one whose decimal separator is a comma). Text without a
// leading number gives 0; so does a hexadecimal number, which is not decimal.
double parseFloat(const char* text) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  const char* c = text;
  while (*c && std::isspace(static_cast<unsigned char>(*c))) ++c;
  const char* digits = (*c == '+' || *c == '-') ? c + 1 : c;
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) return *c == '-' ? -0.0 : 0.0;
  return strtod_l(c, nullptr, cLocale);
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Everything one import needs while it reads; throws FileError naming the file and line.
class PlyReader {
 public:
  PlyReader(const std::string& fileName, std::FILE* file, long long fileSize, StatusOutput* output)
      : FileName(fileName), Lines(file), FileSize(fileSize), Output(output) {}

  void read(PolygonStorage& mesh) {
    readHeader();
    readVertices(mesh);
    readFaces(mesh);
    if (Lines.ReadFailed) fail(Lines.LineNumber + 1, "cannot read file");
  }

 private:
  [[noreturn]] void fail(long long line, const std::string& reason) const {
    throw FileError(FileName, reason, FileError::Where::Line, line);
  }

  // The next line; false at the end of the file.
  bool nextLine() {
    const bool got = Lines.next(Line);
    if (Lines.LineTooLong) fail(Lines.LineNumber, "line longer than " + std::to_string(MaxLineBytes) + " bytes");
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
    const long long count = parseInteger(nthToken(line, 2).c_str());
    if (count < 0) fail(Lines.LineNumber, std::string("negative ") + what + " count " + std::to_string(count));
    if (count > INT_MAX)
      fail(Lines.LineNumber, std::string(what) + " count " + std::to_string(count) + " is too large");
    return count;
  }

  void readHeader() {
    if (!nextLine()) {
      if (Lines.ReadFailed) fail(1, "cannot read file");
      fail(1, "file is empty");
    }
    if (Line != "ply") Diagnostics::write("This is not a PLY file.\n");
    long long binaryFormatLine = 0;
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
      } else if (startsWith(Line, "element face")) {
        FaceCount = checkedCount(Line, "face");
      } else if (Line == "order_cw") {
        Reverse = false;
      } else if (Line == "order_ccw") {
        Reverse = true;
      } else if (Line == "end_header") {
        break;
      } else if (startsWith(Line, "format ") && startsWith(nthToken(Line, 1), "binary")) {
        binaryFormatLine = Lines.LineNumber;
      }
    }
    // Binary element data read as text lines would only give nonsense.
    if (binaryFormatLine != 0 && (VertexCount > 0 || FaceCount > 0))
      fail(binaryFormatLine, "binary PLY encodings are not supported, only ASCII");
  }

  // A count from the header is only believed as far as the file can back it with lines of at
  // least minLineBytes bytes each.
  std::size_t backedCount(long long count, long long minLineBytes) const {
    const long long backed = FileSize > 0 ? FileSize / minLineBytes + 1 : 0;
    return static_cast<std::size_t>(std::min(count, backed));
  }

  void readVertices(PolygonStorage& mesh) {
    mesh.Vertices.reserve(backedCount(VertexCount, 6));  // "0 0 0\n"
    const long long step = std::max(1LL, VertexCount / 40);
    for (long long i = 0; i < VertexCount; ++i) {
      nextElementLine("vertices", VertexCount);
      splitTokens(Line, Tokens);
      if (Tokens.size() < 3) fail(Lines.LineNumber, "vertex line has fewer than three values");
      Vertex vertex;
      vertex.pos.x = static_cast<float>(parseFloat(Tokens[0]));
      vertex.pos.y = static_cast<float>(parseFloat(Tokens[1]));
      vertex.pos.z = static_cast<float>(parseFloat(Tokens[2]));
      if (!std::isfinite(vertex.pos.x) || !std::isfinite(vertex.pos.y) || !std::isfinite(vertex.pos.z))
        fail(Lines.LineNumber, "vertex coordinate is not a finite 32-bit float");
      mesh.addVertex(vertex);
      if (i % step == 0) progress();
    }
  }

  void readFaces(PolygonStorage& mesh) {
    mesh.Polygons.reserve(backedCount(FaceCount, 2));  // "0\n"
    const long long step = std::max(1LL, FaceCount / 40);
    for (long long i = 0; i < FaceCount; ++i) {
      nextElementLine("faces", FaceCount);
      splitTokens(Line, Tokens);
      if (Tokens.empty()) fail(Lines.LineNumber, "face line has no corner count");
      const long long corners = parseInteger(Tokens[0]);
      if (corners < 0) fail(Lines.LineNumber, "face line has a negative corner count");
      if (corners > static_cast<long long>(Tokens.size()) - 1)
        fail(Lines.LineNumber, "face line has fewer vertex indices than its count " + std::to_string(corners));
      VertexIDList polygon;
      polygon.reserve(static_cast<std::size_t>(corners));
      for (long long j = 1; j <= corners; ++j) {
        const long long id = parseInteger(Tokens[static_cast<std::size_t>(j)]);
        if (id < 0 || id >= VertexCount)
          fail(Lines.LineNumber, "vertex index " + std::to_string(id) + " outside the vertex range 0.." +
                                     std::to_string(VertexCount - 1));
        polygon.push_back(static_cast<int>(id));
      }
      // order_ccw: the file lists the corners the other way round.
      if (Reverse) std::reverse(polygon.begin(), polygon.end());
      mesh.Polygons.push_back(std::move(polygon));
      if (i % step == 0) progress();
    }
  }

  void progress() {
    if (Output) Output->setProgress(ProgressCounter);
    ++ProgressCounter;
  }

  const std::string& FileName;
  LineReader Lines;
  long long FileSize;
  StatusOutput* Output;
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
  if (Output) {
    Output->beginTask("Importing");
    Output->writeLine(fileName.c_str());
  }
  try {
    FileCloser file;
    struct stat info;
    if (fileName.empty()) throw FileError(fileName, "cannot open file: no file name");
    if (::stat(fileName.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
      throw FileError(fileName, "cannot open file: it is a directory");
    file.File = std::fopen(fileName.c_str(), "rb");
    if (!file.File) throw FileError(fileName, std::string("cannot open file: ") + std::strerror(errno));
    const long long fileSize = (::fstat(fileno(file.File), &info) == 0 && S_ISREG(info.st_mode)) ? info.st_size : 0;

    // Everything is read into a fresh mesh: a refused file leaves the target as it was.
    PolygonStorage fresh;
    fresh.setStatusOutput(mesh.Output);
    PlyReader reader(fileName, file.File, fileSize, Output);
    reader.read(fresh);
    std::fclose(file.File);
    file.File = nullptr;

    fresh.computeBoundingBox();
    if (Output) {
      char line[200];
      std::snprintf(line, sizeof line, "Mesh Bounding Box (%g|%g|%g) - (%g|%g|%g)", fresh.BBoxMin.x, fresh.BBoxMin.y,
                    fresh.BBoxMin.z, fresh.BBoxMax.x, fresh.BBoxMax.y, fresh.BBoxMax.z);
      Output->writeLine(line);
      std::snprintf(line, sizeof line, "Mesh Size (%g|%g|%g)", fresh.BBoxMax.x - fresh.BBoxMin.x,
                    fresh.BBoxMax.y - fresh.BBoxMin.y, fresh.BBoxMax.z - fresh.BBoxMin.z);
      Output->writeLine(line);
    }
    fresh.buildIndex();
    if (Output) Output->setProgress(90);
    // Polygons of fewer than three corners are emptied here; their edges must leave the index.
    if (fresh.computeMidpoints() > 0) fresh.buildEdgeIndex();
    if (Output) Output->setProgress(95);
    fresh.computeVertexNormals();
    mesh.swapContents(fresh);
  } catch (const FileError& error) {
    if (Output) {
      Output->writeLine(error.what());
      Output->endTask();
    }
    throw;
  } catch (...) {
    if (Output) Output->endTask();
    throw;
  }
  if (Output) Output->endTask();
}

}  // namespace tessellor
