#pragma once

#include <string>

namespace tessellor {

class PolygonStorage;
class StatusOutput;

// Reads OFF files: the keyword "OFF" (or a variant with per-vertex extras: COFF, NOFF, CNOFF,
// STOFF, ...), the vertex, face and edge counts (on the keyword's line or the next), one vertex
// per line "x y z" (further values ignored), one face per line "k i1 .. ik" with 0-based
// indices (further values, such as a colour, ignored). '#' starts a comment; blank lines are
// skipped. Builds every index of the mesh and logs its bounding box under the task "Importing",
// as the PLY reader does.
//
// A malformed file (also a binary or other than three-dimensional OFF) ends the task and throws
// FileError naming the file and the line; the target mesh then keeps its previous contents.
class PolygonStorageImportOFF {
 public:
  virtual ~PolygonStorageImportOFF();

  void setStatusOutput(StatusOutput* output) { Output = output; }
  virtual void import(const std::string& fileName, PolygonStorage& mesh);

  StatusOutput* Output = nullptr;
};

}  // namespace tessellor
