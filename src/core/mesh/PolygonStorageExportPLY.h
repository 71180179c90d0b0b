#pragma once

#include <string>

namespace tessellor {

class PolygonStorage;

// ASCII PLY: every entry of Polygons, empty ones included (as the line 0).
// Vertices are written in file coordinates (stored position * Scale + Offset, in 32-bit float).
// The file is written beside the target and renamed over it when complete; failures throw
// FileError naming the file and leave an existing file of that name untouched.
class PolygonStorageExportPLY {
 public:
  // fullPrecision: coordinates with the digits that read back as the same 32-bit float
  // (%.9g; in the deck %15.9g, which fits its columns) instead of the specified format.
  void save(const std::string& fileName, const PolygonStorage& mesh, bool fullPrecision = false) const;
};

}  // namespace tessellor
