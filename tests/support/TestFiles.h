#pragma once

// Scratch files for tests that write: a directory removed with its contents, whole-file reads
// and writes, and a file-size limit that makes writes fail as on a full disk.

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testfiles {

// A scratch directory, removed with everything in it (one level) when the object dies.
class ScratchDir {
 public:
  ScratchDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessellor-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) Path = buffer.data();
  }
  ~ScratchDir() {
    if (Path.empty()) return;
    for (const std::string& name : entries()) {
      const std::string full = Path + "/" + name;
      if (::unlink(full.c_str()) != 0) ::rmdir(full.c_str());
    }
    ::rmdir(Path.c_str());
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string file(const std::string& name) const { return Path + "/" + name; }

  // Names in the directory, "." and ".." left out.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(Path.c_str())) {
      while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      ::closedir(dir);
    }
    return names;
  }

  std::string Path;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void writeFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary);
  out << contents;
}

inline bool fileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// The shared meshes and malformed inputs (absent on some machines: tests skip what needs them),
// and the repository's own test data.
inline std::string sharedDir() { return TESSELLOR_SHARED_DIR; }
inline std::string dataDir() { return std::string(TESSELLOR_SOURCE_DIR) + "/tests/data"; }

// The regular files in a directory, sorted; empty when it does not exist.
inline std::vector<std::string> filesIn(const std::string& directory) {
  std::vector<std::string> files;
  if (DIR* dir = ::opendir(directory.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      const std::string path = directory + "/" + entry->d_name;
      struct stat info;
      if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) files.push_back(path);
    }
    ::closedir(dir);
  }
  std::sort(files.begin(), files.end());
  return files;
}

// While it lives, files of this process cannot grow beyond the given size: writes past it fail
// with EFBIG as on a full disk (SIGXFSZ is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &Saved);
    PreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = Saved;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &Saved);
    std::signal(SIGXFSZ, PreviousHandler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit Saved{};
  void (*PreviousHandler)(int) = nullptr;
};

}  // namespace testfiles
