// The PLY importer on worked files: what the documented rules make of odd but readable text, and
// every refusal with its line. Arbitrary bytes: fuzz_ply_import_replay and PlyReaderBounds.
#include "mesh/PolygonStorageImportPLY.h"

#include "base/TessellorError.h"
#include "support/DiagnosticsCapture.h"
#include "support/RecordingOutput.h"
#include "support/TestFiles.h"
#include "support/TestMeshes.h"

#include <gtest/gtest.h>

using namespace tessellor;

namespace {

std::string header(int vertices, int faces, const std::string& extra = "") {
  return "ply\nformat ascii 1.0\nelement vertex " + std::to_string(vertices) +
         "\nproperty float x\nproperty float y\nproperty float z\nelement face " + std::to_string(faces) +
         "\nproperty list uchar int vertex_indices\n" + extra + "end_header\n";
}

const std::string Triangle = "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";

std::string lines(const char* text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

// headerLines lines after "ply", the last of them "end_header", then a triangle.
std::string longHeader(int headerLines) {
  return "ply\nelement vertex 3\nelement face 1\n" + lines("comment\n", headerLines - 3) + "end_header\n" + Triangle;
}

std::string replaced(const std::string& text, const std::string& newline) {
  std::string out;
  for (char c : text) out += c == '\n' ? newline : std::string(1, c);
  return out;
}

// Imports a file (or text written to one) into a mesh that holds a torus, keeping the log and the
// diagnostics; the refusal's message, or "" when the file was read. A refused file must leave the
// mesh exactly as it was and the task closed, with the message logged.
struct ImportRun {
  testfiles::ScratchDir Dir;
  RecordingOutput Log;
  PolygonStorage Mesh;
  std::string Diagnostics, Path;

  std::string runPath(const std::string& path) {
    Path = path;
    PolygonStorage before;
    testmeshes::build(Mesh, testmeshes::torus());
    Mesh.setScale(5.0f);
    Mesh.setStatusOutput(&Log);
    before.copyContents(Mesh);
    PolygonStorageImportPLY importer;
    importer.setStatusOutput(&Log);
    DiagnosticsCapture capture;
    std::string refusal;
    try {
      importer.import(path, Mesh);
    } catch (const FileError& error) {
      refusal = error.what();
      EXPECT_EQ(error.File, path);
      EXPECT_EQ(testmeshes::meshDifference(before, Mesh), "") << refusal;
      EXPECT_TRUE(Log.hasLine(refusal)) << "the refusal is logged";
    }
    EXPECT_FALSE(Log.Busy) << "the task is ended";
    Diagnostics = capture.Text;
    return refusal;
  }
  std::string run(const std::string& contents) {
    testfiles::writeFile(Dir.file("mesh.ply"), contents);
    return runPath(Dir.file("mesh.ply"));
  }
};

}  // namespace

TEST(ImportPLY, CubeGivesIndicesLogAndProgressAndReplacesTheMesh) {
  ImportRun r;
  ASSERT_EQ(r.run(header(8, 6) + "-1 -1 -1\n-1 1 -1\n1 1 -1\n1 -1 -1\n-1 -1 1\n-1 1 1\n1 1 1\n1 -1 1\n"
                                 "4 0 1 2 3\n4 7 6 5 4\n4 0 4 5 1\n4 1 5 6 2\n4 2 6 7 3\n4 3 7 4 0\n"),
            "");
  EXPECT_EQ(testmeshes::closedOrientedFault(r.Mesh), "");
  EXPECT_EQ(testmeshes::indexFault(r.Mesh), "");
  EXPECT_EQ(r.Mesh.Midpoints[0].n.z, -1.0f) << "face 0 1 2 3 at z = -1 faces outwards";
  EXPECT_EQ(r.Mesh.Scale, 1.0f) << "the file's contents replace the torus and its placement";
  EXPECT_EQ(r.Mesh.Output, &r.Log) << "the target keeps its status output";
  const std::vector<std::string> log{"--------------- begin ",
                                     "Importing",
                                     r.Path,
                                     "Mesh Bounding Box (-1|-1|-1) - (1|1|1)",
                                     "Mesh Size (2|2|2)",
                                     "PolygonStorage::buildEdgeIndex"};
  ASSERT_EQ(r.Log.Lines.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(r.Log.Lines.begin(), r.Log.Lines.begin() + 6), log);
  // One step per element below 40 elements, the counter running on from vertices into faces.
  EXPECT_EQ(r.Log.Progress, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 90, 95}));
  r.run(header(0, 0));
  EXPECT_TRUE(r.Log.hasLine("Mesh Bounding Box (0|0|0) - (0|0|0)"));
}

TEST(ImportPLY, ReadableOddFilesFollowTheDocumentedRules) {
  std::string longVertex = "0 1 0" + lines(" 0.125", 120), bigFace = "120";
  VertexIDList big;
  for (int i = 0; i < 120; ++i) {
    bigFace += " " + std::to_string(i % 3);
    big.push_back(i % 3);
  }
  struct Case {
    const char* What;
    std::string Text, Diagnostics;
    std::vector<VertexIDList> Polygons;
    std::vector<V3> Positions;  // every vertex; empty: not checked
  };
  const std::vector<V3> tri{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const std::string quad = "0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n";
  const Case cases[] = {
      {"CRLF", replaced(header(3, 1) + Triangle, "\r\n"), "", {{0, 1, 2}}, tri},
      // CR CR LF: "ply\r" is no "ply" and "end_header\r" never ends the header, which then takes
      // 100 lines; the 101st is dropped and the elements follow.
      {"lone carriage returns",
       replaced("ply\nelement vertex 3\nelement face 1\n" + lines("comment\n", 97) + "end_header\ndropped\n" + Triangle,
                "\r\r\n"),
       "This is not a PLY file.\nHeader seems to be too long, so we're quitting.\n",
       {{0, 1, 2}},
       tri},
      {"order_ccw reverses the corners", header(4, 1, "order_ccw\n") + quad, "", {{3, 2, 1, 0}}, {}},
      {"the last orientation line wins", header(4, 1, "order_ccw\norder_cw\n") + quad, "", {{0, 1, 2, 3}}, {}},
      {"header of 100 lines", longHeader(100), "", {{0, 1, 2}}, tri},
      {"header of 101 lines: end_header is the dropped line",
       longHeader(101),
       "Header seems to be too long, so we're quitting.\n",
       {{0, 1, 2}},
       tri},
      {"not a PLY file, read anyway",
       "PLY\nelement vertex 3\nelement face 1\nend_header\n" + Triangle,
       "This is not a PLY file.\n",
       {{0, 1, 2}},
       tri},
      {"extra values, trailing blanks, long lines",
       "ply\nelement vertex 3   \nelement face 3\nend_header\n0 0 0 1 2 3 255 255 255\n1 0 0 9\n" + longVertex +
           "\n3 0 1 2 255 0 0\n" + bigFace + "\n4 0 1 2 1\n",
       "",
       {{0, 1, 2}, big, {0, 1, 2, 1}},
       tri},
      // "1,5" is 1 whatever the locale; no number is 0; "0x10" is not decimal; "3xyz" keeps its digits.
      {"numbers from the token start",
       "ply\nelement vertex 3xyz\nelement face 1\nend_header\n1,5 abc 2.5e1\n0x10 -0 +3\n.5 7. 1e-3\n3 0 1 2\n",
       "",
       {{0, 1, 2}},
       {{1, 0, 25}, {0, -0.0f, 3}, {0.5f, 7, 0.001f}}},
      {"faces of fewer than three corners are emptied",
       header(4, 5) + "0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n2 0 1\n1 3\n0\n3 0 2 3\n",
       "",
       {{0, 1, 2, 3}, {}, {}, {}, {0, 2, 3}},
       {}},
      {"largest float and a subnormal",
       header(3, 0) + "3.4028234e38 0 0\n1e-40 0 0\n0 1 0\n",
       "",
       {},
       {{3.4028234e38f, 0, 0}, {1e-40f, 0, 0}, {0, 1, 0}}},
  };
  for (const Case& c : cases) {
    ImportRun r;
    ASSERT_EQ(r.run(c.Text), "") << c.What;
    EXPECT_EQ(r.Diagnostics, c.Diagnostics) << c.What;
    EXPECT_EQ(r.Mesh.Polygons, c.Polygons) << c.What;
    EXPECT_EQ(testmeshes::indexFault(r.Mesh), "") << c.What;
    ASSERT_TRUE(c.Positions.empty() || r.Mesh.Vertices.size() == c.Positions.size()) << c.What;
    for (std::size_t v = 0; v < c.Positions.size(); ++v)
      EXPECT_TRUE(testmeshes::sameBits(r.Mesh.Vertices[v].pos, c.Positions[v])) << c.What << ", vertex " << v;
    for (const std::string& line : r.Log.Lines) EXPECT_EQ(line.find("not a PLY"), std::string::npos) << "no log line";
  }
}

TEST(ImportPLY, RefusalsNameFileAndLineAndKeepTheMesh) {
  // Lines: 1 ply .. 9 end_header, 10-12 vertices, 13 the face.
  const std::string h = header(3, 1), v = "0 0 0\n1 0 0\n0 1 0\n";
  const std::pair<std::string, std::string> cases[] = {
      {h + v + "4 0 1 2\n", "13: face line has fewer vertex indices than its count 4"},
      {h + "0 0 0\n1 0\n0 1 0\n3 0 1 2\n", "11: vertex line has fewer than three values"},
      {h + "0 0 0\n\n1 0 0\n0 1 0\n3 0 1 2\n", "11: vertex line has fewer than three values"},
      {h + v + "3 0 1 3\n", "13: vertex index 3 outside the vertex range 0..2"},
      {h + v + "3 0 -1 2\n", "13: vertex index -1 outside the vertex range 0..2"},
      {h + v + "-3 0 1 2\n", "13: face line has a negative corner count"},
      {h + v + "\n", "13: face line has no corner count"},
      {h + v, "13: file ends before all 1 faces were read"},
      {header(5, 1) + v + "3 0 1 2\n", "14: file ends before all 5 vertices were read"},
      {h + "0 0 0\n1 0", "11: vertex line has fewer than three values"},
      {h + "0 0 0\n1 nan 0\n0 1 0\n3 0 1 2\n", "11: vertex coordinate is not a finite 32-bit float"},
      {h + "0 0 0\n1 -inf 0\n0 1 0\n3 0 1 2\n", "11: vertex coordinate is not a finite 32-bit float"},
      {h + "0 0 0\n1 1e39 0\n0 1 0\n3 0 1 2\n", "11: vertex coordinate is not a finite 32-bit float"},
      // Binary data is read by its declarations: a vertex element without x, y, z is refused.
      {"ply\nformat binary_little_endian 1.0\nelement vertex 3\nelement face 1\nend_header\n" + std::string(14, '\0'),
       "3: vertex element has no property x"},
      {"ply\nelement vertex -3\nelement face 1\nend_header\n0 0 0\n", "2: negative vertex count -3"},
      {"ply\nelement vertex 1000000000000\nend_header\n0 0 0\n", "2: vertex count 1000000000000 is too large"},
      {"ply\nelement vertex 3\nelement face 99999999999999999999999\nend_header\n", "3: face count "},
      // Counts that fit an int but not the file: refused at its end, without reserving for them.
      {"ply\nelement vertex 2000000000\nend_header\n0 0 0\n1 1 1\n", "6: file ends before all 2000000000 vertices"},
      {"ply\nelement vertex 3\nelement face 2147483647\nend_header\n" + v + "3 0 1 2\n", "9: file ends before all"},
      {longHeader(102), "103: vertex line has fewer than three values"},  // end_header is the first vertex
      {"ply\nelement vertex 3\nelement face 1\n" + v + "3 0 1 2\n",
       "8: file ends inside the header (no end_header line)"},
      {"", "1: file is empty"},
  };
  for (const auto& [text, message] : cases) {
    ImportRun r;
    EXPECT_EQ(r.run(text).rfind(r.Path + ":" + message, 0), 0u) << message;
  }
  // Files that cannot be read at all.
  ImportRun r;
  for (const auto& [path, message] :
       std::vector<std::pair<std::string, std::string>>{{r.Dir.file("missing.ply"), ": cannot open file"},
                                                        {"", ": cannot open file: no file name"},
                                                        {r.Dir.Path, ": cannot open file: it is a directory"},
                                                        {"/dev/zero", ":1: line longer than 16777216 bytes"}})
    EXPECT_EQ(r.runPath(path).rfind(path + message, 0), 0u) << path;
}
