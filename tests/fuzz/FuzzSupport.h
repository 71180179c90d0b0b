#pragma once

#include "base/Diagnostics.h"
#include "base/NullOutput.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace tessellor;

// Writes the fuzz input to a per-process scratch file and returns its path.
inline std::string writeScratchFile(const std::uint8_t* data, std::size_t size, const char* extension) {
  static const std::string directory = [] {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp");
  }();
  std::string path = directory + "/tessellor-fuzz-" + std::to_string(getpid()) + extension;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  return path;
}

// Silences the diagnostics stream (malformed input writes there by design).
inline void silenceDiagnostics() {
  Diagnostics::setSink([](const char*, void*) {}, nullptr);
}

// The most bytes a target may hold at once for an input of the given size (negative: no bound),
// checked by the replay; every target defines it.
long long fuzzMemoryBound(std::size_t size);

// Fixed costs of a read apart from what the file holds: read buffers, the log, the exception.
constexpr long long FuzzFixedBytes = 1 << 20;

// Stops the fuzzer with a message when a property does not hold.
#define FUZZ_CHECK(condition)                                                          \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      std::fprintf(stderr, "fuzz check failed: %s (line %d)\n", #condition, __LINE__); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)
