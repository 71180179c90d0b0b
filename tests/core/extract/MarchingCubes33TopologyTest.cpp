#include "ExtractTestSupport.h"

#include "base/Diagnostics.h"
#include "support/DiagnosticsCapture.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <utility>

using namespace tessellor;

namespace {

// FewValues repeats four magnitudes whose products never tie (P*R == Q*S on a face would make
// both cubes of the face answer true whatever the sense of their face code).
enum class Values { Uniform, FewValues, WithZeros };

// Random corner values of both signs inside, positive on the grid border, no marks.
void randomVolume(VolumeStorageDF& volume, int n, Values kind, std::mt19937& rng) {
  makeVolume(volume, n, n, n, 1.0f);
  std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
  std::uniform_int_distribution<int> pick(0, 3);
  const float few[4] = {-1.3f, -0.7f, 0.4f, 1.9f};
  for (int z = 1; z < n - 1; ++z)
    for (int y = 1; y < n - 1; ++y)
      for (int x = 1; x < n - 1; ++x) {
        float v = 0.0f;
        switch (kind) {
          case Values::Uniform:
            v = uniform(rng);
            break;
          case Values::FewValues:
            v = few[pick(rng)];
            break;
          case Values::WithZeros:
            v = pick(rng) == 0 ? 0.0f : uniform(rng);
            break;
        }
        setDistance(volume, x, y, z, v);
      }
}

// Extracts many random volumes: each mesh must be closed and oriented, and together they must
// reach every sub-case that the face and interior tests can select.
TEST(MarchingCubes33Topology, RandomVolumesGiveClosedOrientedSurfacesAndReachEverySubcase) {
  std::mt19937 rng(20260512u);
  int reached[MarchingCubes33::SubcaseCount] = {};
  DiagnosticsCapture capture;
  MarchingCubes33 mc(-1, -1, -1);
  int volumes = 0;
  for (Values kind : {Values::Uniform, Values::FewValues, Values::WithZeros}) {
    for (int run = 0; run < 150; ++run, ++volumes) {
      VolumeStorageDF volume;
      randomVolume(volume, 9, kind, rng);
      PolygonStorage mesh;
      FullOutput output;
      runExtraction(mc, volume, mesh, &output);
      const std::string fault = testmeshes::closedOrientedFault(mesh);
      ASSERT_TRUE(fault.empty()) << "volume " << volumes << ": " << fault;
      for (const std::string& line : output.Lines)
        ASSERT_EQ(line.find("Returning -1"), std::string::npos) << "volume " << volumes << ": " << line;
      ASSERT_EQ(statisticsTotal(mc), 8 * 8 * 8) << "volume " << volumes;
      for (int s = 0; s < MarchingCubes33::SubcaseCount; ++s) reached[s] += mc.caseStatistics(s);
    }
  }
  EXPECT_EQ(capture.Text, "") << "no diagnostics with consistent tables";

  // With At = 0 on the reference edge, after the face tests have passed, these four tilings can
  // never be selected.
  const std::set<std::string> unreachable = {"6.1.2", "7.4.2", "12.1.2", "13.5.2"};
  for (int s = 0; s < MarchingCubes33::SubcaseCount; ++s) {
    const std::string name = MarchingCubes33::SubcaseNames[s];
    if (unreachable.count(name))
      EXPECT_EQ(reached[s], 0) << "sub-case " << name;
    else
      EXPECT_GT(reached[s], 0) << "sub-case " << name << " never reached";
  }
}

}  // namespace
