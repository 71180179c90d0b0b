#pragma once

#include <string>

namespace tessellor {

class PolygonStorage;
class StatusOutput;

// Reads STL files, ASCII ("solid", "facet normal", "outer loop", "vertex x y z", "endloop",
// "endfacet", "endsolid"; several solids in a row are one mesh) or binary (80-byte header,
// triangle count, 50 bytes per triangle, told apart by the file size even when the header
// begins with "solid"). STL lists every triangle's corners separately: corners with the same
// coordinates (bit for bit, 0 and -0 alike) become one vertex, numbered in the order of their
// first appearance, so that the mesh is connected as the file means it. Facet normals are
// not used; the mesh computes its own. Builds every index of the mesh and logs its bounding box
// under the task "Importing", as the PLY reader does.
//
// A malformed file ends the task and throws FileError naming the file and the line (ASCII) or
// the byte offset (binary); the target mesh then keeps its previous contents.
class PolygonStorageImportSTL {
 public:
  virtual ~PolygonStorageImportSTL();

  void setStatusOutput(StatusOutput* output) { Output = output; }
  virtual void import(const std::string& fileName, PolygonStorage& mesh);

  StatusOutput* Output = nullptr;
};

}  // namespace tessellor
