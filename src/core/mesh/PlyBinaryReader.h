#pragma once

#include "mesh/PlyHeader.h"

#include <string>

namespace tessellor {

class BinaryInput;
class PolygonStorage;
class StatusOutput;

// Reads the element data of a binary PLY file (either byte order, every scalar type of the
// format) after its header: x, y, z of the vertex element, the vertex index list of the face
// element, every other property and element skipped by its declared type and count. Throws
// FileError with the header line for declarations it cannot use and with the byte offset for
// data that is malformed or ends early.
class PlyBinaryReader {
 public:
  PlyBinaryReader(const std::string& fileName, const PlyHeader& header, BinaryInput& input, StatusOutput* output,
                  bool reverse);
  void read(PolygonStorage& mesh);

 private:
  [[noreturn]] void failAtLine(long long line, const std::string& reason) const;
  [[noreturn]] void failAtByte(long long offset, const std::string& reason) const;
  void checkDeclarations() const;
  double readNumber(PlyHeader::Type type);
  long long readInteger(PlyHeader::Type type);
  void skipProperty(const PlyHeader::Property& property);
  void readVertices(PolygonStorage& mesh, int element);
  void readFaces(PolygonStorage& mesh, int element);
  void skipElement(int element);
  void progress();

  const std::string& FileName;
  const PlyHeader& Header;
  BinaryInput& Input;
  StatusOutput* Output;
  bool Reverse;
  bool Swap;
  std::string Within;  // "element NAME", for messages
  long long VertexCount = 0;
  int ProgressCounter = 0;
};

}  // namespace tessellor
