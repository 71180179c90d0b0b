#pragma once

#include <string>
#include <vector>

namespace tessellor {

// The element and property declarations of a PLY header, as far as the reader uses them: which
// element holds the vertices and which the faces, where x, y, z and the vertex index list stand,
// and the scalar types of binary data.
class PlyHeader {
 public:
  enum class Type { Unknown, Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };
  enum class Encoding { Ascii, BinaryLittleEndian, BinaryBigEndian };
  enum class Role { Vertex, Face, Other };

  struct Property {
    std::string Name;
    bool IsList = false;
    Type CountType = Type::Unknown;  // lists only
    Type ValueType = Type::Unknown;
    long long Line = 0;
  };

  struct Element {
    std::string Name;
    Role ElementRole = Role::Other;
    long long Count = 0;
    long long Line = 0;
    std::vector<Property> Properties;
  };

  // "char", "uchar", ..., "float64"; Unknown for any other name.
  static Type typeFromName(const std::string& name);
  // Bytes of one value of the type; 0 for Unknown.
  static int sizeOf(Type type);
  static bool isInteger(Type type) { return type != Type::Unknown && type != Type::Float32 && type != Type::Float64; }

  // Adds the declaration of a "property ..." line to the element declared last (a property
  // before any element belongs to none and is dropped).
  void addProperty(const std::string& line, long long lineNumber);

  // Index of the first element of the role, or -1.
  int firstOf(Role role) const;
  // Index of the named property of an element, or -1.
  static int findProperty(const Element& element, const char* name);
  // Index of the face element's vertex index list ("vertex_indices" or "vertex_index"), or -1.
  static int findIndexList(const Element& face);

  // True when the simple line-by-line reading gives the file's meaning: the vertex element comes
  // first with x y z as its first properties (or none declared), the face element right after it
  // with its index list first (or none declared), and nothing else before or between them.
  bool readsInDeclaredOrder() const;

  Encoding Format = Encoding::Ascii;
  long long FormatLine = 0;
  bool Complete = false;  // "end_header" was found
  std::vector<Element> Elements;
};

}  // namespace tessellor
