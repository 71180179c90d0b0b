#pragma once

#include "extract/MarchingCubes33.h"
#include "mesh/PolygonStorage.h"
#include "base/StatusOutput.h"
#include "support/TestMeshes.h"
#include "volume/VolumeStorageDF.h"

#include <string>
#include <vector>

using namespace tessellor;

// Keeps every log line and every progress call, repeated values included.
class FullOutput final : public StatusOutput {
 public:
  void writeLine(const char* text) override { Lines.emplace_back(text); }
  void setProgress(int percent) override { Progress.push_back(percent); }
  void beginTask(const char* name) override {
    Tasks.emplace_back(name);
    ++Open;
  }
  void endTask() override { --Open; }

  std::vector<std::string> Lines;
  std::vector<int> Progress;
  std::vector<std::string> Tasks;
  int Open = 0;
};

// Opens the extractor's internals to the tests.
class ProbeMC33 : public MarchingCubes33 {
 public:
  ProbeMC33() : MarchingCubes33(-1, -1, -1) {}
  using MarchingCubes33::_case;
  using MarchingCubes33::_config;
  using MarchingCubes33::_cube;
  using MarchingCubes33::_lutEntry;
  using MarchingCubes33::_maxVertexCapacity;
  using MarchingCubes33::_sizeX;
  using MarchingCubes33::_subconfig;
  using MarchingCubes33::processCube;
  using MarchingCubes33::testFace;
  using MarchingCubes33::testInterior;

  void setCube(std::uint8_t caseNumber, std::uint8_t config, const float (&values)[8]) {
    _case = caseNumber;
    _config = config;
    _subconfig = 0;
    for (int p = 0; p < 8; ++p) _cube[p] = values[p];
  }
};

// A volume of the given sizes with every distance set to fill (features unset).
inline void makeVolume(VolumeStorageDF& volume, int nx, int ny, int nz, float fill) {
  volume.resize(nx, ny, nz);
  volume.clear();
  for (VoxelData& v : volume.Voxels) v.Distance = fill;
}

inline void setDistance(VolumeStorageDF& volume, int x, int y, int z, float d) {
  volume.Voxels[volume.index(x, y, z)].Distance = d;
}

// release, initialize, extract: the sequence the controller runs.
inline void runExtraction(MarchingCubes33& mc, const VolumeStorageDF& volume, PolygonStorage& mesh,
                          StatusOutput* output) {
  mc.setVolume(&volume);
  mc.setMesh(&mesh);
  mc.setStatusOutput(output);
  mesh.setStatusOutput(output);
  mc.release();
  mc.initialize();
  mc.extract();
}

inline int subcaseIndex(const std::string& name) {
  for (int s = 0; s < MarchingCubes33::SubcaseCount; ++s)
    if (name == MarchingCubes33::SubcaseNames[s]) return s;
  return -1;
}

inline int statistic(const MarchingCubes33& mc, const std::string& name) {
  return mc.caseStatistics(subcaseIndex(name));
}

inline int statisticsTotal(const MarchingCubes33& mc) {
  int total = 0;
  for (int s = 0; s < MarchingCubes33::SubcaseCount; ++s) total += mc.caseStatistics(s);
  return total;
}
