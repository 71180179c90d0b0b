// What reading a file may cost: memory bounded by a constant times the file's size, whatever
// counts and sizes the file announces, and no loop over sizes that hold no data.
#include "mesh/PolygonStorage.h"
#include "mesh/PolygonStorageImportOBJ.h"
#include "mesh/PolygonStorageImportOFF.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "mesh/PolygonStorageImportSTL.h"
#include "base/Diagnostics.h"
#include "pipeline/QuadDominantTessellor.h"
#include "base/TessellorError.h"
#include "volume/VolumeStorageDF.h"
#include "volume/VolumeStorageDF_IO.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

using namespace tessellor;

// Every operator new of this program goes through here, so a test can see the peak number of
// bytes held at once while a reader runs.
namespace {
std::atomic<long long> CurrentBytes{0};
std::atomic<long long> PeakBytes{0};
constexpr std::size_t Header = alignof(std::max_align_t);

void* countedAllocate(std::size_t size) {
  void* block = std::malloc(size + Header);
  if (!block) return nullptr;
  std::memcpy(block, &size, sizeof size);
  const long long now = CurrentBytes += static_cast<long long>(size);
  long long peak = PeakBytes.load();
  while (now > peak && !PeakBytes.compare_exchange_weak(peak, now)) {
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
void* operator new[](std::size_t size) {
  if (void* p = countedAllocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAllocate(size); }
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete[](void* p) noexcept { countedFree(p); }
void operator delete(void* p, std::size_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { countedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { countedFree(p); }

namespace {

const std::string CorpusDir = std::string(TESSELLOR_SOURCE_DIR) + "/tests/fuzz/corpus";

// Fixed costs of a read apart from what the file holds: read buffers, the log, the exception.
constexpr long long FixedBytes = 1 << 20;

// Peak bytes held at once above what was held when it started.
class PeakMeter {
 public:
  PeakMeter() : Start(CurrentBytes.load()) { PeakBytes = Start; }
  long long peak() const { return PeakBytes.load() - Start; }

 private:
  long long Start;
};

std::string scratch(const std::string& name) {
  return ::testing::TempDir() + "tessellor_bounds_" + std::to_string(getpid()) + "_" + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::filesystem::path> filesIn(const std::string& directory) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Imports into a mesh that already holds content; returns the peak bytes and whether it loaded.
template <class Importer = PolygonStorageImportPLY>
long long peakOfImport(const std::string& path, bool& loaded) {
  PolygonStorage mesh;
  mesh.addVertex(Vertex{{0, 0, 0}, {}, 0});
  Importer importer;
  PeakMeter meter;
  loaded = true;
  try {
    importer.import(path, mesh);
  } catch (const FileError&) {
    loaded = false;
    EXPECT_EQ(mesh.Vertices.size(), 1u) << path;
  }
  return meter.peak();
}

long long peakOfVolumeRead(const std::string& path, bool& loaded) {
  VolumeStorageDF volume;
  VolumeStorageDF_IO io;
  io.setVolume(&volume);
  io.setFileName(path);
  PeakMeter meter;
  loaded = true;
  try {
    io.read();
  } catch (const FileError&) {
    loaded = false;
  }
  return meter.peak();
}

std::string volumeHeader(std::int32_t nx, std::int32_t ny, std::int32_t nz) {
  std::string bytes = "VOLUME";
  const float placement[4] = {1.0f, 0.0f, 0.0f, 0.0f};
  const std::int32_t sizes[3] = {nx, ny, nz};
  bytes.append(reinterpret_cast<const char*>(placement), sizeof placement);
  bytes.append(reinterpret_cast<const char*>(sizes), sizeof sizes);
  return bytes;
}

class SilentDiagnostics : public ::testing::Test {
 protected:
  void SetUp() override {
    Diagnostics::setSink([](const char*, void*) {}, nullptr);
  }
  void TearDown() override { Diagnostics::setSink(nullptr, nullptr); }
};

using PlyImportBounds = SilentDiagnostics;
using VolumeReadBounds = SilentDiagnostics;

TEST_F(PlyImportBounds, CountsAndCornerNumbersTheFileDoesNotBackAllocateNothing) {
  {
    // The meter sees what a read keeps: 1000 vertices are at least 1000 vertex records.
    std::string text = "ply\nformat ascii 1.0\nelement vertex 1000\nelement face 0\nend_header\n";
    for (int i = 0; i < 1000; ++i) text += std::to_string(i) + " 0 0\n";
    const std::string path = scratch("thousand.ply");
    writeFile(path, text);
    bool loaded = false;
    EXPECT_GE(peakOfImport(path, loaded), static_cast<long long>(1000 * sizeof(Vertex)));
    EXPECT_TRUE(loaded);
    std::remove(path.c_str());
  }
  // Each file is well under 200 bytes; an allocation for its announced counts would be gigabytes.
  const std::string cases[] = {
      "ply\nformat ascii 1.0\nelement vertex 2147483647\nelement face 0\nend_header\n0 0 0\n",
      "ply\nformat ascii 1.0\nelement vertex 3\nelement face 2147483647\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n",
      "ply\nformat ascii 1.0\nelement vertex 3\nelement face 1\nend_header\n0 0 0\n1 0 0\n0 1 0\n2147483647 0 1 2\n",
      "ply\nformat ascii 1.0\nelement vertex 1000000000000\nend_header\n",
      "ply\nformat ascii 1.0\nelement vertex 99999999999999999999999999\nend_header\n",
  };
  int index = 0;
  for (const std::string& text : cases) {
    const std::string path = scratch("counts" + std::to_string(index++) + ".ply");
    writeFile(path, text);
    bool loaded = false;
    const long long peak = peakOfImport(path, loaded);
    EXPECT_FALSE(loaded) << text;
    EXPECT_LT(peak, FixedBytes) << text;
    std::remove(path.c_str());
  }
}

TEST_F(PlyImportBounds, EveryCorpusFileStaysWithinLinearMemory) {
  // A mesh costs a few hundred bytes per element line (vertex, index sets, midpoint, edge entries).
  constexpr long long BytesPerFileByte = 256;
  std::vector<std::filesystem::path> files = filesIn(CorpusDir + "/ply");
  ASSERT_GT(files.size(), 20u);
  for (const auto& file : files) {
    bool loaded = false;
    const long long peak = peakOfImport(file.string(), loaded);
    const long long size = static_cast<long long>(std::filesystem::file_size(file));
    EXPECT_LE(peak, FixedBytes + BytesPerFileByte * size) << file << (loaded ? " (loaded)" : " (refused)");
  }
}

// The other mesh formats: counts and sizes are believed only as far as the file backs them.
TEST_F(PlyImportBounds, OtherFormatsAllocateOnlyWhatTheFileBacks) {
  const auto le32 = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  const std::string binary = "ply\nformat binary_little_endian 1.0\n";
  const struct {
    std::string Extension, Contents;
  } cases[] = {
      {"off", "OFF\n2000000000 2000000000 0\n0 0 0\n"},
      {"stl", std::string(80, ' ') + le32(0xffffffffu) + std::string(50, '\0')},
      {"ply", binary + "element vertex 2000000000\nproperty float x\nproperty float y\nproperty float z\nend_header\n" +
                  std::string(12, '\0')},
      {"ply", binary + "element vertex 1\nproperty uchar x\nproperty uchar y\nproperty uchar z\nelement face 1\n" +
                  "property list uint int vertex_indices\nend_header\n" + std::string(3, '\0') + le32(0xffffffffu)},
      {"ply", binary + "element blob 2000000000\nproperty double a\nend_header\n" + std::string(16, '\0')},
  };
  int index = 0;
  for (const auto& c : cases) {
    const std::string path = scratch("formats" + std::to_string(index++) + "." + c.Extension);
    writeFile(path, c.Contents);
    bool loaded = false;
    const long long peak = c.Extension == "off"   ? peakOfImport<PolygonStorageImportOFF>(path, loaded)
                           : c.Extension == "stl" ? peakOfImport<PolygonStorageImportSTL>(path, loaded)
                                                  : peakOfImport(path, loaded);
    EXPECT_FALSE(loaded) << path;
    EXPECT_LT(peak, FixedBytes) << path;
    std::remove(path.c_str());
  }
}

TEST_F(PlyImportBounds, EveryStlObjOffCorpusFileStaysWithinLinearMemory) {
  constexpr long long BytesPerFileByte = 256;
  for (const std::string format : {"stl", "obj", "off"}) {
    const std::vector<std::filesystem::path> files = filesIn(CorpusDir + "/" + format);
    ASSERT_GT(files.size(), 5u) << format;
    for (const auto& file : files) {
      bool loaded = false;
      const long long peak = format == "stl"   ? peakOfImport<PolygonStorageImportSTL>(file.string(), loaded)
                             : format == "obj" ? peakOfImport<PolygonStorageImportOBJ>(file.string(), loaded)
                                               : peakOfImport<PolygonStorageImportOFF>(file.string(), loaded);
      const long long size = static_cast<long long>(std::filesystem::file_size(file));
      EXPECT_LE(peak, FixedBytes + BytesPerFileByte * size) << file << (loaded ? " (loaded)" : " (refused)");
    }
  }
}

TEST_F(VolumeReadBounds, EveryCorpusFileStaysWithinLinearMemory) {
  // A 17-byte record becomes one 20-byte voxel; the fresh volume is swapped in, not copied.
  constexpr long long BytesPerFileByte = 2;
  std::vector<std::filesystem::path> files = filesIn(CorpusDir + "/volume");
  ASSERT_GT(files.size(), 20u);
  int loadedCount = 0;
  for (const auto& file : files) {
    bool loaded = false;
    const long long peak = peakOfVolumeRead(file.string(), loaded);
    loadedCount += loaded;
    const long long size = static_cast<long long>(std::filesystem::file_size(file));
    EXPECT_LE(peak, FixedBytes + BytesPerFileByte * size) << file << (loaded ? " (loaded)" : " (refused)");
  }
  EXPECT_GE(loadedCount, 8);
}

TEST_F(VolumeReadBounds, SizesTheRecordsDoNotBackAreRefusedWithoutAllocating) {
  const std::string record(17, '\0');
  const struct {
    std::int32_t nx, ny, nz;
  } cases[] = {{1000, 1000, 1000}, {46340, 46340, 1}, {2, 2, 2}, {INT_MAX, 1, 1}};
  for (const auto& c : cases) {
    const std::string path = scratch("unbacked.vol");
    writeFile(path, volumeHeader(c.nx, c.ny, c.nz) + record + "END");
    bool loaded = true;
    const long long peak = peakOfVolumeRead(path, loaded);
    EXPECT_FALSE(loaded) << c.nx << " x " << c.ny << " x " << c.nz;
    EXPECT_LT(peak, FixedBytes) << c.nx << " x " << c.ny << " x " << c.nz;
    std::remove(path.c_str());
  }
}

// A size of 0 makes a volume without voxels, however large the other two sizes are: reading,
// writing and extracting it must not walk the empty grid (these once ran for hours).
TEST_F(VolumeReadBounds, ZeroSizeWithHugeOtherSizesIsAnEmptyVolumeHandledAtOnce) {
  const std::string path = scratch("empty.vol");
  const std::string saved = scratch("saved.vol");
  const struct { std::int32_t nx, ny, nz; } cases[] = {{0, INT_MAX, INT_MAX}, {INT_MAX, 0, INT_MAX}};
  for (const auto& c : cases) {
    const std::string bytes = volumeHeader(c.nx, c.ny, c.nz) + "END";
    writeFile(path, bytes);
    QuadDominantTessellor controller;
    controller.getVolumeIO().setFileName(path);
    ASSERT_NO_THROW(controller.getVolumeIO().read());
    EXPECT_EQ(controller.Volume.getXSize(), c.nx);
    EXPECT_EQ(controller.Volume.getYSize(), c.ny);
    EXPECT_EQ(controller.Volume.getZSize(), c.nz);
    EXPECT_TRUE(controller.Volume.Voxels.empty());

    controller.outputMeshFromVolume();
    EXPECT_TRUE(controller.MCMesh.Vertices.empty());
    EXPECT_TRUE(controller.getOutputMesh().Polygons.empty());

    controller.getVolumeIO().setFileName(saved);
    controller.getVolumeIO().write();
    std::ifstream in(saved, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), bytes);
  }
  std::remove(path.c_str());
  std::remove(saved.c_str());
}

TEST_F(VolumeReadBounds, ZeroDepthUnderAPlaneTooLargeForItsIndexIsRefusedAndKeepsTheVolume) {
  // XSize * YSize is kept as an int even when ZSize is 0.
  const std::string path = scratch("plane.vol");
  writeFile(path, volumeHeader(INT_MAX, INT_MAX, 0) + "END");
  VolumeStorageDF volume;
  volume.resize(2, 1, 1);
  volume.clear();
  VolumeStorageDF_IO io;
  io.setVolume(&volume);
  io.setFileName(path);
  try {
    io.read();
    FAIL() << "read accepted a plane of 2147483647 x 2147483647";
  } catch (const FileError& error) {
    EXPECT_EQ(error.At, 22);
  }
  EXPECT_EQ(volume.XSize, 2);
  EXPECT_EQ(volume.XYSize, 2);
  EXPECT_EQ(volume.Voxels.size(), 2u);
  EXPECT_EQ(VolumeStorageDF::checkedVoxelCount(INT_MAX, INT_MAX, 0), -1);
  EXPECT_EQ(VolumeStorageDF::checkedVoxelCount(0, INT_MAX, INT_MAX), 0);
  std::remove(path.c_str());
}

// Vertex normals of a whole mesh are found in time linear in its corners; they must equal the
// per-vertex definition bit for bit, also with repeated corners and polygons of many corners.
TEST(VertexNormalBounds, WholeMeshNormalsEqualThePerVertexDefinition) {
  constexpr int Ring = 3000;
  const auto build = [](PolygonStorage& mesh) {
    for (int i = 0; i < Ring; ++i) {
      const float a = 6.2831853f * static_cast<float>(i) / Ring;
      mesh.addVertex(Vertex{{std::cos(a), std::sin(a), 0.1f * std::sin(7.0f * a)}, {}, 0});
    }
    const int apex = mesh.addVertex(Vertex{{0.2f, -0.1f, 1.5f}, {}, 0});
    VertexIDList ring;
    for (int i = 0; i < Ring; ++i) ring.push_back(i);
    mesh.Polygons.push_back(ring);
    for (int i = 0; i < Ring; i += 2) mesh.addTriangle(i, apex, (i + 1) % Ring);
    // Repeated corners: the next neighbour follows the first occurrence, the previous one
    // precedes the last occurrence.
    mesh.Polygons.push_back(VertexIDList{5, 6, 5, 7, apex, 8});
    mesh.Polygons.push_back(VertexIDList{9, 9, 10, 11});
    mesh.buildIndex();
    mesh.computeMidpoints();
    return apex;
  };
  PolygonStorage mesh;
  const int apex = build(mesh);
  mesh.computeVertexNormals();
  PolygonStorage reference;
  build(reference);
  for (std::size_t v = 0; v < reference.Vertices.size(); ++v) {
    Vertex expected = reference.Vertices[v];
    reference.computeVertexNormal(expected, static_cast<int>(v));
    EXPECT_EQ(std::memcmp(&expected.n, &mesh.Vertices[v].n, sizeof expected.n), 0) << "vertex " << v;
  }
  EXPECT_GT(std::fabs(mesh.Vertices[apex].n.z), 0.5f);
}
}  // namespace
