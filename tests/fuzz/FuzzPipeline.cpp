// The whole pipeline on a small fuzzed mesh: the first byte chooses the settings (sharp features,
// threshold, distance mode, voxel budget), the rest is a PLY file. Any input either is refused
// with an error or runs both halves to an output mesh whose indices are consistent.
#include "FuzzSupport.h"

#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "base/TessellorError.h"
#include "support/TestMeshes.h"

using namespace tessellor;

// The volume takes what its budget allows, whatever the file's size.
long long fuzzMemoryBound(std::size_t) { return -1; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  silenceDiagnostics();
  const std::uint8_t settings = data[0];
  const std::string path = writeScratchFile(data + 1, size - 1, ".ply");

  NullOutput output;
  QuadDominantTessellor controller;
  controller.setStatusOutput(&output);
  PolygonStorageImportPLY importer;
  importer.setStatusOutput(&output);
  PolygonStorage& input = controller.getInputMesh();
  try {
    importer.import(path, input);
  } catch (const FileError&) {
    return 0;
  }
  if (!input.fitIntoVolume(50, 50, 50)) return 0;

  // Budget capped at a few thousand voxels so one input stays fast.
  controller.setMaxVoxels(500 + 200 * (settings >> 4));
  controller.setDetectSharpFeatures((settings & 1) != 0);
  if (settings & 2) controller.setThresholdPsi((settings & 4) ? 0.9f : -0.5f);
  // Bit 8 leaves the classic mode; bit 16 (also part of the budget) then picks robust over exact.
  controller.setVoxelizationMode((settings & 8) == 0    ? VoxelizationMode::Classic
                                 : (settings & 16) != 0 ? VoxelizationMode::Robust
                                                        : VoxelizationMode::Exact);
  try {
    controller.volumeFromInputMesh();
    controller.outputMeshFromVolume();
  } catch (const TessellorError&) {
    return 0;
  }
  PolygonStorage& result = controller.getOutputMesh();
  FUZZ_CHECK(testmeshes::indexFault(result).empty());
  FUZZ_CHECK(result.checkIntegrity());
  return 0;
}
