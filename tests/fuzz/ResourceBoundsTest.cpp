// One walk per reader over every malformed file we know of (the fuzz corpora, the shared bad
// inputs): each is read whole or refused with its position and the target left exactly as it
// was, in memory bounded by a constant times the file's size, whatever counts and sizes the file
// announces.
#include "base/Diagnostics.h"
#include "base/TessellorError.h"
#include "mesh/PolygonStorageImportOBJ.h"
#include "mesh/PolygonStorageImportOFF.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "mesh/PolygonStorageImportSTL.h"
#include "pipeline/QuadDominantTessellor.h"
#include "support/TestFiles.h"
#include "support/TestMeshes.h"
#include "volume/VolumeStorageDF_IO.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <set>

using namespace tessellor;

// Every operator new of this program goes through here, so a test can see the peak number of
// bytes held at once while a reader runs.
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

const std::string CorpusDir = std::string(TESSELLOR_SOURCE_DIR) + "/tests/fuzz/corpus";
// Fixed costs of a read apart from what the file holds: read buffers, the log, the exception.
constexpr long long FixedBytes = 1 << 20;

// Peak bytes held at once since construction, above what was held then.
struct PeakMeter {
  long long Start = CurrentBytes.load();
  PeakMeter() { PeakBytes = Start; }
  long long peak() const { return PeakBytes.load() - Start; }
};

class ReaderBounds : public ::testing::Test {
 protected:
  void SetUp() override { Diagnostics::setSink([](const char*, void*) {}, nullptr); }
  void TearDown() override { Diagnostics::setSink(nullptr, nullptr); }
  testfiles::ScratchDir Dir;

  // Imports with the reader of the format into a mesh that holds content: the peak bytes, and the
  // mesh afterwards.
  long long import(const std::string& format, const std::string& path, PolygonStorage& mesh, std::string& refusal) {
    testmeshes::build(mesh, testmeshes::octahedron());
    PolygonStorage before;
    before.copyContents(mesh);
    PeakMeter meter;
    refusal.clear();
    try {
      if (format == "stl")
        PolygonStorageImportSTL().import(path, mesh);
      else if (format == "obj")
        PolygonStorageImportOBJ().import(path, mesh);
      else if (format == "off")
        PolygonStorageImportOFF().import(path, mesh);
      else
        PolygonStorageImportPLY().import(path, mesh);
    } catch (const FileError& error) {
      refusal = error.what();
      EXPECT_NE(error.Position, FileError::Where::None) << refusal;  // a line in text, a byte in binary data
      EXPECT_GT(error.At, 0) << refusal;
      EXPECT_EQ(refusal.rfind(path + ":", 0), 0u) << refusal;
      EXPECT_EQ(testmeshes::meshDifference(before, mesh), "") << "a refused file changed the mesh: " << refusal;
    }
    return meter.peak();
  }
};

using MeshReaderBounds = ReaderBounds;
using VolumeReaderBounds = ReaderBounds;

}  // namespace

TEST_F(MeshReaderBounds, EveryMalformedFileIsReadWholeOrRefusedWithinLinearMemory) {
  std::vector<std::pair<std::string, std::string>> files;  // reader, path
  for (const char* format : {"ply", "stl", "obj", "off"}) {
    const std::vector<std::string> corpus = testfiles::filesIn(CorpusDir + "/" + format);
    ASSERT_GT(corpus.size(), 5u) << format;
    for (const std::string& path : corpus) files.emplace_back(format, path);
  }
  const std::vector<std::string> shared = testfiles::filesIn(testfiles::sharedDir() + "/bad-inputs/ply");
  for (const std::string& path : shared) files.emplace_back("ply", path);
  // Counts and sizes a file of a few bytes cannot back: an allocation for them would be gigabytes.
  const std::string h = "ply\nformat ascii 1.0\nelement vertex ", b = "ply\nformat binary_little_endian 1.0\n";
  const std::string all = std::string(4, '\xff'), xyz = "property float x\nproperty float y\nproperty float z\n";
  const std::pair<const char*, std::string> unbacked[] = {
      {"ply", h + "2147483647\nelement face 0\nend_header\n0 0 0\n"},
      {"ply", h + "3\nelement face 2147483647\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"},
      {"ply", h + "3\nelement face 1\nend_header\n0 0 0\n1 0 0\n0 1 0\n2147483647 0 1 2\n"},
      {"ply", h + "99999999999999999999999999\nend_header\n"},
      {"ply", b + "element vertex 2000000000\n" + xyz + "end_header\n" + std::string(12, '\0')},
      {"ply", b + "element vertex 1\n" + xyz + "element face 1\nproperty list uint int vertex_indices\nend_header\n" +
                  std::string(12, '\0') + all},
      {"ply", b + "element blob 2000000000\nproperty double a\nend_header\n" + std::string(16, '\0')},
      {"off", "OFF\n2000000000 2000000000 0\n0 0 0\n"},
      {"stl", std::string(80, ' ') + all + std::string(50, '\0')}};
  for (const auto& [format, text] : unbacked) {
    files.emplace_back(format, Dir.file("counts" + std::to_string(files.size())));
    testfiles::writeFile(files.back().second, text);
  }
  // What the documented rules give for the shared files whose outcome is fixed: vertices and
  // polygons read, or -1 for a refusal.
  const std::map<std::string, std::pair<int, int>> outcomes{
      {"bad_magic.ply", {3, 1}}, {"crlf.ply", {3, 1}}, {"extra_vertex_props.ply", {3, 1}}, {"extra_face_list.ply", {3, 1}},
      {"extra_element_edge.ply", {3, 1}}, {"trailing_ws_header.ply", {3, 1}}, {"leading_blank_line.ply", {3, 1}},
      {"no_final_newline.ply", {3, 1}}, {"tabs.ply", {0, 0}}, {"zero_everything.ply", {0, 0}}, {"zero_faces.ply", {3, 0}},
      {"face_k1.ply", {3, 1}}, {"face_k2.ply", {3, 1}}, {"count_too_few.ply", {2, 1}}, {"no_face_element.ply", {3, 0}},
      {"empty.ply", {-1, 0}}, {"count_negative.ply", {-1, 0}}, {"count_huge.ply", {-1, 0}}, {"count_too_many.ply", {-1, 0}},
      {"face_k_negative.ply", {-1, 0}}, {"face_k_mismatch_short.ply", {-1, 0}}, {"index_negative.ply", {-1, 0}},
      {"index_out_of_range.ply", {-1, 0}}, {"truncated_mid_vertex.ply", {-1, 0}}, {"no_end_header.ply", {-1, 0}},
      {"blank_lines_in_body.ply", {-1, 0}}, {"format_binary_le.ply", {-1, 0}}, {"binary_truncated.ply", {-1, 0}},
      {"end_header_trailing_junk.ply", {-1, 0}}};
  int imported = 0, refused = 0, known = 0;
  for (const auto& [format, path] : files) {
    SCOPED_TRACE(path);
    PolygonStorage mesh;
    std::string refusal;
    const long long peak = import(format, path, mesh, refusal);
    EXPECT_LE(peak, FixedBytes + 256 * static_cast<long long>(testfiles::readFile(path).size()));
    EXPECT_TRUE(path.find("counts") == std::string::npos || !refusal.empty());
    (refusal.empty() ? imported : refused)++;
    if (refusal.empty()) {
      EXPECT_EQ(testmeshes::indexFault(mesh), "");
      for (const Vertex& v : mesh.Vertices) ASSERT_TRUE(std::isfinite(v.pos.x) && std::isfinite(v.pos.y) && std::isfinite(v.pos.z));
    }
    const auto outcome = outcomes.find(path.substr(path.rfind('/') + 1));
    if (outcome == outcomes.end() || path.find("bad-inputs") == std::string::npos) continue;
    ++known;
    EXPECT_EQ(refusal.empty(), outcome->second.first >= 0) << refusal;
    EXPECT_EQ(refusal.empty() ? std::make_pair(int(mesh.Vertices.size()), int(mesh.Polygons.size())) : outcome->second,
              outcome->second);
  }
  EXPECT_GT(imported, 10);
  EXPECT_GT(refused, 10);
  EXPECT_TRUE(shared.empty() || known == int(outcomes.size())) << known;
  // The meter sees what a read keeps: 1000 vertices are at least 1000 vertex records.
  std::string thousand = h + "1000\nelement face 0\nend_header\n";
  for (int i = 0; i < 1000; ++i) thousand += std::to_string(i) + " 0 0\n";
  testfiles::writeFile(Dir.file("thousand.ply"), thousand);
  PolygonStorage mesh;
  std::string refusal;
  EXPECT_GE(import("ply", Dir.file("thousand.ply"), mesh, refusal), static_cast<long long>(1000 * sizeof(Vertex)));
}

TEST_F(VolumeReaderBounds, EveryMalformedFileIsReadWholeOrRefusedWithinLinearMemory) {
  const std::vector<std::string> files = testfiles::filesIn(CorpusDir + "/volume");
  ASSERT_GT(files.size(), 20u);
  int loaded = 0;
  // Sizes the records do not back: refused where the data runs out, before anything is allocated.
  std::vector<std::string> unbacked;
  for (const std::array<std::int32_t, 3>& sizes : std::vector<std::array<std::int32_t, 3>>{
           {1000, 1000, 1000}, {46340, 46340, 1}, {2, 2, 2}, {INT_MAX, 1, 1}}) {
    std::string bytes = "VOLUME" + std::string(16, '\0');
    bytes.append(reinterpret_cast<const char*>(sizes.data()), 12);
    unbacked.push_back(Dir.file("unbacked" + std::to_string(unbacked.size()) + ".vol"));
    testfiles::writeFile(unbacked.back(), bytes + std::string(17, '\0') + "END");
  }
  std::vector<std::string> all = files;
  all.insert(all.end(), unbacked.begin(), unbacked.end());
  for (const std::string& path : all) {
    SCOPED_TRACE(path);
    VolumeStorageDF volume, before;
    for (VolumeStorageDF* v : {&volume, &before}) {
      v->resize(2, 3, 1);
      v->clear();
      v->setScale(0.5f);
    }
    VolumeStorageDF_IO io;
    io.setVolume(&volume);
    io.setFileName(path);
    const std::string bytes = testfiles::readFile(path);
    PeakMeter meter;
    try {
      io.read();
      ++loaded;
      EXPECT_GE(bytes.size(), 37 + 17 * volume.Voxels.size());
      for (const VoxelData& v : volume.Voxels) ASSERT_TRUE(std::isfinite(v.Distance));
    } catch (const FileError& error) {
      EXPECT_EQ(error.Position, FileError::Where::Byte) << error.what();
      EXPECT_LE(error.At, static_cast<long long>(bytes.size())) << error.what();
      EXPECT_EQ(volume.Voxels.size(), 6u);
      EXPECT_EQ(volume.getScale(), 0.5f);
    }
    // A 17-byte record becomes one 20-byte voxel; the fresh volume is swapped in, not copied.
    EXPECT_LE(meter.peak(), FixedBytes + 2 * static_cast<long long>(bytes.size()));
    EXPECT_TRUE(path.find("unbacked") == std::string::npos || volume.Voxels.size() == 6u) << "refused";
  }
  EXPECT_GE(loaded, 8);
}

// A size of 0 makes a volume without voxels, however large the other two sizes: reading,
// extracting and writing it must not walk the empty grid (these once ran for hours). XSize *
// YSize is kept as an int even when ZSize is 0: a plane too large for it is refused.
TEST_F(VolumeReaderBounds, ZeroSizeWithHugeOtherSizesIsAnEmptyVolumeHandledAtOnce) {
  const std::string path = Dir.file("empty.vol"), saved = Dir.file("saved.vol");
  for (const std::array<std::int32_t, 3>& sizes : std::vector<std::array<std::int32_t, 3>>{
           {0, INT_MAX, INT_MAX}, {INT_MAX, 0, INT_MAX}, {INT_MAX, INT_MAX, 0}}) {
    std::string bytes = "VOLUME" + std::string(16, '\0');
    bytes.append(reinterpret_cast<const char*>(sizes.data()), 12).append("END");
    testfiles::writeFile(path, bytes);
    QuadDominantTessellor controller;
    controller.Volume.resize(2, 1, 1);
    controller.getVolumeIO().setFileName(path);
    if (sizes[2] == 0) {
      EXPECT_THROW(controller.getVolumeIO().read(), FileError);
      EXPECT_EQ(controller.Volume.Voxels.size(), 2u);
      continue;
    }
    ASSERT_NO_THROW(controller.getVolumeIO().read());
    EXPECT_EQ(controller.Volume.getYSize(), sizes[1]);
    EXPECT_TRUE(controller.Volume.Voxels.empty());
    controller.outputMeshFromVolume();
    EXPECT_TRUE(controller.MCMesh.Vertices.empty() && controller.getOutputMesh().Polygons.empty());
    controller.getVolumeIO().setFileName(saved);
    controller.getVolumeIO().write();
    EXPECT_EQ(testfiles::readFile(saved), bytes);
  }
}
