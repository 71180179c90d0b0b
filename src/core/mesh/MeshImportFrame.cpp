#include "mesh/MeshImportFrame.h"

#include "mesh/PolygonStorage.h"
#include "base/StatusOutput.h"
#include "base/TessellorError.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace tessellor {

namespace {
// Closes the file on every way out of run.
struct FileCloser {
  std::FILE* File = nullptr;
  ~FileCloser() {
    if (File) std::fclose(File);
  }
};
}  // namespace

void MeshImportFrame::Progress::at(long long done) {
  if (!Output || Total <= 0) return;
  const int percent = static_cast<int>(80.0 * static_cast<double>(done) / static_cast<double>(Total));
  if (percent == Last) return;
  Last = percent;
  Output->setProgress(percent);
}

void MeshImportFrame::run(const std::string& fileName, PolygonStorage& mesh, StatusOutput* output, const Reader& read) {
  if (output) {
    output->beginTask("Importing");
    output->writeLine(fileName.c_str());
  }
  try {
    FileCloser file;
    struct stat info;
    if (fileName.empty()) throw FileError(fileName, "cannot open file: no file name");
    if (::stat(fileName.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
      throw FileError(fileName, "cannot open file: it is a directory");
    file.File = std::fopen(fileName.c_str(), "rb");
    if (!file.File) throw FileError(fileName, std::string("cannot open file: ") + std::strerror(errno));
    const long long fileSize = (::fstat(fileno(file.File), &info) == 0 && S_ISREG(info.st_mode)) ? info.st_size : 0;

    // Everything is read into a fresh mesh: a refused file leaves the target as it was.
    PolygonStorage fresh;
    fresh.setStatusOutput(mesh.Output);
    read(file.File, fileSize, fresh);
    std::fclose(file.File);
    file.File = nullptr;

    fresh.computeBoundingBox();
    if (output) {
      char line[200];
      std::snprintf(line, sizeof line, "Mesh Bounding Box (%g|%g|%g) - (%g|%g|%g)", fresh.BBoxMin.x, fresh.BBoxMin.y,
                    fresh.BBoxMin.z, fresh.BBoxMax.x, fresh.BBoxMax.y, fresh.BBoxMax.z);
      output->writeLine(line);
      std::snprintf(line, sizeof line, "Mesh Size (%g|%g|%g)", fresh.BBoxMax.x - fresh.BBoxMin.x,
                    fresh.BBoxMax.y - fresh.BBoxMin.y, fresh.BBoxMax.z - fresh.BBoxMin.z);
      output->writeLine(line);
    }
    fresh.buildIndex();
    if (output) output->setProgress(90);
    // Polygons of fewer than three corners are emptied here; their edges must leave the index.
    if (fresh.computeMidpoints() > 0) fresh.buildEdgeIndex();
    if (output) output->setProgress(95);
    fresh.computeVertexNormals();
    mesh.swapContents(fresh);
  } catch (const FileError& error) {
    if (output) {
      output->writeLine(error.what());
      output->endTask();
    }
    throw;
  } catch (...) {
    if (output) output->endTask();
    throw;
  }
  if (output) output->endTask();
}

}  // namespace tessellor
