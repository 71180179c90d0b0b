#include "mesh/PolygonStorageExportBDF.h"
#include "mesh/PolygonStorageExportINP.h"
#include "mesh/PolygonStorageExportOBJ.h"
#include "mesh/PolygonStorageExportPC.h"
#include "mesh/PolygonStorageExportPLY.h"

#include "MeshTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <map>
#include <sstream>

using namespace tessellor;

namespace {

// What a deck holds: node coordinates by node number, elements as (type, node numbers).
struct Deck {
  std::map<int, std::array<float, 3>> Nodes;
  std::vector<std::pair<std::string, std::vector<int>>> Elements;
};

std::string trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// Abaqus: keyword lines start with '*', comments with '**'; data lines are comma-separated.
Deck parseInp(const std::string& text) {
  Deck deck;
  std::istringstream in(text);
  std::string line, block, type;
  while (std::getline(in, line)) {
    if (line.rfind("**", 0) == 0) continue;
    if (line[0] == '*') {
      block = line.substr(0, line.find(','));
      const std::size_t at = line.find("TYPE=");
      type = at == std::string::npos ? "" : line.substr(at + 5, line.find(',', at) - at - 5);
      continue;
    }
    std::vector<std::string> fields;
    std::istringstream row(line);
    for (std::string field; std::getline(row, field, ',');) fields.push_back(trim(field));
    if (block == "*NODE")
      deck.Nodes[std::atoi(fields[0].c_str())] = {std::strtof(fields[1].c_str(), nullptr),
                                                  std::strtof(fields[2].c_str(), nullptr),
                                                  std::strtof(fields[3].c_str(), nullptr)};
    if (block == "*ELEMENT") {
      std::vector<int> nodes;
      for (std::size_t i = 1; i < fields.size(); ++i) nodes.push_back(std::atoi(fields[i].c_str()));
      deck.Elements.emplace_back(type, nodes);
    }
  }
  return deck;
}

// Nastran fixed fields: 8 columns, large-field cards (name ending in '*') 16 columns, with a
// continuation line that starts with '*'.
Deck parseBdf(const std::string& text) {
  Deck deck;
  std::istringstream in(text);
  std::string line;
  const auto field = [](const std::string& l, std::size_t from, std::size_t width) {
    return from < l.size() ? trim(l.substr(from, width)) : std::string();
  };
  while (std::getline(in, line)) {
    const std::string name = field(line, 0, 8);
    if (name == "GRID*") {
      std::string more;
      std::getline(in, more);
      EXPECT_EQ(more[0], '*');
      deck.Nodes[std::atoi(field(line, 8, 16).c_str())] = {std::strtof(field(line, 40, 16).c_str(), nullptr),
                                                           std::strtof(field(line, 56, 16).c_str(), nullptr),
                                                           std::strtof(field(more, 8, 16).c_str(), nullptr)};
    } else if (name == "CQUAD4" || name == "CTRIA3") {
      EXPECT_EQ(field(line, 16, 8), "1") << "property 1";
      std::vector<int> nodes;
      for (std::size_t at = 24; at < line.size(); at += 8) nodes.push_back(std::atoi(field(line, at, 8).c_str()));
      deck.Elements.emplace_back(name, nodes);
    }
  }
  return deck;
}

// Coordinates that the specified formats round: tiny, large with an offset, negative.
void fillAwkward(PolygonStorage& mesh) {
  mesh.clear();
  for (const V3& p : {V3{1.234567e-6f, -2.5e-7f, 0}, V3{-1.0000001f, 3.1415927f, 1e-3f}, V3{7e4f, -0.33333334f, 12.5f},
                      V3{1, 2, 3}, V3{-1.17549435e-38f, 9.9999e4f, -8.765432e-5f}, V3{0.1f, 0.2f, 0.3f}})
    mesh.addVertex(meshtest::makeVertex(p.x, p.y, p.z));
  mesh.Polygons = {{0, 1, 2, 3}, {}, {3, 4, 5}, {0, 1, 2, 3, 4}, {5, 4, 3, 2}, {1, 2}};
  mesh.setScale(0.5f);
  mesh.setOffset(1.0e6f, -3.0f, 0.0f);
}

template <class Writer>
std::string written(const PolygonStorage& mesh, bool fullPrecision = true) {
  meshtest::ScratchDir dir;
  const std::string path = dir.file("out");
  Writer().save(path, mesh, fullPrecision);
  return meshtest::readFile(path);
}

template <class Writer>
std::string writtenDeck(const PolygonStorage& mesh) {
  meshtest::ScratchDir dir;
  const std::string path = dir.file("out");
  Writer().save(path, mesh);
  return meshtest::readFile(path);
}

}  // namespace

TEST(DeckExport, AbaqusAndNastranDecksReadBackNodeForVertexAndElementForShell) {
  PolygonStorage mesh;
  fillAwkward(mesh);
  // Triangles and quads become elements numbered in polygon order; the pentagon and the
  // polygons of fewer than three corners do not.
  const std::vector<std::pair<int, std::vector<int>>> shells = {{4, {1, 2, 3, 4}}, {3, {4, 5, 6}}, {4, {6, 5, 4, 3}}};
  struct Format {
    Deck Read;
    const char* Quad;
    const char* Triangle;
  };
  const Format formats[] = {{parseInp(writtenDeck<PolygonStorageExportINP>(mesh)), "S4R", "S3R"},
                            {parseBdf(writtenDeck<PolygonStorageExportBDF>(mesh)), "CQUAD4", "CTRIA3"}};
  for (const Format& f : formats) {
    ASSERT_EQ(f.Read.Nodes.size(), mesh.Vertices.size()) << f.Quad;
    for (std::size_t v = 0; v < mesh.Vertices.size(); ++v) {
      const V3 expected = mesh.fileCoordinates(mesh.Vertices[v].pos);
      const auto& node = f.Read.Nodes.at(static_cast<int>(v) + 1);
      EXPECT_EQ(node[0], expected.x) << f.Quad << " node " << v + 1;
      EXPECT_EQ(node[1], expected.y) << f.Quad << " node " << v + 1;
      EXPECT_EQ(node[2], expected.z) << f.Quad << " node " << v + 1;
    }
    // Abaqus lists quads and triangles in separate blocks.
    std::multiset<std::pair<std::string, std::vector<int>>> expected,
        read(f.Read.Elements.begin(), f.Read.Elements.end());
    for (const auto& shell : shells) expected.insert({shell.first == 4 ? f.Quad : f.Triangle, shell.second});
    EXPECT_EQ(read, expected) << f.Quad;
  }
  const std::string bdf = writtenDeck<PolygonStorageExportBDF>(mesh);
  for (const char* card : {"BEGIN BULK\n", "\nPSHELL ", "\nMAT1    ", "\nENDDATA\n"})
    EXPECT_NE(bdf.find(card), std::string::npos) << card;
  EXPECT_NE(writtenDeck<PolygonStorageExportINP>(mesh).find("*ELEMENT, TYPE=S4R, ELSET=SHELL\n"), std::string::npos);
}

TEST(DeckExport, FullPrecisionCoordinatesReadBackAsTheSameFloats) {
  PolygonStorage mesh;
  fillAwkward(mesh);
  const std::string ply = written<PolygonStorageExportPLY>(mesh);
  const std::string obj = written<PolygonStorageExportOBJ>(mesh);
  const std::string pc = written<PolygonStorageExportPC>(mesh);
  std::istringstream plyIn(ply.substr(ply.find("end_header\n") + 11)), objIn(obj), pcIn(pc);
  std::string line;
  for (std::size_t v = 0; v < mesh.Vertices.size(); ++v) {
    const V3 f = mesh.fileCoordinates(mesh.Vertices[v].pos);
    float x, y, z;
    std::getline(plyIn, line);
    ASSERT_EQ(std::sscanf(line.c_str(), "%f %f %f", &x, &y, &z), 3);
    EXPECT_TRUE(x == f.x && y == f.y && z == f.z) << "PLY " << line;
    std::getline(objIn, line);
    ASSERT_EQ(std::sscanf(line.c_str(), "v %f %f %f", &x, &y, &z), 3);
    EXPECT_TRUE(x == f.x && y == f.y && z == f.z) << "OBJ " << line;
    do std::getline(pcIn, line);
    while (line.rfind("NODE", 0) != 0);
    EXPECT_EQ(line.size(), 72u) << "the node card keeps its columns: " << line;
    x = std::strtof(line.substr(17, 15).c_str(), nullptr);
    y = std::strtof(line.substr(33, 15).c_str(), nullptr);
    z = std::strtof(line.substr(49, 15).c_str(), nullptr);
    EXPECT_TRUE(x == f.x && y == f.y && z == f.z) << "deck " << line;
  }
}
