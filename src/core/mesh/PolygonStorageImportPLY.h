#pragma once

#include <string>

namespace tessellor {

class PolygonStorage;
class StatusOutput;

// Reads PLY files: vertex and face counts from the header, an optional order_cw / order_ccw
// line, then x y z per vertex line and "k i1 .. ik" per face line. Where that simple reading
// would misread the file (x y z not the first vertex properties, the index list not the first
// face property, other elements before or between vertices and faces), the element and
// property declarations of the header are followed instead; binary encodings (either byte
// order) are always read by them. Builds every index of the mesh and logs its bounding box
// under the task "Importing".
//
// A file that cannot be opened or is malformed (short lines, missing elements, indices outside
// the vertex range, non-finite coordinates, negative or absurd counts) ends the task and throws
// FileError naming the file and the line, or the byte offset in binary data; the target mesh
// then keeps its previous contents.
class PolygonStorageImportPLY {
 public:
  virtual ~PolygonStorageImportPLY();

  void setStatusOutput(StatusOutput* output) { Output = output; }
  virtual void import(const std::string& fileName, PolygonStorage& mesh);

  StatusOutput* Output = nullptr;
};

}  // namespace tessellor
