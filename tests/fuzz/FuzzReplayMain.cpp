// Runs a fuzz target over files and directories of inputs, so that the seed corpus and every
// input that ever made a target fail are replayed as a plain test (built with g++, no libFuzzer).
// Every operator new goes through a counter here: an input whose run holds more bytes at once than
// the target's fuzzMemoryBound allows fails, so counts and sizes a file announces but cannot back
// never drive an allocation.
#include "FuzzSupport.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::atomic<long long> CurrentBytes{0}, PeakBytes{0};
constexpr std::size_t Header = alignof(std::max_align_t);

void* countedAllocate(std::size_t size) {
  void* block = std::malloc(size + Header);
  if (!block) return nullptr;
  std::memcpy(block, &size, sizeof size);
  const long long now = CurrentBytes += static_cast<long long>(size);
  for (long long peak = PeakBytes.load(); now > peak && !PeakBytes.compare_exchange_weak(peak, now);) {
  }
  return static_cast<char*>(block) + Header;
}

void countedFree(void* pointer) {
  if (!pointer) return;
  void* block = static_cast<char*>(pointer) - Header;
  std::size_t size;
  std::memcpy(&size, block, sizeof size);
  CurrentBytes -= static_cast<long long>(size);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = countedAllocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAllocate(size); }
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete[](void* p) noexcept { countedFree(p); }
void operator delete(void* p, std::size_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { countedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { countedFree(p); }

namespace {

int replayFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const long long start = CurrentBytes.load();
  PeakBytes = start;
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  const long long peak = PeakBytes.load() - start, bound = fuzzMemoryBound(bytes.size());
  if (bound >= 0 && peak > bound) {
    std::fprintf(stderr, "%s: %lld bytes held at once, more than %lld\n", path.c_str(), peak, bound);
    return 1;
  }
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(arg))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      for (const auto& file : files) {
        failures += replayFile(file);
        ++count;
      }
    } else if (std::filesystem::exists(arg)) {
      failures += replayFile(arg);
      ++count;
    }
  }
  std::printf("replayed %d inputs\n", count);
  return failures == 0 && count > 0 ? 0 : 1;
}
