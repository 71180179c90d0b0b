// End-to-end remeshing: input mesh -> volume -> Marching Cubes mesh -> quad-dominant output,
// measured by the benchmarks' harness (bench/RemeshMeasurement.h).

#include "RemeshMeasurement.h"
#include "support/RecordingOutput.h"
#include "support/TestFiles.h"
#include "tessellor/Tessellor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>

using namespace tessellor;

namespace {

const std::string MeshDir = testfiles::sharedDir() + "/meshes/";
const testmeshes::MeshData Torus = testmeshes::torus(48, 24);

}  // namespace

// Closed meshes of known genus, in the classic and exact modes: the output is closed, consistently
// oriented outwards and of the input's Euler characteristic, made of triangles and quads with
// current indices. In the classic mode so is the Marching Cubes mesh; in the exact mode a lattice
// point 1 to 1.9 voxels from the surface may take a farther triangle's side and leave a hole,
// which the dual closes. Every other shared mesh, sharp features off and on (the meshes of quads
// in the robust mode: the others refuse them): triangles and quads with current indices. Prints
// the measured table.
TEST(Remesh, ClosedMeshesStayClosedAndEveryMeshGivesTrianglesAndQuads) {
  struct Case {
    std::string Name;
    int Voxels;
    VoxelizationMode Mode;
    int Euler;  // INT_MIN: not necessarily closed
    bool Features = false;
  };
  const VoxelizationMode classic = VoxelizationMode::Classic, exact = VoxelizationMode::Exact;
  std::vector<Case> cases{{"generated torus", 100000, classic, 0}, {"generated torus", 1000000, classic, 0}};
  if (testfiles::fileExists(MeshDir + "sphere.ply")) {
    for (int voxels : {100000, 1000000})
      for (Case c : {Case{"sphere.ply", voxels, classic, 2}, Case{"knot.ply", voxels, classic, 0},
                     Case{"knot.ply", voxels, exact, 0}, Case{"joint.ply", voxels, exact, -2}})
        cases.push_back(c);
    for (const std::string& path : testfiles::filesIn(MeshDir))
      if (path.size() > 4 && path.compare(path.size() - 4, 4, ".ply") == 0)
        for (bool features : {false, true})
          cases.push_back({path.substr(MeshDir.size()), 100000,
                           path.find("_quad") == std::string::npos ? classic : VoxelizationMode::Robust, INT_MIN,
                           features});
  }
  remeshmeasure::printHeader();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name + " at " + std::to_string(c.Voxels) + ", " + voxelizationModeName(c.Mode) +
                 (c.Features ? ", features" : ""));
    RecordingOutput log;
    const bool generated = c.Name == "generated torus";
    auto controller =
        remeshmeasure::remeshed(MeshDir + c.Name, c.Voxels, c.Features, c.Mode, &log, generated ? &Torus : nullptr);
    const remeshmeasure::Measurement m = remeshmeasure::measure(*controller, c.Features);
    remeshmeasure::printRow(c.Name, c.Voxels, m);
    EXPECT_EQ(m.BadPolygons, 0) << "polygons with other than three or four corners";
    EXPECT_TRUE(m.Integrity) << "checkIntegrity";
    EXPECT_EQ(log.hasLine("Distance mode: exact"), c.Mode == exact);
    if (c.Euler == INT_MIN) continue;
    EXPECT_EQ(m.InputEuler, c.Euler);
    EXPECT_TRUE(m.OutputClosed) << m.Problem;
    EXPECT_EQ(m.OutputEuler, c.Euler);
    EXPECT_GT(m.OutputVolume, 0.0) << "the output faces outwards";
    EXPECT_GT(m.Polygons, 500);
    if (c.Mode == exact) continue;
    EXPECT_TRUE(m.McClosed) << m.Problem;
    EXPECT_EQ(m.McEuler, c.Euler);
    EXPECT_GT(m.McVolume, 0.0);
  }
}

// Through the public functions: the output lies where the input was (the dual takes the extracted
// mesh's frame; a sharp edge is cut back by up to two voxels) and the two halves give what the
// whole run gives. The results of the default
// pipeline are compared byte for byte with reference results, so they are pinned here: the log
// (durations left out), the progress calls, the output, the Marching Cubes mesh and the volume
// file, for meshes that reach every stage, the sharp features and the exact mode.
TEST(Remesh, PublicFunctionsKeepTheFrameAndTheResultsArePinned) {
  struct Case {
    const char* Name;
    testmeshes::MeshData Mesh;
    RemeshOptions Options;
    std::uint64_t Pin;
  };
  std::vector<Case> cases{
      {"torus", Torus, RemeshOptions{20000}, 0x3cb006b42b83a791},
      {"octahedron, features", testmeshes::octahedron(), RemeshOptions{30000, 0, 0, true, 0.34f}, 0x325702ac10c10830},
      {"sharp prism, exact, features", testmeshes::sharpPrism(),
       RemeshOptions{50000, 0, 0, true, 0.5f, VoxelizationMode::Exact}, 0x638151727d562905},
      {"open cube, features", testmeshes::triangulated(testmeshes::allMeshes()[7]), RemeshOptions{20000, 0, 0, true},
       0x8d32fa9642f7ed1e}};
  testfiles::ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    PolygonStorage input, output, halves, mc;
    testmeshes::build(input, c.Mesh);
    RecordingOutput log;
    VolumeStorageDF volume;
    remesh(input, output, c.Options, &log, &volume);
    EXPECT_EQ(testmeshes::indexFault(input), "") << "the input is not changed";
    volumeToMesh(volume, halves, nullptr, &mc);
    EXPECT_EQ(testmeshes::meshDifference(halves, output), "");
    // Lists only: the same vertex positions, attributes and polygons, without indices.
    PolygonStorage lists;
    RemeshOptions listsOnly = c.Options;
    listsOnly.outputListsOnly = true;
    remesh(input, lists, listsOnly);
    EXPECT_TRUE(lists.VIndex.empty() && lists.Midpoints.empty() && lists.EdgeIndex.size() == 0);
    EXPECT_EQ(lists.Polygons, output.Polygons);
    ASSERT_EQ(lists.Vertices.size(), output.Vertices.size());
    for (std::size_t v = 0; v < lists.Vertices.size(); ++v) {
      const Vertex &a = lists.Vertices[v], &b = output.Vertices[v];
      ASSERT_TRUE(a.pos.x == b.pos.x && a.pos.y == b.pos.y && a.pos.z == b.pos.z && a.attr == b.attr) << v;
    }
    V3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (std::size_t v = 0; v < output.Vertices.size(); ++v) {
      const V3 p = output.fileCoordinates(output.Vertices[v].pos);
      if (output.VIndex[v].empty()) continue;
      lo = V3{std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = V3{std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    const V3 &inLo = input.BBoxMin, &inHi = input.BBoxMax;
    for (auto [got, was] : {std::pair{lo.x, inLo.x}, {lo.y, inLo.y}, {lo.z, inLo.z}, {hi.x, inHi.x}, {hi.z, inHi.z}})
      EXPECT_NEAR(got, was, 2.5f * volume.getScale()) << "the output lies where the input was";
    std::string record;
    for (const std::string& line : log.Lines)
      if (line.rfind("Duration: ", 0) != 0) record += line + "\n";
    for (int p : log.ProgressCalls) record += std::to_string(p) + " ";
    writeMesh(dir.file("out.ply"), output);
    writeMesh(dir.file("mc.ply"), mc);
    writeVolume(dir.file("volume.vol"), volume);
    for (const char* file : {"out.ply", "mc.ply", "volume.vol"}) record += testfiles::readFile(dir.file(file));
    const std::uint64_t pin = testmeshes::hashOf(record.data(), record.size());
    EXPECT_EQ(pin, c.Pin) << std::hex << "0x" << pin;
  }
}
