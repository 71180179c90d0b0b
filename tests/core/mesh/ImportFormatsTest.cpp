// The readers of every mesh format against one another: the same shape in every format reads back
// as the same mesh the ASCII PLY reader makes of it, and malformed files of every format are
// refused with their line or byte and change nothing.
#include "MeshTestSupport.h"
#include "base/TessellorError.h"
#include "mesh/MeshFormatSniffer.h"
#include "mesh/PolygonStorageImportOBJ.h"
#include "mesh/PolygonStorageImportOFF.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "mesh/PolygonStorageImportSTL.h"
#include "support/DiagnosticsCapture.h"
#include "support/MeshFileWriters.h"
#include "support/RecordingOutput.h"

#include <gtest/gtest.h>

namespace {

using meshfiles::Shape;

template <class Importer>
void importWith(const std::string& path, PolygonStorage& mesh, RecordingOutput& log) {
  Importer importer;
  importer.setStatusOutput(&log);
  importer.import(path, mesh);
}

// Reads a file with the reader its content names, as readMesh does.
void importFile(const std::string& path, PolygonStorage& mesh, RecordingOutput& log) {
  DiagnosticsCapture quiet;
  mesh.setStatusOutput(&log);
  switch (MeshFormatSniffer::detect(path)) {
    case MeshFileFormat::PLY:
      return importWith<PolygonStorageImportPLY>(path, mesh, log);
    case MeshFileFormat::STL:
      return importWith<PolygonStorageImportSTL>(path, mesh, log);
    case MeshFileFormat::OBJ:
      return importWith<PolygonStorageImportOBJ>(path, mesh, log);
    case MeshFileFormat::OFF:
      return importWith<PolygonStorageImportOFF>(path, mesh, log);
    case MeshFileFormat::Unknown:
      break;
  }
  throw FileError(path, "unknown format");
}

// The log without the file name and the duration, which differ from file to file.
std::vector<std::string> logLines(const RecordingOutput& log, const std::string& path) {
  std::vector<std::string> lines;
  for (const std::string& line : log.Lines)
    if (line != path && line.rfind("Duration: ", 0) != 0) lines.push_back(line);
  return lines;
}

Shape numberedByFirstUse(const testmeshes::MeshData& data) {
  return meshfiles::numberedByFirstUse(Shape{data.Positions, data.Polygons});
}

struct Reference {
  meshtest::ScratchDir Dir;
  RecordingOutput Log;
  PolygonStorage Mesh;
  std::string Path;
  explicit Reference(const Shape& shape) : Path(Dir.file("reference.ply")) {
    meshtest::writeFile(Path, meshfiles::plyAscii(shape));
    importFile(Path, Mesh, Log);
  }
  // Reads contents under the given name and expects exactly the reference mesh and log.
  void expectSame(const std::string& name, const std::string& contents, MeshFileFormat format) {
    SCOPED_TRACE(name);
    const std::string path = Dir.file(name);
    meshtest::writeFile(path, contents);
    EXPECT_EQ(MeshFormatSniffer::detect(path), format);
    RecordingOutput log;
    PolygonStorage mesh;
    ASSERT_NO_THROW(importFile(path, mesh, log));
    EXPECT_EQ(meshtest::MeshSnapshot(Mesh).differences(mesh), "");
    EXPECT_EQ(logLines(log, path), logLines(Log, Path));
    EXPECT_EQ(log.Progress.back(), 95);
  }
};

}  // namespace

TEST(ImportFormats, SameShapeInEveryFormatReadsBackAsTheAsciiPly) {
  // Triangles (every format) and triangles with quads (all but STL), with arbitrary floats.
  const Shape triangles = numberedByFirstUse(testmeshes::torus(9, 5, true));
  const Shape mixed = numberedByFirstUse(testmeshes::uvSphere(5, 7));
  for (const Shape* shape : {&triangles, &mixed}) {
    Reference r(*shape);
    ASSERT_GT(r.Mesh.Polygons.size(), 30u);
    r.expectSame("le.ply", meshfiles::plyBinary(*shape, false), MeshFileFormat::PLY);
    r.expectSame("be.ply", meshfiles::plyBinary(*shape, true, "double", "ushort", "uint"), MeshFileFormat::PLY);
    r.expectSame("shape.obj", meshfiles::obj(*shape), MeshFileFormat::OBJ);
    for (const char* keyword : {"OFF", "COFF", "NOFF"})
      r.expectSame(std::string(keyword) + ".off", meshfiles::off(*shape, keyword), MeshFileFormat::OFF);
    if (shape != &triangles) continue;
    r.expectSame("ascii.stl", meshfiles::stlAscii(*shape), MeshFileFormat::STL);
    r.expectSame("binary.stl", meshfiles::stlBinary(*shape), MeshFileFormat::STL);
    // Named as another format, the content still decides.
    r.expectSame("binary.obj", meshfiles::stlBinary(*shape), MeshFileFormat::STL);
  }
}

TEST(ImportFormats, BinaryPlyOfEveryScalarTypeAndByteOrder) {
  const testmeshes::MeshData cube = testmeshes::cube(0.0f, 1.0f);
  Reference r(Shape{cube.Positions, cube.Polygons});
  const char* const rows[][3] = {{"char", "uchar", "char"},    {"uchar", "char", "uchar"},
                                 {"short", "ushort", "short"}, {"ushort", "short", "ushort"},
                                 {"int", "uint", "int"},       {"uint", "int", "uint"},
                                 {"float", "uchar", "int"},    {"double", "ushort", "uint"}};
  for (const auto& row : rows)
    for (bool bigEndian : {false, true})
      r.expectSame(std::string(row[0]) + "-" + row[1] + "-" + row[2] + (bigEndian ? "-be" : "-le") + ".ply",
                   meshfiles::plyBinary(Shape{cube.Positions, cube.Polygons}, bigEndian, row[0], row[1], row[2]),
                   MeshFileFormat::PLY);
}

TEST(ImportFormats, PlyHeadersTheSimpleReadingWouldMisreadAreFollowed) {
  const Shape shape = numberedByFirstUse(testmeshes::uvSphere(3, 5));
  Reference r(shape);
  const auto ascii = [&](const std::string& head, const std::string& vertexLine, const std::string& between,
                         const std::string& facePrefix) {
    std::string text = "ply\nformat ascii 1.0\n" + head;
    for (const V3& p : shape.Positions) {
      std::string line = vertexLine;
      line.replace(line.find("XYZ"), 3, meshfiles::xyz(p));
      text += line + "\n";
    }
    text += between;
    for (const VertexIDList& f : shape.Polygons) {
      text += facePrefix + std::to_string(f.size());
      for (int id : f) text += " " + std::to_string(id);
      text += "\n";
    }
    return text;
  };
  const std::string v = std::to_string(shape.Positions.size()), f = std::to_string(shape.Polygons.size());
  // Normals declared before x y z: the simple reading took the normals as positions.
  r.expectSame("normals-first.ply",
               ascii("element vertex " + v +
                         "\nproperty float nx\nproperty float ny\nproperty float nz\nproperty float x\nproperty float "
                         "y\nproperty float z\nelement face " +
                         f + "\nproperty list uchar int vertex_indices\nend_header\n",
                     "0 0 1 XYZ", "", ""),
               MeshFileFormat::PLY);
  // An element between vertices and faces: the simple reading lost the last faces.
  r.expectSame(
      "edges-between.ply",
      ascii("element vertex " + v + "\nproperty float x\nproperty float y\nproperty float z\nelement edge 2\n" +
                "property int vertex1\nproperty int vertex2\nelement face " + f +
                "\nproperty list uchar int vertex_indices\nend_header\n",
            "XYZ", "0 1\n1 2\n", ""),
      MeshFileFormat::PLY);
  // An element before the vertices; x y z after a list; a flag before "vertex_index".
  r.expectSame("element-first.ply",
               ascii("element material 1\nproperty uchar red\nelement vertex " + v +
                         "\nproperty list uchar float weights\nproperty float x\nproperty float y\nproperty float "
                         "z\nelement face " +
                         f + "\nproperty int flags\nproperty list uchar int vertex_index\nend_header\n255\n",
                     "2 0.5 0.5 XYZ", "", "9 "),
               MeshFileFormat::PLY);
}

TEST(ImportFormats, ContentDecidesTheFormatAndTheExtensionOnlyBreaksTies) {
  const Shape triangle{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}};
  const std::string noise =
      std::string(4, '\0') + "\x7f\x80\xff binary noise of no format, long enough for STL" + std::string(40, '\x02');
  const struct {
    std::string Contents, Extension;
    MeshFileFormat Expected;
  } rows[] = {
      {"ply\nformat ascii 1.0\n", "stl", MeshFileFormat::PLY},
      {"ply  \r\nformat ascii 1.0\n", "", MeshFileFormat::PLY},
      {"PLY\nelement vertex 0\n", "ply", MeshFileFormat::PLY},  // no magic: the reader reports it and reads on
      {"PLY\nelement vertex 0\n", "txt", MeshFileFormat::Unknown},
      {meshfiles::stlBinary(triangle), "ply", MeshFileFormat::STL},
      {"\xEF\xBB\xBF  solid part\n", "", MeshFileFormat::STL},
      {noise, "stl", MeshFileFormat::STL},  // damaged binary STL: its reader names the size
      {noise, "off", MeshFileFormat::Unknown},
      {"# scan\n\nv 1 2 3\n", "ply", MeshFileFormat::OBJ},
      {"mtllib part.mtl\n", "", MeshFileFormat::OBJ},
      {"# comment\nCOFF\n", "obj", MeshFileFormat::OFF},
      {"STCNOFF 1 0 0\n", "", MeshFileFormat::OFF},
      {"4OFF\n", "", MeshFileFormat::OFF},  // refused by the reader: not three-dimensional
      {"", "obj", MeshFileFormat::Unknown},
      {"hello world\n", "obj", MeshFileFormat::Unknown},
  };
  for (const auto& row : rows)
    EXPECT_EQ(MeshFormatSniffer::detect(row.Contents.data(), row.Contents.size(),
                                        static_cast<long long>(row.Contents.size()), row.Extension),
              row.Expected)
        << row.Contents.substr(0, 30) << " ." << row.Extension;
}

TEST(ImportFormats, MalformedFilesAreRefusedWithTheirLineOrByteAndChangeNothing) {
  const Shape triangle{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}};
  const std::string stl = meshfiles::stlBinary(triangle);
  std::string nanStl = stl;
  nanStl.replace(84 + 12 + 4, 4, "\x00\x00\xc0\x7f", 4);
  const std::string ply = meshfiles::plyBinary(triangle, false);
  std::string badIndex = meshfiles::plyBinary(Shape{triangle.Positions, {{0, 1, 3}}}, true);
  const std::string head = "ply\nformat binary_little_endian 1.0\nelement vertex 2000000000\n";
  using W = FileError::Where;
  const struct {
    std::string Name, Contents;
    W Where;
    long long At;
    std::string Reason;
  } rows[] = {
      {"a.obj", "v 0 0 0\nv 1 0 0\nf 1 2 3\n", W::Line, 3, "outside the vertex range 1..2"},
      {"b.obj", "v 0 0 0\nf 1 1 0\n", W::Line, 2, "vertex index 0"},
      {"c.obj", "v 0 0\n", W::Line, 1, "fewer than three"},
      {"d.obj", "v 0 0 0\nf -2 \\\n 1 1\n", W::Line, 2, "before the first vertex"},
      {"e.obj", "o x\nv 0 0 1e39\n", W::Line, 2, "finite"},
      {"f.obj", "v 0 0 0\nf 1/2/3/4 1 1\n", W::Line, 2, "not of the form"},
      {"g.obj", "v 0 0 0\n3 0 0 0\n", W::Line, 2, "not an OBJ statement"},
      {"a.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n4 0 1 2\n", W::Line, 6, "fewer vertex indices"},
      {"b.off", "OFF\n2000000000 0 0\n0 0 0\n", W::Line, 4, "file ends before all 2000000000 vertices"},
      {"c.off", "OFF\n-1 0 0\n", W::Line, 2, "negative vertex count"},
      {"d.off", "NOFF\n1 0 0\n0 0\n", W::Line, 3, "fewer than three"},
      {"e.off", "OFF\n1 1 0\n0 0 0\n3 0 0 1\n", W::Line, 4, "outside the vertex range 0..0"},
      {"f.off", "4OFF\n1 0 0\n0 0 0 0\n", W::Line, 1, "three-dimensional"},
      {"a.stl", "solid a\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nendloop\n", W::Line, 6,
       "fewer than three vertices"},
      {"b.stl", "solid a\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n", W::Line, 2, "ends inside this facet"},
      {"c.stl", "solid a\nfacet normal 0 0 1\nouter loop\nvertex 0 x 0\n", W::Line, 4, "not a number"},
      {"d.stl", "solid a\nfacet normal 0 0 1\nvertex 0 0 0\n", W::Line, 3, "expected \"outer loop\""},
      {"e.stl", stl.substr(0, stl.size() - 1), W::Byte, 80, "must have 134 bytes, not 133"},
      {"f.stl", nanStl, W::Byte, 84 + 12, "finite"},  // the corner
      {"a.ply", ply.substr(0, ply.size() - 5), W::Byte, static_cast<long long>(ply.size() - 5), "element face"},
      {"b.ply", badIndex, W::Byte, static_cast<long long>(badIndex.size() - 13), "vertex index 3 outside"},
      {"c.ply", head + "property float x\nproperty float y\nproperty float z\nend_header\n" + std::string(24, '\0'),
       W::Byte, static_cast<long long>(head.size()) + 62 + 24, "file ends inside element vertex"},
      {"d.ply", head + "property float16 x\nend_header\n", W::Line, 4, "unknown type"},
      {"e.ply",
       "ply\nformat ascii 1.0\nelement edge 0\nelement vertex 1\nproperty float x\nproperty float y\nend_header\n",
       W::Line, 4, "no properties x, y and z"},
  };
  meshtest::ScratchDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::string path = dir.file(row.Name);
    meshtest::writeFile(path, row.Contents);
    RecordingOutput log;
    PolygonStorage mesh;
    meshtest::makeCube(mesh);
    const meshtest::MeshSnapshot before(mesh);
    try {
      importFile(path, mesh, log);
      ADD_FAILURE() << "accepted";
    } catch (const FileError& error) {
      EXPECT_EQ(error.File, path);
      EXPECT_EQ(error.Position, row.Where) << error.what();
      EXPECT_EQ(error.At, row.At) << error.what();
      EXPECT_NE(error.Reason.find(row.Reason), std::string::npos) << error.what();
      EXPECT_TRUE(log.hasLine(error.what())) << "the refusal is logged";
    }
    EXPECT_EQ(before.differences(mesh), "");
    EXPECT_FALSE(log.Busy);
  }
}
