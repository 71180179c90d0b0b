// The bounds of the readers beyond what the corpus walks check (each reader's fuzz replay runs
// every malformed file we know of, the shared bad inputs among them, within linear memory): the
// outcome the documented rules fix for the shared bad inputs, and volumes of no voxels.
#include "base/TessellorError.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "support/TestFiles.h"
#include "volume/VolumeStorageDF_IO.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <map>
#include <sstream>

using namespace tessellor;

// The vertices and polygons read, or -1 for a refusal.
TEST(SharedBadInputs, ReadOrRefusedAsTheRulesSay) {
  const std::string dir = testfiles::sharedDir() + "/bad-inputs/ply/";
  if (!testfiles::fileExists(dir + "empty.ply")) GTEST_SKIP() << "no shared bad inputs in " << dir;
  // name vertices polygons, for the files that are read; the others are refused.
  std::istringstream read(
      "bad_magic 3 1 crlf 3 1 extra_vertex_props 3 1 extra_face_list 3 1 extra_element_edge 3 1 trailing_ws_header 3 1 "
      "leading_blank_line 3 1 no_final_newline 3 1 tabs 0 0 zero_everything 0 0 zero_faces 3 0 face_k1 3 1 face_k2 3 1 "
      "count_too_few 2 1 no_face_element 3 0");
  const std::string refused =
      "empty count_negative count_huge count_too_many face_k_negative face_k_mismatch_short index_negative "
      "index_out_of_range truncated_mid_vertex no_end_header blank_lines_in_body format_binary_le binary_truncated "
      "end_header_trailing_junk";
  std::map<std::string, std::pair<int, int>> outcomes;
  for (std::string name; read >> name;) read >> outcomes[name].first >> outcomes[name].second;
  std::istringstream names(refused);
  for (std::string name; names >> name;) outcomes[name] = {-1, 0};
  for (const auto& [name, expected] : outcomes) {
    PolygonStorage mesh;
    std::pair<int, int> got{-1, 0};
    try {
      PolygonStorageImportPLY().import(dir + name + ".ply", mesh);
      got = {static_cast<int>(mesh.Vertices.size()), static_cast<int>(mesh.Polygons.size())};
    } catch (const FileError&) {
    }
    EXPECT_EQ(got, expected) << name;
  }
}

// A size of 0 makes a volume without voxels, however large the other two sizes: reading,
// extracting and writing it must not walk the empty grid (these once ran for hours). XSize *
// YSize is kept as an int even when ZSize is 0: a plane too large for it is refused.
TEST(VolumeReadBounds, ZeroSizeWithHugeOtherSizesIsAnEmptyVolumeHandledAtOnce) {
  testfiles::ScratchDir dir;
  const std::string path = dir.file("empty.vol"), saved = dir.file("saved.vol");
  for (const std::array<std::int32_t, 3>& sizes :
       std::vector<std::array<std::int32_t, 3>>{{0, INT_MAX, INT_MAX}, {INT_MAX, 0, INT_MAX}, {INT_MAX, INT_MAX, 0}}) {
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
