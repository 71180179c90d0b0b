#pragma once

#include <string>

namespace tessellor {

class PolygonStorage;

// Abaqus input deck (.inp): a heading, *NODE with one line per vertex (node = vertex id + 1),
// *ELEMENT blocks of TYPE=S4R for quadrilaterals and TYPE=S3R for triangles, all in the element
// set SHELL (elements numbered from 1 in polygon order), and a placeholder *SHELL SECTION and
// *MATERIAL for that set. Other polygons get no element. Coordinates in file coordinates with
// nine significant digits (they read back as the same 32-bit floats).
// The file is written beside the target and renamed over it when complete; failures throw
// FileError naming the file and leave an existing file of that name untouched.
class PolygonStorageExportINP {
 public:
  void save(const std::string& fileName, const PolygonStorage& mesh) const;
};

}  // namespace tessellor
