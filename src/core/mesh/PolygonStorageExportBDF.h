#pragma once

#include <string>

namespace tessellor {

class PolygonStorage;

// Nastran bulk data (.bdf): BEGIN BULK, a placeholder PSHELL (property 1) and MAT1 (material 1),
// one large-field GRID* card per vertex (grid = vertex id + 1, coordinates with nine significant
// digits, which read back as the same 32-bit floats), one CQUAD4 per quadrilateral and one CTRIA3
// per triangle (elements numbered from 1 in polygon order), ENDDATA. Other polygons get no card.
// The file is written beside the target and renamed over it when complete; failures throw
// FileError naming the file and leave an existing file of that name untouched.
class PolygonStorageExportBDF {
 public:
  void save(const std::string& fileName, const PolygonStorage& mesh) const;
};

}  // namespace tessellor
