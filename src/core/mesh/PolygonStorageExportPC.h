#pragma once

#include <string>

namespace tessellor {

class PolygonStorage;

// Fixed-column finite-element deck (.pc): a material card, one node card per vertex and one
// shell card per triangle or quadrilateral; other polygons get no card.
// Vertices are written in file coordinates (stored position * Scale + Offset, in 32-bit float).
// The file is written beside the target and renamed over it when complete; failures throw
// FileError naming the file and leave an existing file of that name untouched.
class PolygonStorageExportPC {
 public:
  // fullPrecision: coordinates with the digits that read back as the same 32-bit float
  // (%.9g; in the deck %15.9g, which fits its columns) instead of the specified format.
  void save(const std::string& fileName, const PolygonStorage& mesh, bool fullPrecision = false) const;
};

}  // namespace tessellor
