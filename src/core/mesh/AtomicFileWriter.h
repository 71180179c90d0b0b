#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tessellor {

// Writes a file so that a failed save never leaves a truncated or half-written file behind:
// everything goes to a temporary file beside the target (same directory, so the final rename
// stays on one file system), and commit() renames it over the target. Until commit() succeeds
// an existing target is untouched; on any failure, and when the writer is destroyed without a
// commit, the temporary file is removed. Failures throw FileError naming the target file.
//
//   AtomicFileWriter out(fileName);
//   out.print("ply\n");
//   out.commit();
class AtomicFileWriter {
 public:
  // Creates the temporary file; throws FileError when it cannot be created.
  explicit AtomicFileWriter(const std::string& fileName);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Appends size bytes; throws FileError when the write fails.
  void write(const void* data, std::size_t size);
  // Appends printf-formatted text; throws FileError when the write fails.
  void print(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // Flushes and closes the temporary file and renames it over the target.
  // Throws FileError (and removes the temporary) when any of that fails.
  void commit();

  // The open temporary stream, for callers that write through stdio themselves; check with
  // checkStream() afterwards, or rely on commit(), which also reports earlier stream errors.
  std::FILE* stream() const { return File; }
  void checkStream();

  const std::string& fileName() const { return FileName; }
  const std::string& temporaryName() const { return TemporaryName; }

 private:
  [[noreturn]] void fail(const std::string& reason, int error);
  void discard();

  std::string FileName;
  std::string TemporaryName;
  std::FILE* File = nullptr;
  bool Committed = false;
};

}  // namespace tessellor
