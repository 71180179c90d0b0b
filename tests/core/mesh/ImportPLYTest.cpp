#include "mesh/PolygonStorageImportPLY.h"

#include "MeshTestSupport.h"
#include "mesh/PolygonStorage.h"
#include "base/Diagnostics.h"
#include "support/DiagnosticsCapture.h"
#include "support/RecordingOutput.h"
#include "base/TessellorError.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace tessellor;

namespace {

const char* const CubeBody =
    "-1 -1 -1\n-1 1 -1\n1 1 -1\n1 -1 -1\n-1 -1 1\n-1 1 1\n1 1 1\n1 -1 1\n"
    "4 0 1 2 3\n4 7 6 5 4\n4 0 4 5 1\n4 1 5 6 2\n4 2 6 7 3\n4 3 7 4 0\n";

std::string header(int vertices, int faces, const std::string& extra = "") {
  return "ply\nformat ascii 1.0\nelement vertex " + std::to_string(vertices) +
         "\nproperty float x\nproperty float y\nproperty float z\nelement face " + std::to_string(faces) +
         "\nproperty list uchar int vertex_indices\n" + extra + "end_header\n";
}

const std::string Triangle = header(3, 1) + "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";

// Imports text written to a scratch file; the log and diagnostics are kept for inspection.
struct ImportRun {
  meshtest::ScratchDir Dir;
  RecordingOutput Log;
  PolygonStorage Mesh;
  PolygonStorageImportPLY Importer;
  std::string Diagnostics;
  std::string Path;

  ImportRun() {
    Mesh.setStatusOutput(&Log);
    Importer.setStatusOutput(&Log);
  }
  void run(const std::string& contents, const std::string& name = "mesh.ply") {
    Path = Dir.file(name);
    meshtest::writeFile(Path, contents);
    runPath(Path);
  }
  void runPath(const std::string& path) {
    DiagnosticsCapture capture;
    try {
      Importer.import(path, Mesh);
    } catch (...) {
      Diagnostics = capture.Text;
      throw;
    }
    Diagnostics = capture.Text;
  }
  // Runs a file that must be refused; returns the error's line (0 when the error has none).
  long long refuse(const std::string& contents, const std::string& reasonPart = "") {
    meshtest::makeTorus(Mesh);
    const meshtest::MeshSnapshot before(Mesh);
    try {
      run(contents);
    } catch (const FileError& error) {
      EXPECT_EQ(error.File, Path);
      EXPECT_NE(std::string(error.what()).find(Path), std::string::npos) << error.what();
      if (!reasonPart.empty()) {
        EXPECT_NE(error.Reason.find(reasonPart), std::string::npos) << error.Reason;
      }
      EXPECT_EQ(before.differences(Mesh), "") << "a refused file must leave the mesh as it was";
      EXPECT_FALSE(Log.Busy) << "the task must be ended";
      EXPECT_TRUE(Log.hasLine(error.what())) << "the refusal is logged";
      return error.Position == FileError::Where::Line ? error.At : 0;
    }
    ADD_FAILURE() << "file was accepted: " << contents.substr(0, 200);
    return -1;
  }
};

}  // namespace

TEST(ImportPLY, CubeGivesIndicesLogAndProgress) {
  ImportRun r;
  r.run(header(8, 6) + CubeBody);
  EXPECT_EQ(r.Mesh.Vertices.size(), 8u);
  EXPECT_EQ(r.Mesh.Polygons.size(), 6u);
  EXPECT_EQ(r.Mesh.EdgeIndex.size(), 12u);
  for (const auto& entry : r.Mesh.EdgeIndex) EXPECT_NE(entry.second.Second, -1) << "closed cube";
  EXPECT_EQ(meshtest::indexFault(r.Mesh), "");
  EXPECT_EQ(r.Diagnostics, "");
  ASSERT_EQ(r.Log.Lines.size(), 8u);
  EXPECT_EQ(r.Log.Lines[0], "--------------- begin ");
  EXPECT_EQ(r.Log.Lines[1], "Importing");
  EXPECT_EQ(r.Log.Lines[2], r.Path);
  EXPECT_EQ(r.Log.Lines[3], "Mesh Bounding Box (-1|-1|-1) - (1|1|1)");
  EXPECT_EQ(r.Log.Lines[4], "Mesh Size (2|2|2)");
  EXPECT_EQ(r.Log.Lines[5], "PolygonStorage::buildEdgeIndex");
  EXPECT_EQ(r.Log.Lines[6].rfind("Duration: ", 0), 0u);
  EXPECT_EQ(r.Log.Lines[7], "--------------- end");
  // One progress value per element below 80 elements, the counter running on from vertices
  // into faces (0 equals the start value and is not recorded), then 90 and 95.
  const std::vector<int> progress{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 90, 95};
  EXPECT_EQ(r.Log.Progress, progress);
  EXPECT_EQ(r.Mesh.Scale, 1.0f);
  // The cube's normals point outwards: face 0 (0 1 2 3) lies at z = -1.
  EXPECT_FLOAT_EQ(r.Mesh.Midpoints[0].n.z, -1.0f);
}

TEST(ImportPLY, ProgressStepsForLargeFiles) {
  std::string body;
  for (int i = 0; i < 400; ++i) body += std::to_string(i) + " 0 0\n";
  for (int i = 0; i < 398; ++i)
    body += "3 " + std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(i + 2) + "\n";
  ImportRun r;
  r.run(header(400, 398) + body);
  // Steps of 10 vertices and 9 faces: 40 values for the vertices, 45 for the faces (398 / 9).
  ASSERT_GE(r.Log.Progress.size(), 3u);
  EXPECT_EQ(r.Log.Progress[r.Log.Progress.size() - 3], 84);
  EXPECT_EQ(r.Log.Progress[r.Log.Progress.size() - 2], 90);
  EXPECT_EQ(r.Log.Progress.back(), 95);
}

TEST(ImportPLY, CrLfReadsLikeLf) {
  std::string crlf;
  for (char c : header(8, 6) + CubeBody) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  ImportRun lf, dos;
  lf.run(header(8, 6) + CubeBody);
  dos.run(crlf);
  EXPECT_EQ(dos.Diagnostics, "");
  EXPECT_EQ(dos.Mesh.Polygons, lf.Mesh.Polygons);
  EXPECT_EQ(meshtest::MeshSnapshot(lf.Mesh).differences(dos.Mesh), "");
}

TEST(ImportPLY, LoneCarriageReturnsStayInTheText) {
  // Every line ends in CR CR LF: the first line reads "ply\r", and "end_header\r" never ends the
  // header, which therefore takes 100 lines; the 101st is dropped and the elements follow.
  std::string head = "ply\nformat ascii 1.0\nelement vertex 3\nelement face 1\n";
  for (int i = 0; i < 96; ++i) head += "comment padding\n";
  head += "end_header\nthis line is dropped\n";
  std::string text;
  for (char c : head + "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n") {
    if (c == '\n') text += "\r\r";
    text += c;
  }
  ImportRun r;
  r.run(text);
  EXPECT_EQ(r.Diagnostics, "This is not a PLY file.\nHeader seems to be too long, so we're quitting.\n");
  ASSERT_EQ(r.Mesh.Vertices.size(), 3u);
  ASSERT_EQ(r.Mesh.Polygons.size(), 1u);
  EXPECT_EQ(r.Mesh.Polygons[0], (VertexIDList{0, 1, 2}));
  EXPECT_EQ(r.Mesh.Vertices[1].pos.x, 1.0f);
}

TEST(ImportPLY, OrderCcwReversesCornerOrder) {
  ImportRun cw, ccw, plain;
  const std::string body = "0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n";
  plain.run(header(4, 1) + body);
  cw.run(header(4, 1, "order_cw\n") + body);
  ccw.run(header(4, 1, "order_ccw\n") + body);
  EXPECT_EQ(plain.Mesh.Polygons[0], (VertexIDList{0, 1, 2, 3}));
  EXPECT_EQ(cw.Mesh.Polygons[0], (VertexIDList{0, 1, 2, 3}));
  EXPECT_EQ(ccw.Mesh.Polygons[0], (VertexIDList{3, 2, 1, 0}));
  EXPECT_EQ(plain.Mesh.Midpoints[0].n.z, 1.0f);
  EXPECT_EQ(ccw.Mesh.Midpoints[0].n.z, -1.0f);
  // The last orientation line wins.
  ImportRun both;
  both.run(header(4, 1, "order_ccw\norder_cw\n") + body);
  EXPECT_EQ(both.Mesh.Polygons[0], (VertexIDList{0, 1, 2, 3}));
}

TEST(ImportPLY, HeaderOfHundredLinesIsAcceptedAndOfHundredOneIsCut) {
  auto file = [](int headerLines) {
    // headerLines lines after "ply", the last of them "end_header".
    std::string text = "ply\nelement vertex 3\nelement face 1\n";
    for (int i = 3; i < headerLines; ++i) text += "comment " + std::to_string(i) + "\n";
    return text + "end_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
  };
  ImportRun ok;
  ok.run(file(100));
  EXPECT_EQ(ok.Diagnostics, "");
  EXPECT_EQ(ok.Mesh.Vertices.size(), 3u);
  EXPECT_EQ(ok.Mesh.Polygons.size(), 1u);

  // With 101 lines, the 101st ("end_header") is the dropped line: elements follow as before.
  ImportRun cut;
  cut.run(file(101));
  EXPECT_EQ(cut.Diagnostics, "Header seems to be too long, so we're quitting.\n");
  EXPECT_EQ(cut.Mesh.Polygons.size(), 1u);

  // With 102, "end_header" is read as the first vertex line: too few values, refused.
  ImportRun longer;
  EXPECT_EQ(longer.refuse(file(102), "fewer than three values"), 103);
}

TEST(ImportPLY, OddButWellFormedLines) {
  ImportRun r;
  // Trailing blanks after a count, extra vertex values, extra face values (colours), a face of
  // more than 199 characters and a vertex line far longer than that.
  std::string longVertex = "0 1 0";
  for (int i = 0; i < 120; ++i) longVertex += " 0.125";
  std::string bigFace = "120";
  for (int i = 0; i < 120; ++i) bigFace += " " + std::to_string(i % 3 == 0 ? 0 : (i % 3 == 1 ? 1 : 2));
  const std::string text =
      "ply\nformat ascii 1.0\nelement vertex 3   \nelement face 3\nend_header\n"
      "0 0 0 1 2 3 255 255 255\n1 0 0 9\n" +
      longVertex +
      "\n"
      "3 0 1 2 255 0 0\n" +
      bigFace + "\n4 0 1 2 1\n";
  ASSERT_GT(longVertex.size(), 600u);
  r.run(text);
  ASSERT_EQ(r.Mesh.Vertices.size(), 3u) << "a long line is one line";
  EXPECT_EQ(r.Mesh.Vertices[2].pos.y, 1.0f);
  ASSERT_EQ(r.Mesh.Polygons.size(), 3u);
  EXPECT_EQ(r.Mesh.Polygons[0], (VertexIDList{0, 1, 2}));
  EXPECT_EQ(r.Mesh.Polygons[1].size(), 120u);
  ASSERT_GT(bigFace.size(), 199u);
  EXPECT_EQ(r.Mesh.Polygons[2], (VertexIDList{0, 1, 2, 1}));
  EXPECT_EQ(meshtest::indexFault(r.Mesh), "");
}

TEST(ImportPLY, NotAPlyFileIsReportedAndReadAnyway) {
  ImportRun r;
  r.run("PLY\nelement vertex 3\nelement face 1\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
  EXPECT_EQ(r.Diagnostics, "This is not a PLY file.\n");
  EXPECT_EQ(r.Mesh.Polygons.size(), 1u);
  for (const std::string& line : r.Log.Lines) EXPECT_EQ(line.find("not a PLY"), std::string::npos) << "not a log line";
}

TEST(ImportPLY, NumbersAreReadFromTheTokenStart) {
  ImportRun r;
  // "1,5" reads as 1 whatever the locale; text without a number reads as 0; "0x10" is not a
  // decimal number (0); counts with junk after the digits keep the digits.
  r.run("ply\nelement vertex 3xyz\nelement face 1\nend_header\n1,5 abc 2.5e1\n0x10 -0 +3\n.5 7. 1e-3\n3 0 1 2\n");
  ASSERT_EQ(r.Mesh.Vertices.size(), 3u);
  EXPECT_EQ(r.Mesh.Vertices[0].pos.x, 1.0f);
  EXPECT_EQ(r.Mesh.Vertices[0].pos.y, 0.0f);
  EXPECT_EQ(r.Mesh.Vertices[0].pos.z, 25.0f);
  EXPECT_EQ(r.Mesh.Vertices[1].pos.x, 0.0f);
  EXPECT_EQ(r.Mesh.Vertices[1].pos.z, 3.0f);
  EXPECT_EQ(r.Mesh.Vertices[2].pos.x, 0.5f);
  EXPECT_EQ(r.Mesh.Vertices[2].pos.y, 7.0f);
  EXPECT_EQ(r.Mesh.Vertices[2].pos.z, 0.001f);
}

TEST(ImportPLY, DegenerateFacesAreEmptiedAndLeaveEveryIndex) {
  ImportRun r;
  r.run(header(4, 5) + "0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n2 0 1\n1 3\n0\n3 0 2 3\n");
  ASSERT_EQ(r.Mesh.Polygons.size(), 5u);
  EXPECT_TRUE(r.Mesh.Polygons[1].empty());
  EXPECT_TRUE(r.Mesh.Polygons[2].empty());
  EXPECT_TRUE(r.Mesh.Polygons[3].empty());
  EXPECT_EQ(meshtest::indexFault(r.Mesh), "");
  EXPECT_EQ(r.Mesh.VIndex[1], (VertexIDSet{0}));
  EXPECT_EQ(r.Mesh.VIndex[3], (VertexIDSet{0, 4}));
  const EdgeEntryData* edge = r.Mesh.findEdge(PolygonStorage::makeEdgeKey(0, 1));
  ASSERT_NE(edge, nullptr);
  EXPECT_EQ(edge->First, 0);
  EXPECT_EQ(edge->Second, -1) << "the emptied polygon 1 must not stay on edge 0-1";
  EXPECT_EQ(r.Mesh.EdgeIndex.size(), 5u);
  // Vertex normals only see real polygons.
  EXPECT_FLOAT_EQ(r.Mesh.Vertices[1].n.z, 1.0f);
}

TEST(ImportPLY, EmptyMeshHasAZeroBoundingBox) {
  ImportRun r;
  r.run(header(0, 0));
  EXPECT_TRUE(r.Mesh.Vertices.empty());
  EXPECT_TRUE(r.Log.hasLine("Mesh Bounding Box (0|0|0) - (0|0|0)"));
  EXPECT_TRUE(r.Log.hasLine("Mesh Size (0|0|0)"));
}

// The file is read into a fresh mesh whose contents are swapped in: the target keeps its output.
TEST(ImportPLY, ImportReplacesThePreviousMesh) {
  ImportRun r;
  meshtest::makeTorus(r.Mesh);
  r.Mesh.setScale(5.0f);
  r.Mesh.setOffset(1, 2, 3);
  r.run(Triangle);
  EXPECT_EQ(r.Mesh.Vertices.size(), 3u);
  EXPECT_EQ(r.Mesh.Polygons.size(), 1u);
  EXPECT_EQ(r.Mesh.EdgeIndex.size(), 3u);
  EXPECT_EQ(r.Mesh.Scale, 1.0f);
  EXPECT_EQ(r.Mesh.Offset.z, 0.0f);
  EXPECT_EQ(r.Mesh.Output, &r.Log);
}

TEST(ImportPLY, UnopenableFileIsReported) {
  ImportRun r;
  meshtest::makeCube(r.Mesh);
  const meshtest::MeshSnapshot before(r.Mesh);
  const std::string missing = r.Dir.file("does-not-exist.ply");
  try {
    r.runPath(missing);
    FAIL() << "a missing file must be reported";
  } catch (const FileError& error) {
    EXPECT_EQ(error.File, missing);
    EXPECT_NE(std::string(error.what()).find("does-not-exist.ply"), std::string::npos);
  }
  EXPECT_EQ(before.differences(r.Mesh), "");
  EXPECT_FALSE(r.Log.Busy);
  ASSERT_GE(r.Log.Lines.size(), 6u);
  const std::size_t n = r.Log.Lines.size();
  EXPECT_EQ(r.Log.Lines[n - 5], "Importing");
  EXPECT_EQ(r.Log.Lines[n - 4], missing);
  EXPECT_NE(r.Log.Lines[n - 3].find("cannot open"), std::string::npos) << "the failure is logged";
  EXPECT_EQ(r.Log.Lines[n - 1], "--------------- end");
  EXPECT_THROW(r.runPath(""), FileError);
  EXPECT_THROW(r.runPath(r.Dir.Path), FileError) << "a directory is no file";
  EXPECT_EQ(before.differences(r.Mesh), "");
}

TEST(ImportPLY, MalformedElementLinesAreRefusedWithTheirLine) {
  // Lines: 1 ply ... 9 end_header, 10-12 vertices, 13 face.
  ImportRun r;
  EXPECT_EQ(r.refuse(header(3, 1) + "0 0 0\n1 0 0\n0 1 0\n4 0 1 2\n", "fewer vertex indices"), 13);
  EXPECT_EQ(r.refuse(header(3, 1) + "0 0 0\n1 0\n0 1 0\n3 0 1 2\n", "fewer than three values"), 11);
  EXPECT_EQ(r.refuse(header(3, 1) + "0 0 0\n\n1 0 0\n0 1 0\n3 0 1 2\n", "fewer than three values"), 11);
  EXPECT_EQ(r.refuse(header(3, 1) + "0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n", "outside the vertex range"), 13);
  EXPECT_EQ(r.refuse(header(3, 1) + "0 0 0\n1 0 0\n0 1 0\n3 0 -1 2\n", "outside the vertex range"), 13);
  EXPECT_EQ(r.refuse(header(3, 1) + "0 0 0\n1 0 0\n0 1 0\n-3 0 1 2\n", "negative"), 13);
  EXPECT_EQ(r.refuse(header(3, 1) + "0 0 0\n1 0 0\n0 1 0\n\n", "no corner count"), 13);
  // The file ends before the announced elements.
  EXPECT_EQ(r.refuse(header(3, 1) + "0 0 0\n1 0 0\n0 1 0\n", "file ends"), 13);
  EXPECT_EQ(r.refuse(header(5, 1) + "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"), 14);
  EXPECT_EQ(r.refuse(header(3, 1) + "0 0 0\n1 0"), 11);
  // The header never ends.
  EXPECT_GT(r.refuse("ply\nelement vertex 3\nelement face 1\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", "header"), 0);
  EXPECT_EQ(r.refuse("", "empty"), 1);
}

TEST(ImportPLY, NonFiniteCoordinatesAreRefused) {
  ImportRun r;
  for (const char* bad : {"nan", "inf", "-inf", "1e39", "-3.5e38", "infinity", "NAN"}) {
    const std::string text = header(3, 1) + "0 0 0\n1 " + bad + " 0\n0 1 0\n3 0 1 2\n";
    EXPECT_EQ(r.refuse(text, "finite"), 11) << bad;
  }
  // The largest float and a subnormal are finite.
  ImportRun ok;
  ok.run(header(3, 1) + "3.4028234e38 0 0\n1e-40 0 0\n0 1 0\n3 0 1 2\n");
  EXPECT_EQ(ok.Mesh.Vertices[0].pos.x, 3.4028234e38f);
  EXPECT_GT(ok.Mesh.Vertices[1].pos.x, 0.0f);
}

TEST(ImportPLY, HeaderRefusalsAndCountsThatDoNotDriveAllocation) {
  ImportRun r;
  // Binary data is read by its declarations: a vertex element without x, y, z is refused on its line.
  std::string binary = "ply\nformat binary_little_endian 1.0\nelement vertex 3\nelement face 1\nend_header\n";
  binary += std::string("\0\0\0\0\0\0\0\0\0\0\0\0\3\0", 14);
  EXPECT_EQ(r.refuse(binary, "no property x"), 3);
  // Negative and absurd counts are refused on their header line.
  EXPECT_EQ(r.refuse("ply\nelement vertex -3\nelement face 1\nend_header\n0 0 0\n", "negative"), 2);
  EXPECT_EQ(r.refuse("ply\nelement vertex 1000000000000\nend_header\n0 0 0\n", "too large"), 2);
  EXPECT_EQ(r.refuse("ply\nelement vertex 3\nelement face 99999999999999999999999\nend_header\n", "too large"), 3);
  // Counts that fit an int but that a 60-byte file cannot back: refused at the end of the file,
  // quickly, and without reserving room for the announced count (which would not fit in memory).
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(r.refuse("ply\nelement vertex 2000000000\nend_header\n0 0 0\n1 1 1\n", "file ends"), 6);
  EXPECT_EQ(r.refuse("ply\nelement vertex 3\nelement face 2147483647\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n",
                     "file ends"),
            9);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(ImportPLY, EndlessLineIsRefusedNotCollected) {
  if (!meshtest::fileExists("/dev/zero")) GTEST_SKIP() << "no /dev/zero";
  ImportRun r;
  meshtest::makeCube(r.Mesh);
  const meshtest::MeshSnapshot before(r.Mesh);
  try {
    r.runPath("/dev/zero");
    FAIL() << "an endless first line must be refused";
  } catch (const FileError& error) {
    EXPECT_EQ(error.At, 1) << error.what();
    EXPECT_NE(error.Reason.find("line longer"), std::string::npos) << error.what();
  }
  EXPECT_EQ(before.differences(r.Mesh), "");
}
