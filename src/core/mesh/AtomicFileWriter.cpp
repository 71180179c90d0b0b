#include "mesh/AtomicFileWriter.h"

#include "base/TessellorError.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessellor {

namespace {

std::string describe(const std::string& reason, int error) {
  if (error == 0) return reason;
  return reason + ": " + std::strerror(error);
}

// "dir/name" -> "dir/.name.tmp-<pid>-<n>"; "name" -> ".name.tmp-<pid>-<n>" (same directory).
std::string temporaryNameFor(const std::string& fileName, unsigned serial) {
  const std::size_t slash = fileName.rfind('/');
  const std::string directory = slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  return directory + "." + base + ".tmp-" + std::to_string(static_cast<long>(getpid())) + "-" + std::to_string(serial);
}

std::atomic<unsigned> nextSerial{0};

}  // namespace

AtomicFileWriter::AtomicFileWriter(const std::string& fileName) : FileName(fileName) {
  if (fileName.empty() || fileName.back() == '/') throw FileError(fileName, "cannot create file: no file name");

  // The new file gets the permissions of the one it replaces; otherwise the usual ones (umask).
  mode_t mode = 0666;
  struct stat existing;
  if (::stat(fileName.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) throw FileError(fileName, "cannot create file: it is a directory");
    mode = existing.st_mode & 07777;
  }

  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    TemporaryName = temporaryNameFor(fileName, nextSerial++);
    fd = ::open(TemporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    const int error = errno;
    TemporaryName.clear();
    throw FileError(fileName, describe("cannot create file", error));
  }
  if (mode != 0666) ::fchmod(fd, mode);
  File = ::fdopen(fd, "wb");
  if (!File) {
    const int error = errno;
    ::close(fd);
    discard();
    throw FileError(fileName, describe("cannot create file", error));
  }
  // Large writes go out in few system calls.
  std::setvbuf(File, nullptr, _IOFBF, 1 << 16);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (!Committed) discard();
}

void AtomicFileWriter::discard() {
  if (File) {
    std::fclose(File);
    File = nullptr;
  }
  if (!TemporaryName.empty()) {
    ::unlink(TemporaryName.c_str());
    TemporaryName.clear();
  }
}

void AtomicFileWriter::fail(const std::string& reason, int error) {
  discard();
  throw FileError(FileName, describe(reason, error));
}

void AtomicFileWriter::write(const void* data, std::size_t size) {
  if (!File) fail("write after the file was closed", 0);
  if (size > 0 && std::fwrite(data, 1, size, File) != size) fail("cannot write file", errno);
}

void AtomicFileWriter::print(const char* format, ...) {
  if (!File) fail("write after the file was closed", 0);
  va_list args;
  va_start(args, format);
  const int written = std::vfprintf(File, format, args);
  va_end(args);
  if (written < 0) fail("cannot write file", errno);
}

void AtomicFileWriter::checkStream() {
  if (!File) fail("write after the file was closed", 0);
  if (std::ferror(File)) fail("cannot write file", errno);
}

void AtomicFileWriter::commit() {
  if (!File) fail("write after the file was closed", 0);
  const bool streamError = std::ferror(File) != 0;
  const int flushed = std::fflush(File);
  const int flushError = errno;
  if (streamError || flushed != 0) fail("cannot write file", streamError ? 0 : flushError);
  const int closed = std::fclose(File);
  File = nullptr;
  if (closed != 0) fail("cannot write file", errno);
  if (std::rename(TemporaryName.c_str(), FileName.c_str()) != 0) fail("cannot replace file", errno);
  TemporaryName.clear();
  Committed = true;
}

}  // namespace tessellor
