#include "volume/VolumeStorageDF.h"
#include "volume/VolumeStorageDF_IO.h"
#include "volume/VolumeStorageSparse.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace tessellor;

namespace {

bool sameBits(const VoxelData& a, const VoxelData& b) {
  return std::memcmp(&a.Distance, &b.Distance, 4) == 0 && a.FeatureType == b.FeatureType &&
         std::memcmp(a.FeatureOffset, b.FeatureOffset, 12) == 0;
}

std::string volumeFile(GenericVolumeStorage& volume, const testfiles::ScratchDir& dir, const std::string& name) {
  VolumeStorageDF_IO io;
  io.setVolume(&volume);
  io.setFileName(dir.file(name));
  io.write();
  return testfiles::readFile(dir.file(name));
}

}  // namespace

// Random writes of distances, feature data, whole records and cleared records into grids whose
// sizes are and are not multiples of the block size: the sparse volume must read back exactly as
// the dense one, voxel by voxel, layer by layer and as a volume file, and allocate only blocks
// that were written.
TEST(VolumeStorageSparse, ReadsBackLikeTheDenseVolumeAfterRandomWrites) {
  std::mt19937 rng(1717u);
  testfiles::ScratchDir dir;
  const int sizes[][3] = {{8, 8, 8}, {13, 7, 21}, {1, 17, 9}, {30, 5, 3}};
  for (const auto& n : sizes) {
    VolumeStorageDF dense;
    VolumeStorageSparse sparse;
    GenericVolumeStorage* volumes[2] = {&dense, &sparse};
    for (GenericVolumeStorage* v : volumes) {
      v->resize(n[0], n[1], n[2]);
      v->clear();
      v->setScale(0.25f);
      v->setOffset(1, 2, 3);
    }
    std::uniform_int_distribution<int> coord(0, 1 << 20), kind(0, 3);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    const std::string label = std::to_string(n[0]) + "x" + std::to_string(n[1]) + "x" + std::to_string(n[2]);
    for (int w = 0; w < 300; ++w) {
      const int x = coord(rng) % n[0], y = coord(rng) % n[1], z = coord(rng) % n[2];
      VoxelData record;
      dense.getVoxel(x, y, z, record);
      const int k = kind(rng);
      if (k == 0 || k == 2) record.Distance = w % 17 == 0 ? -0.0f : value(rng);
      if (k == 1 || k == 2) {
        record.FeatureType = static_cast<std::uint8_t>(1 + w % 2);
        for (float& o : record.FeatureOffset) o = value(rng);
      }
      if (k == 3) record = VoxelData{};  // a cleared record allocates nothing new
      for (GenericVolumeStorage* v : volumes) v->setVoxel(x, y, z, record);
      VoxelData back;
      sparse.getVoxel(x, y, z, back);
      ASSERT_TRUE(sameBits(back, record)) << label << " write " << w;
    }
    VoxelData a, b;
    for (int z = 0; z < n[2]; ++z)
      for (int y = 0; y < n[1]; ++y)
        for (int x = 0; x < n[0]; ++x) {
          dense.getVoxel(x, y, z, a);
          sparse.getVoxel(x, y, z, b);
          ASSERT_TRUE(sameBits(a, b)) << label << " at " << x << "," << y << "," << z;
        }
    // Layers: the same distances, and every value inside its row's range.
    const std::size_t area = static_cast<std::size_t>(n[0]) * static_cast<std::size_t>(n[1]);
    std::vector<float> dl(area), sl(area);
    std::vector<int> db(n[1]), de(n[1]), sb(n[1]), se(n[1]);
    for (int z = 0; z < n[2]; ++z) {
      dense.getDistanceLayer(z, dl.data(), db.data(), de.data());
      sparse.getDistanceLayer(z, sl.data(), sb.data(), se.data());
      ASSERT_EQ(std::memcmp(dl.data(), sl.data(), area * sizeof(float)), 0) << label << " layer " << z;
      for (int y = 0; y < n[1]; ++y)
        for (int x = 0; x < n[0]; ++x) {
          if (sl[static_cast<std::size_t>(y) * n[0] + x] == NoValue) continue;
          ASSERT_TRUE(x >= sb[y] && x < se[y] && x >= db[y] && x < de[y]) << label << " row " << y << " z " << z;
        }
    }
    EXPECT_EQ(volumeFile(dense, dir, "dense.vol"), volumeFile(sparse, dir, "sparse.vol")) << label;
    EXPECT_LT(sparse.distanceBlockCount(), 300u);

    // The same sizes keep every record; clear drops every block.
    sparse.resize(n[0], n[1], n[2]);
    EXPECT_EQ(volumeFile(dense, dir, "dense.vol"), volumeFile(sparse, dir, "sparse.vol")) << label;
    sparse.clear();
    dense.clear();
    EXPECT_EQ(sparse.distanceBlockCount() + sparse.featureBlockCount(), 0u);
    EXPECT_EQ(volumeFile(dense, dir, "dense.vol"), volumeFile(sparse, dir, "sparse.vol")) << label;
  }
}
