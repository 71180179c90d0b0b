// Properties that hold over a set of meshes (generated ones and small real ones), and over every
// malformed file of the shared corpus.
#include "mesh/PolygonStorage.h"
#include "mesh/PolygonStorageExportOBJ.h"
#include "mesh/PolygonStorageExportPC.h"
#include "mesh/PolygonStorageExportPLY.h"
#include "mesh/PolygonStorageImportPLY.h"

#include "MeshTestSupport.h"
#include "base/Diagnostics.h"
#include "support/DiagnosticsCapture.h"
#include "support/RecordingOutput.h"
#include "base/TessellorError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

using namespace tessellor;

using meshtest::NamedMesh;

namespace {

void importFile(const std::string& path, PolygonStorage& mesh) {
  DiagnosticsCapture quiet;
  PolygonStorageImportPLY().import(path, mesh);
}

std::vector<NamedMesh> meshSet() {
  std::vector<NamedMesh> set{
      {"generated cube", meshtest::makeCube, true},
      {"generated sphere", [](PolygonStorage& m) { meshtest::makeSphere(m); }, true},
      {"generated torus", [](PolygonStorage& m) { meshtest::makeTorus(m); }, true},
      {"cube with a deleted and a five-sided polygon",
       [](PolygonStorage& m) {
         meshtest::makeCube(m);
         m.splitPolygon(0, 0, 2);
         m.Polygons[2] = {0, 1, 5, 8, 4};
         m.addVertex(meshtest::makeVertex(0.5f, -0.5f, 0.5f));
         m.deletePolygon(3);
         meshtest::finish(m);
       }},
  };
  for (const char* name : {"cube_quad.ply", "open_cube.ply", "sphere.ply", "torus_quad.ply"}) {
    const std::string path = meshtest::dataDir() + "/meshes/" + name;
    set.push_back({name, [path](PolygonStorage& m) { importFile(path, m); }, std::string(name) != "open_cube.ply"});
  }
  return set;
}

float tolerance(float value) { return 2e-6f * std::max(1.0f, std::fabs(value)); }

V3 fileCoordinates(const PolygonStorage& mesh, const Vertex& v) {
  return V3{v.pos.x * mesh.Scale + mesh.Offset.x, v.pos.y * mesh.Scale + mesh.Offset.y,
            v.pos.z * mesh.Scale + mesh.Offset.z};
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    out.push_back(text.substr(start, end - start));
  return out;
}

std::string withoutNegativeZeros(std::string text) {
  for (std::size_t pos; (pos = text.find("-0.000000")) != std::string::npos;) text.erase(pos, 1);
  return text;
}

}  // namespace

TEST(MeshSet, EveryMeshKeepsItsIndexInvariants) {
  for (const NamedMesh& named : meshSet()) {
    PolygonStorage mesh;
    named.Fill(mesh);
    EXPECT_EQ(meshtest::indexFault(mesh), "") << named.Name;
    EXPECT_FALSE(mesh.Vertices.empty()) << named.Name;
    if (!named.Closed) continue;
    EXPECT_EQ(testmeshes::closedOrientedFault(mesh), "") << named.Name;
    std::size_t corners = 0;
    for (const VertexIDList& p : mesh.Polygons) corners += p.size();
    EXPECT_EQ(mesh.EdgeIndex.size() * 2, corners) << named.Name << ": every edge shared by two polygons";
    for (const auto& entry : mesh.EdgeIndex) {
      EXPECT_NE(entry.second.Second, -1) << named.Name;
      EXPECT_NE(entry.second.First, entry.second.Second) << named.Name;
    }
  }
  // Known numbers of the copied meshes.
  PolygonStorage m;
  importFile(meshtest::dataDir() + "/meshes/sphere.ply", m);
  EXPECT_EQ(m.Vertices.size(), 162u);
  EXPECT_EQ(m.Polygons.size(), 320u);
  EXPECT_EQ(m.EdgeIndex.size(), 480u) << "closed triangle mesh: 3F/2 edges";
  importFile(meshtest::dataDir() + "/meshes/open_cube.ply", m);
  std::size_t boundary = 0;
  for (const auto& entry : m.EdgeIndex) boundary += entry.second.Second == -1;
  EXPECT_GT(boundary, 0u) << "open cube has a boundary";
}

// Fitted into a 50 x 40 x 60 volume, every mesh lies in [1.5, n - 2.5] with its tightest axis
// filled, and its PLY file holds the original file coordinates, polygons (deleted ones written as
// "0" come back deleted) and edges; written again, the file is the same.
TEST(MeshSet, FittedMeshWrittenAndReadBackIsTheOriginal) {
  meshtest::ScratchDir dir;
  for (const NamedMesh& named : meshSet()) {
    PolygonStorage original;
    named.Fill(original);
    PolygonStorage mesh;
    named.Fill(mesh);
    ASSERT_TRUE(mesh.fitIntoVolume(50, 40, 60)) << named.Name;
    float lowest = 1e30f;
    for (const Vertex& v : mesh.Vertices) lowest = std::min({lowest, v.pos.x, v.pos.y, v.pos.z});
    EXPECT_GE(lowest, 1.5f - 1e-4f) << named.Name;
    EXPECT_NEAR(mesh.BBoxMin.y, 1.5f, 0) << named.Name;
    bool tightAxisFilled = false;
    for (auto [max, n] : {std::pair<float, float>{mesh.BBoxMax.x, 50}, {mesh.BBoxMax.y, 40}, {mesh.BBoxMax.z, 60}}) {
      EXPECT_LE(max, n - 2.5f + 1e-3f) << named.Name;
      tightAxisFilled = tightAxisFilled || std::fabs(max - (n - 2.5f)) < 1e-3f;
    }
    EXPECT_TRUE(tightAxisFilled) << named.Name;

    const std::string first = dir.file("first.ply");
    const std::string second = dir.file("second.ply");
    PolygonStorageExportPLY().save(first, mesh);
    PolygonStorage back;
    importFile(first, back);
    ASSERT_EQ(back.Vertices.size(), mesh.Vertices.size()) << named.Name;
    EXPECT_EQ(back.Polygons, mesh.Polygons) << named.Name;
    EXPECT_EQ(back.EdgeIndex.size(), mesh.EdgeIndex.size()) << named.Name;
    const float extent = std::max({original.BBoxMax.x - original.BBoxMin.x, original.BBoxMax.y - original.BBoxMin.y,
                                   original.BBoxMax.z - original.BBoxMin.z});
    for (std::size_t i = 0; i < mesh.Vertices.size(); ++i) {
      const V3 expected = fileCoordinates(mesh, mesh.Vertices[i]);
      const V3& got = back.Vertices[i].pos;
      const V3& was = original.Vertices[i].pos;
      ASSERT_NEAR(got.x, expected.x, tolerance(expected.x)) << named.Name << " vertex " << i;
      ASSERT_NEAR(got.y, expected.y, tolerance(expected.y)) << named.Name << " vertex " << i;
      ASSERT_NEAR(got.z, expected.z, tolerance(expected.z)) << named.Name << " vertex " << i;
      ASSERT_NEAR(got.x, was.x, 1e-5f * extent + 1e-6f) << named.Name << " vertex " << i;
      ASSERT_NEAR(got.y, was.y, 1e-5f * extent + 1e-6f) << named.Name << " vertex " << i;
      ASSERT_NEAR(got.z, was.z, 1e-5f * extent + 1e-6f) << named.Name << " vertex " << i;
    }
    // The same bytes again, except that a tiny negative value printed as -0.000000 comes back
    // as -0, and -0 * Scale + 0 is +0.
    PolygonStorageExportPLY().save(second, back);
    EXPECT_TRUE(withoutNegativeZeros(meshtest::readFile(second)) == withoutNegativeZeros(meshtest::readFile(first)))
        << named.Name;
  }
}

TEST(MeshSet, ObjAndDeckDescribeTheSameMesh) {
  meshtest::ScratchDir dir;
  for (const NamedMesh& named : meshSet()) {
    PolygonStorage mesh;
    named.Fill(mesh);
    mesh.setScale(0.5f);
    mesh.setOffset(10.0f, 0.0f, -2.0f);
    PolygonStorageExportOBJ().save(dir.file("m.obj"), mesh);
    PolygonStorageExportPC().save(dir.file("m.pc"), mesh);

    // OBJ: "v x y z" per vertex, then "g obj1", then 1-based faces of three or more ids.
    std::vector<V3> objVertices;
    VertexIDListList objFaces;
    bool groupSeen = false;
    for (const std::string& line : lines(meshtest::readFile(dir.file("m.obj")))) {
      if (line.rfind("v ", 0) == 0) {
        V3 v;
        ASSERT_EQ(std::sscanf(line.c_str(), "v %f %f %f", &v.x, &v.y, &v.z), 3) << line;
        EXPECT_FALSE(groupSeen) << "vertices come before the group line";
        objVertices.push_back(v);
      } else if (line == "g obj1") {
        groupSeen = true;
      } else if (line.rfind("f", 0) == 0) {
        VertexIDList ids;
        const char* c = line.c_str() + 1;
        char* end = nullptr;
        for (long id = std::strtol(c, &end, 10); end != c; c = end, id = std::strtol(c, &end, 10))
          ids.push_back(static_cast<int>(id) - 1);
        objFaces.push_back(ids);
      } else {
        ADD_FAILURE() << named.Name << ": unexpected OBJ line " << line;
      }
    }
    ASSERT_EQ(objVertices.size(), mesh.Vertices.size()) << named.Name;
    VertexIDListList expectedFaces;
    for (const VertexIDList& p : mesh.Polygons)
      if (p.size() >= 3) expectedFaces.push_back(p);
    EXPECT_EQ(objFaces, expectedFaces) << named.Name;
    for (std::size_t i = 0; i < objVertices.size(); ++i) {
      const V3 expected = fileCoordinates(mesh, mesh.Vertices[i]);
      ASSERT_NEAR(objVertices[i].y, expected.y, tolerance(expected.y)) << named.Name;
      ASSERT_NEAR(objVertices[i].z, expected.z, tolerance(expected.z)) << named.Name;
    }

    // Deck: fixed columns. Node card: number in 8-16, x in 18-32, y in 34-48, z in 50-64.
    const std::vector<std::string> deck = lines(meshtest::readFile(dir.file("m.pc")));
    ASSERT_GE(deck.size(), 10u);
    std::size_t row = 9;
    for (std::size_t i = 0; i < mesh.Vertices.size(); ++i, ++row) {
      ASSERT_LT(row, deck.size());
      const std::string& card = deck[row];
      ASSERT_EQ(card.size(), 72u) << card;
      EXPECT_EQ(card.substr(0, 7), "NODE  /");
      EXPECT_EQ(std::stoi(card.substr(7, 9)), static_cast<int>(i) + 1);
      const V3 expected = fileCoordinates(mesh, mesh.Vertices[i]);
      // %g keeps six significant digits.
      EXPECT_NEAR(std::stof(card.substr(17, 15)), expected.x, 1e-5f * std::max(1.0f, std::fabs(expected.x)));
      EXPECT_NEAR(std::stof(card.substr(49, 15)), expected.z, 1e-5f * std::max(1.0f, std::fabs(expected.z)));
    }
    ASSERT_LT(row, deck.size());
    EXPECT_EQ(deck[row++], "$");
    int element = 1;
    for (const VertexIDList& p : mesh.Polygons) {
      if (p.size() != 3 && p.size() != 4) continue;
      ASSERT_LT(row, deck.size()) << named.Name;
      const std::string& card = deck[row++];
      ASSERT_EQ(card.size(), 72u) << card;
      EXPECT_EQ(card.substr(0, 7), "SHELL /");
      EXPECT_EQ(std::stoi(card.substr(7, 9)), element++);
      EXPECT_EQ(std::stoi(card.substr(16, 8)), 13011);
      for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(std::stoi(card.substr(24 + 8 * k, 8)), k < p.size() ? p[k] + 1 : 0) << card;
      EXPECT_EQ(card.substr(56), "       3     0.0");
    }
    EXPECT_EQ(row, deck.size()) << named.Name << ": nothing follows the last shell card";
  }
}

TEST(MeshSet, EveryMalformedFileImportsOrIsRefusedWhole) {
  const std::string corpus = meshtest::sharedDir() + "/bad-inputs/ply";
  if (!meshtest::fileExists(corpus)) GTEST_SKIP() << corpus << " is not there";
  std::vector<std::string> names;
  if (DIR* d = ::opendir(corpus.c_str())) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  ASSERT_FALSE(names.empty());

  // What the documented rules give for the files whose outcome is fixed: vertices, polygons.
  const std::map<std::string, std::pair<int, int>> imports{
      {"bad_magic.ply", {3, 1}},
      {"crlf.ply", {3, 1}},
      {"extra_vertex_props.ply", {3, 1}},
      {"extra_face_list.ply", {3, 1}},
      {"extra_element_edge.ply", {3, 1}},
      {"trailing_ws_header.ply", {3, 1}},
      {"leading_blank_line.ply", {3, 1}},
      {"no_final_newline.ply", {3, 1}},
      {"tabs.ply", {0, 0}},
      {"zero_everything.ply", {0, 0}},
      {"zero_faces.ply", {3, 0}},
      {"face_k1.ply", {3, 1}},
      {"face_k2.ply", {3, 1}},
      {"count_too_few.ply", {2, 1}},
      {"no_face_element.ply", {3, 0}},
  };
  const std::set<std::string> refusals{"empty.ply",
                                       "count_negative.ply",
                                       "count_huge.ply",
                                       "count_too_many.ply",
                                       "face_k_negative.ply",
                                       "face_k_mismatch_short.ply",
                                       "index_negative.ply",
                                       "index_out_of_range.ply",
                                       "truncated_mid_vertex.ply",
                                       "no_end_header.ply",
                                       "blank_lines_in_body.ply",
                                       "format_binary_le.ply",
                                       "binary_truncated.ply",
                                       "end_header_trailing_junk.ply"};

  int imported = 0, refused = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string path = corpus + "/" + name;
    RecordingOutput log;
    PolygonStorage mesh;
    meshtest::makeSphere(mesh);
    mesh.setStatusOutput(&log);
    const meshtest::MeshSnapshot before(mesh);
    PolygonStorageImportPLY importer;
    importer.setStatusOutput(&log);
    bool ok = false;
    try {
      DiagnosticsCapture quiet;
      importer.import(path, mesh);
      ok = true;
    } catch (const FileError& error) {
      ++refused;
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
      // A line in the text, a byte offset in binary element data.
      EXPECT_NE(error.Position, FileError::Where::None) << error.what();
      EXPECT_GT(error.At, 0) << error.what();
      EXPECT_EQ(before.differences(mesh), "") << "refused file changed the mesh";
      EXPECT_TRUE(refusals.count(name) || !imports.count(name)) << "should have imported: " << error.what();
    }
    EXPECT_FALSE(log.Busy) << "task left open";
    if (!ok) continue;
    ++imported;
    EXPECT_FALSE(refusals.count(name)) << "should have been refused";
    EXPECT_EQ(meshtest::indexFault(mesh), "");
    for (const Vertex& v : mesh.Vertices) EXPECT_TRUE(std::isfinite(v.pos.x + v.pos.y + v.pos.z));
    auto known = imports.find(name);
    if (known != imports.end()) {
      EXPECT_EQ(static_cast<int>(mesh.Vertices.size()), known->second.first);
      EXPECT_EQ(static_cast<int>(mesh.Polygons.size()), known->second.second);
    }
  }
  EXPECT_GT(imported, 0);
  EXPECT_GT(refused, 0);
}

TEST(MeshSet, MutatedFilesImportConsistentlyOrAreRefusedWhole) {
  // Deterministic byte mutations of small valid files: each result either imports into a mesh
  // whose indices hold, or is refused with its line and the target left as it was.
  meshtest::ScratchDir dir;
  const std::string seeds[] = {
      meshtest::readFile(meshtest::dataDir() + "/meshes/cube_quad.ply"),
      meshtest::readFile(meshtest::dataDir() + "/meshes/open_cube.ply"),
  };
  const char alphabet[] = {'0', '1', '9', '-', ' ', '\n', '\r', '\t', 'e', '.', 'x', '\0', '3', '8', '+', 'n'};
  unsigned state = 12345u;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return (state >> 16) & 0x7fff;
  };
  const std::string path = dir.file("mutated.ply");
  int refused = 0, imported = 0;
  for (int round = 0; round < 600; ++round) {
    std::string text = seeds[round % 2];
    const int edits = 1 + static_cast<int>(next() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = next() % text.size();
      const char c = alphabet[next() % sizeof alphabet];
      switch (next() % 3) {
        case 0:
          text[at] = c;
          break;
        case 1:
          text.insert(at, 1, c);
          break;
        default:
          text.erase(at, 1);
          break;
      }
    }
    meshtest::writeFile(path, text);
    PolygonStorage mesh;
    meshtest::makeCube(mesh);
    const meshtest::MeshSnapshot before(mesh);
    try {
      importFile(path, mesh);
      ++imported;
      ASSERT_EQ(meshtest::indexFault(mesh), "") << text;
      for (const Vertex& v : mesh.Vertices) ASSERT_TRUE(std::isfinite(v.pos.x + v.pos.y + v.pos.z)) << text;
    } catch (const FileError& error) {
      ++refused;
      ASSERT_EQ(error.Position, FileError::Where::Line) << error.what();
      ASSERT_EQ(before.differences(mesh), "") << text;
    }
  }
  EXPECT_GT(imported, 50);
  EXPECT_GT(refused, 50);
}
