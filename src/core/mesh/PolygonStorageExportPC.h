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
  void save(const std::string& fileName, const PolygonStorage& mesh) const;
};

}  // namespace tessellor
