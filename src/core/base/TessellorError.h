#pragma once

#include <stdexcept>
#include <string>

namespace tessellor {

// Failures that ordinary input can reach: a malformed or unreadable file, a file that cannot be
// written, a mesh that cannot be sized, a budget that cannot be allocated. Thrown by the stages,
// caught once at the front-end (exit status 1 on the command line, log line and message box in
// the window). what() is the one-line message shown to the user.
class TessellorError : public std::runtime_error {
 public:
  explicit TessellorError(const std::string& message) : std::runtime_error(message) {}
};

// A file that cannot be read or written, or whose contents are malformed. The message names the
// file and, where known, the line (text files) or byte offset (binary files).
class FileError : public TessellorError {
 public:
  enum class Where { None, Line, Byte };

  FileError(const std::string& file, const std::string& reason, Where where = Where::None, long long position = 0)
      : TessellorError(compose(file, reason, where, position)),
        File(file),
        Reason(reason),
        Position(where),
        At(position) {}

  std::string File;
  std::string Reason;
  Where Position;
  long long At;

 private:
  static std::string compose(const std::string& file, const std::string& reason, Where where, long long at) {
    std::string text = file;
    if (where == Where::Line) text += ":" + std::to_string(at);
    if (where == Where::Byte) text += ": byte " + std::to_string(at);
    return text + ": " + reason;
  }
};

// Work that cannot be done with the given data or budget (nothing to size, too large to allocate).
class ProcessingError : public TessellorError {
 public:
  using TessellorError::TessellorError;
};

}  // namespace tessellor

namespace tessellor {

// Work stopped on request (an interrupter said so). Not a failure: the front-ends say "Cancelled"
// (the command line exits with 130, as after Ctrl-C) and the data the work would change stays as
// it was.
class Cancelled : public TessellorError {
 public:
  Cancelled() : TessellorError("Cancelled") {}
};

}  // namespace tessellor
