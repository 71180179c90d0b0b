#include "mesh/PlyHeader.h"

#include <algorithm>
#include <cstring>

namespace tessellor {

namespace {
std::vector<std::string> blankTokens(const std::string& text) {
  std::vector<std::string> tokens;
  std::size_t pos = 0;
  for (;;) {
    pos = text.find_first_not_of(' ', pos);
    if (pos == std::string::npos) return tokens;
    const std::size_t stop = std::min(text.find(' ', pos), text.size());
    tokens.push_back(text.substr(pos, stop - pos));
    pos = stop;
  }
}
}  // namespace

PlyHeader::Type PlyHeader::typeFromName(const std::string& name) {
  static const struct {
    const char* Name;
    Type Value;
  } Names[] = {
      {"char", Type::Int8},     {"int8", Type::Int8},       {"uchar", Type::UInt8},    {"uint8", Type::UInt8},
      {"short", Type::Int16},   {"int16", Type::Int16},     {"ushort", Type::UInt16},  {"uint16", Type::UInt16},
      {"int", Type::Int32},     {"int32", Type::Int32},     {"uint", Type::UInt32},    {"uint32", Type::UInt32},
      {"float", Type::Float32}, {"float32", Type::Float32}, {"double", Type::Float64}, {"float64", Type::Float64}};
  for (const auto& entry : Names)
    if (name == entry.Name) return entry.Value;
  return Type::Unknown;
}

int PlyHeader::sizeOf(Type type) {
  switch (type) {
    case Type::Int8:
    case Type::UInt8:
      return 1;
    case Type::Int16:
    case Type::UInt16:
      return 2;
    case Type::Int32:
    case Type::UInt32:
    case Type::Float32:
      return 4;
    case Type::Float64:
      return 8;
    case Type::Unknown:
      break;
  }
  return 0;
}

void PlyHeader::addProperty(const std::string& line, long long lineNumber) {
  if (Elements.empty()) return;
  const std::vector<std::string> tokens = blankTokens(line);
  Property property;
  property.Line = lineNumber;
  if (tokens.size() >= 2 && tokens[1] == "list") {
    property.IsList = true;
    if (tokens.size() > 2) property.CountType = typeFromName(tokens[2]);
    if (tokens.size() > 3) property.ValueType = typeFromName(tokens[3]);
    if (tokens.size() > 4) property.Name = tokens[4];
  } else {
    if (tokens.size() > 1) property.ValueType = typeFromName(tokens[1]);
    if (tokens.size() > 2) property.Name = tokens[2];
  }
  Elements.back().Properties.push_back(property);
}

int PlyHeader::firstOf(Role role) const {
  for (std::size_t i = 0; i < Elements.size(); ++i)
    if (Elements[i].ElementRole == role) return static_cast<int>(i);
  return -1;
}

int PlyHeader::findProperty(const Element& element, const char* name) {
  for (std::size_t i = 0; i < element.Properties.size(); ++i)
    if (element.Properties[i].Name == name) return static_cast<int>(i);
  return -1;
}

int PlyHeader::findIndexList(const Element& face) {
  for (const char* name : {"vertex_indices", "vertex_index"}) {
    const int index = findProperty(face, name);
    if (index >= 0 && face.Properties[static_cast<std::size_t>(index)].IsList) return index;
  }
  return -1;
}

bool PlyHeader::readsInDeclaredOrder() const {
  // A header that never ended is read by the simple rules whatever it declares.
  if (!Complete) return true;
  int vertexElements = 0, faceElements = 0;
  for (const Element& element : Elements) {
    vertexElements += element.ElementRole == Role::Vertex;
    faceElements += element.ElementRole == Role::Face;
  }
  if (vertexElements > 1 || faceElements > 1) return false;
  const int vertex = firstOf(Role::Vertex);
  const int face = firstOf(Role::Face);
  if (vertex > 0) return false;
  if (face >= 0 && face != vertex + 1) return false;
  if (vertex >= 0) {
    const std::vector<Property>& p = Elements[static_cast<std::size_t>(vertex)].Properties;
    if (!p.empty() && (p.size() < 3 || p[0].Name != "x" || p[1].Name != "y" || p[2].Name != "z")) return false;
  }
  if (face >= 0) {
    const std::vector<Property>& p = Elements[static_cast<std::size_t>(face)].Properties;
    if (!p.empty() && !p[0].IsList) return false;
  }
  return true;
}

}  // namespace tessellor
