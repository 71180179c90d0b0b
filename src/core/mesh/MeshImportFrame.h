#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace tessellor {

class PolygonStorage;
class StatusOutput;

// What every mesh reader shares: the task "Importing" with the file name as its first line, the
// opening of the file, a fresh mesh to read into, and after a successful read the bounding-box
// lines, the indices, midpoints and vertex normals, and the swap into the target. A FileError
// thrown by the reader (or by the opening) is logged, ends the task and is passed on; the target
// mesh then keeps its previous contents.
class MeshImportFrame {
 public:
  // Fills fresh (empty, with the target's status output) from file; fileSize is 0 when the file
  // is not a regular file.
  using Reader = std::function<void(std::FILE* file, long long fileSize, PolygonStorage& fresh)>;

  static void run(const std::string& fileName, PolygonStorage& mesh, StatusOutput* output, const Reader& read);

  // Progress from 0 to 80 while done runs up to total (bytes or elements); reported at most once
  // per percent.
  class Progress {
   public:
    Progress(StatusOutput* output, long long total) : Output(output), Total(total) {}
    void at(long long done);

   private:
    StatusOutput* Output;
    long long Total;
    int Last = 0;
  };
};

}  // namespace tessellor
