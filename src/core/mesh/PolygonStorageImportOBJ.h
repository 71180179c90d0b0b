#pragma once

#include <string>

namespace tessellor {

class PolygonStorage;
class StatusOutput;

// Reads Wavefront OBJ files: "v x y z" (an optional w and colour values are ignored) gives the
// vertices in order, "f" the polygons, of any size, with corners written i, i/t, i//n or i/t/n;
// indices count from 1, negative ones back from the last vertex read so far. A line ending in a
// backslash continues on the next; '#' starts a comment. Texture coordinates, normals, groups,
// objects, smoothing groups, materials, lines, points and other statements are accepted and not
// used. Builds every index of the mesh and logs its bounding box under the task "Importing", as
// the PLY reader does.
//
// A malformed file ends the task and throws FileError naming the file and the line; the target
// mesh then keeps its previous contents.
class PolygonStorageImportOBJ {
 public:
  virtual ~PolygonStorageImportOBJ();

  void setStatusOutput(StatusOutput* output) { Output = output; }
  virtual void import(const std::string& fileName, PolygonStorage& mesh);

  StatusOutput* Output = nullptr;
};

}  // namespace tessellor
