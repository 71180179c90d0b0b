#include "mesh/PlyBinaryReader.h"

#include "mesh/BinaryInput.h"
#include "mesh/PolygonStorage.h"
#include "base/StatusOutput.h"
#include "base/TessellorError.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tessellor {

namespace {
bool hostIsLittleEndian() {
  const std::uint16_t probe = 1;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

// Smallest number of bytes one instance of the element takes (a list at least its count).
long long minimumBytes(const PlyHeader::Element& element) {
  long long bytes = 0;
  for (const PlyHeader::Property& property : element.Properties)
    bytes += PlyHeader::sizeOf(property.IsList ? property.CountType : property.ValueType);
  return bytes;
}

bool hasList(const PlyHeader::Element& element) {
  for (const PlyHeader::Property& property : element.Properties)
    if (property.IsList) return true;
  return false;
}
}  // namespace

PlyBinaryReader::PlyBinaryReader(const std::string& fileName, const PlyHeader& header, BinaryInput& input,
                                 StatusOutput* output, bool reverse)
    : FileName(fileName),
      Header(header),
      Input(input),
      Output(output),
      Reverse(reverse),
      Swap(hostIsLittleEndian() != (header.Format == PlyHeader::Encoding::BinaryLittleEndian)) {}

void PlyBinaryReader::failAtLine(long long line, const std::string& reason) const {
  throw FileError(FileName, reason, FileError::Where::Line, line);
}

void PlyBinaryReader::failAtByte(long long offset, const std::string& reason) const {
  throw FileError(FileName, reason, FileError::Where::Byte, offset);
}

// Everything the header must declare for its data to be read, checked before any data is read.
void PlyBinaryReader::checkDeclarations() const {
  for (const PlyHeader::Element& element : Header.Elements) {
    if (element.Count < 0) failAtLine(element.Line, "negative count of element " + element.Name);
    for (const PlyHeader::Property& property : element.Properties) {
      if (property.ValueType == PlyHeader::Type::Unknown ||
          (property.IsList && property.CountType == PlyHeader::Type::Unknown))
        failAtLine(property.Line, "property of unknown type");
      if (property.IsList && !PlyHeader::isInteger(property.CountType))
        failAtLine(property.Line, "list count of a floating-point type");
    }
  }
  const int vertex = Header.firstOf(PlyHeader::Role::Vertex);
  if (vertex >= 0 && Header.Elements[static_cast<std::size_t>(vertex)].Count > 0) {
    const PlyHeader::Element& element = Header.Elements[static_cast<std::size_t>(vertex)];
    for (const char* name : {"x", "y", "z"}) {
      const int index = PlyHeader::findProperty(element, name);
      if (index < 0 || element.Properties[static_cast<std::size_t>(index)].IsList)
        failAtLine(element.Line, std::string("vertex element has no property ") + name);
    }
  }
  const int face = Header.firstOf(PlyHeader::Role::Face);
  if (face >= 0 && Header.Elements[static_cast<std::size_t>(face)].Count > 0) {
    const PlyHeader::Element& element = Header.Elements[static_cast<std::size_t>(face)];
    const int index = PlyHeader::findIndexList(element);
    if (index < 0) failAtLine(element.Line, "face element has no list property vertex_indices");
    const PlyHeader::Property& list = element.Properties[static_cast<std::size_t>(index)];
    if (!PlyHeader::isInteger(list.ValueType)) failAtLine(list.Line, "vertex indices of a floating-point type");
  }
}

double PlyBinaryReader::readNumber(PlyHeader::Type type) {
  unsigned char bytes[8];
  const int size = PlyHeader::sizeOf(type);
  Input.read(bytes, static_cast<std::size_t>(size), Within.c_str());
  if (Swap) std::reverse(bytes, bytes + size);
  switch (type) {
    case PlyHeader::Type::Int8: {
      std::int8_t v;
      std::memcpy(&v, bytes, 1);
      return v;
    }
    case PlyHeader::Type::UInt8:
      return bytes[0];
    case PlyHeader::Type::Int16: {
      std::int16_t v;
      std::memcpy(&v, bytes, 2);
      return v;
    }
    case PlyHeader::Type::UInt16: {
      std::uint16_t v;
      std::memcpy(&v, bytes, 2);
      return v;
    }
    case PlyHeader::Type::Int32: {
      std::int32_t v;
      std::memcpy(&v, bytes, 4);
      return v;
    }
    case PlyHeader::Type::UInt32: {
      std::uint32_t v;
      std::memcpy(&v, bytes, 4);
      return v;
    }
    case PlyHeader::Type::Float32: {
      float v;
      std::memcpy(&v, bytes, 4);
      return v;
    }
    case PlyHeader::Type::Float64: {
      double v;
      std::memcpy(&v, bytes, 8);
      return v;
    }
    case PlyHeader::Type::Unknown:
      break;
  }
  return 0.0;
}

// Integer types hold at most 32 bits: every value is exact as a double.
long long PlyBinaryReader::readInteger(PlyHeader::Type type) { return static_cast<long long>(readNumber(type)); }

void PlyBinaryReader::skipProperty(const PlyHeader::Property& property) {
  if (!property.IsList) {
    Input.skip(PlyHeader::sizeOf(property.ValueType), Within.c_str());
    return;
  }
  const long long at = Input.Offset;
  const long long count = readInteger(property.CountType);
  if (count < 0) failAtByte(at, "negative list count " + std::to_string(count));
  Input.skip(count * PlyHeader::sizeOf(property.ValueType), Within.c_str());
}

void PlyBinaryReader::read(PolygonStorage& mesh) {
  checkDeclarations();
  const int vertex = Header.firstOf(PlyHeader::Role::Vertex);
  if (vertex >= 0) VertexCount = Header.Elements[static_cast<std::size_t>(vertex)].Count;
  const int face = Header.firstOf(PlyHeader::Role::Face);
  for (int e = 0; e < static_cast<int>(Header.Elements.size()); ++e) {
    Within = "element " + Header.Elements[static_cast<std::size_t>(e)].Name;
    if (e == vertex)
      readVertices(mesh, e);
    else if (e == face)
      readFaces(mesh, e);
    else
      skipElement(e);
  }
}

void PlyBinaryReader::readVertices(PolygonStorage& mesh, int element) {
  const PlyHeader::Element& vertices = Header.Elements[static_cast<std::size_t>(element)];
  const int x = PlyHeader::findProperty(vertices, "x");
  const int y = PlyHeader::findProperty(vertices, "y");
  const int z = PlyHeader::findProperty(vertices, "z");
  const long long count = vertices.Count;
  // A count is only believed as far as the file can back it with data.
  const long long bytes = std::max(1LL, minimumBytes(vertices));
  mesh.Vertices.reserve(static_cast<std::size_t>(std::min(count, Input.remaining() / bytes + 1)));
  const long long step = std::max(1LL, count / 40);
  const int propertyCount = static_cast<int>(vertices.Properties.size());
  for (long long i = 0; i < count; ++i) {
    const long long at = Input.Offset;
    float position[3] = {0, 0, 0};
    for (int p = 0; p < propertyCount; ++p) {
      const PlyHeader::Property& property = vertices.Properties[static_cast<std::size_t>(p)];
      const int axis = p == x ? 0 : p == y ? 1 : p == z ? 2 : -1;
      if (axis < 0)
        skipProperty(property);
      else
        position[axis] = static_cast<float>(readNumber(property.ValueType));
    }
    if (!std::isfinite(position[0]) || !std::isfinite(position[1]) || !std::isfinite(position[2]))
      failAtByte(at, "vertex coordinate is not a finite 32-bit float");
    Vertex v;
    v.pos = V3{position[0], position[1], position[2]};
    mesh.addVertex(v);
    if (i % step == 0) progress();
  }
}

void PlyBinaryReader::readFaces(PolygonStorage& mesh, int element) {
  const PlyHeader::Element& faces = Header.Elements[static_cast<std::size_t>(element)];
  const int list = PlyHeader::findIndexList(faces);
  const long long count = faces.Count;
  const long long bytes = std::max(1LL, minimumBytes(faces));
  mesh.Polygons.reserve(static_cast<std::size_t>(std::min(count, Input.remaining() / bytes + 1)));
  const long long step = std::max(1LL, count / 40);
  const int propertyCount = static_cast<int>(faces.Properties.size());
  for (long long i = 0; i < count; ++i) {
    VertexIDList polygon;
    for (int p = 0; p < propertyCount; ++p) {
      const PlyHeader::Property& property = faces.Properties[static_cast<std::size_t>(p)];
      if (p != list) {
        skipProperty(property);
        continue;
      }
      const long long at = Input.Offset;
      const long long corners = readInteger(property.CountType);
      if (corners < 0) failAtByte(at, "face has a negative corner count");
      const int indexBytes = PlyHeader::sizeOf(property.ValueType);
      if (corners > Input.remaining() / indexBytes)
        failAtByte(at, "face corner count " + std::to_string(corners) + " is more than the file holds");
      polygon.reserve(static_cast<std::size_t>(corners));
      for (long long j = 0; j < corners; ++j) {
        const long long indexAt = Input.Offset;
        const long long id = readInteger(property.ValueType);
        if (id < 0 || id >= VertexCount)
          failAtByte(indexAt, "vertex index " + std::to_string(id) + " outside the vertex range 0.." +
                                  std::to_string(VertexCount - 1));
        polygon.push_back(static_cast<int>(id));
      }
    }
    // order_ccw: the file lists the corners the other way round.
    if (Reverse) std::reverse(polygon.begin(), polygon.end());
    mesh.Polygons.push_back(std::move(polygon));
    if (i % step == 0) progress();
  }
}

void PlyBinaryReader::skipElement(int element) {
  const PlyHeader::Element& skipped = Header.Elements[static_cast<std::size_t>(element)];
  if (!hasList(skipped)) {
    // Fixed-size instances are skipped at once; a count the file cannot back is refused.
    const long long bytes = minimumBytes(skipped);
    if (bytes == 0) return;
    if (skipped.Count > Input.remaining() / bytes) failAtByte(Input.Offset, "file ends inside " + Within);
    Input.skip(skipped.Count * bytes, Within.c_str());
    return;
  }
  for (long long i = 0; i < skipped.Count; ++i)
    for (const PlyHeader::Property& property : skipped.Properties) skipProperty(property);
}

void PlyBinaryReader::progress() {
  if (Output) Output->setProgress(ProgressCounter);
  ++ProgressCounter;
}

}  // namespace tessellor
