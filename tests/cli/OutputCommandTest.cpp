// What the commands write: clean output by default and byte for byte what they always wrote with
// --raw, sizes in model units, the quality report and the solver decks.
#include <gtest/gtest.h>

#include "CliRunner.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string Meshes = std::string(TESSELLOR_SHARED_DIR) + "/meshes/";

bool haveSharedMeshes() { return fileExists(Meshes + "fandisk.ply"); }

std::uint64_t fnv1a(const std::string& bytes) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ull;
  return h;
}

// The number after "key": in a JSON text (the report has one key per name at its top level,
// nested objects are looked up by their own key).
double jsonNumber(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": ");
  if (at == std::string::npos) return NAN;
  const std::string rest = json.substr(at + key.size() + 4);
  if (rest.rfind("true", 0) == 0) return 1;
  if (rest.rfind("false", 0) == 0) return 0;
  return std::strtod(rest.c_str(), nullptr);
}

int countLinesStarting(const std::string& text, const std::string& prefix) {
  int count = 0;
  for (const std::string& line : lines(text))
    if (line.rfind(prefix, 0) == 0) ++count;
  return count;
}

}  // namespace

TEST(OutputRaw, IsByteForByteWhatTheCommandsWroteBefore) {
  if (!haveSharedMeshes()) GTEST_SKIP() << "no shared meshes";
  // Hashes of the files the command line wrote before clean output became the default.
  struct Case {
    const char* Mesh;
    bool Features;
    const char* Extension;
    std::uint64_t Hash;
  };
  const Case cases[] = {{"sphere", false, "ply", 0x67f9552c24c58312ull},
                        {"fandisk", true, "obj", 0xcd9e426cccbd7641ull},
                        {"joint", false, "pc", 0x8eef0453fbcc5871ull}};
  for (const Case& c : cases) {
    const std::string out = scratchPath(std::string("raw.") + c.Extension), volume = scratchPath("raw.vol");
    std::vector<std::string> args = {"remesh",  Meshes + c.Mesh + ".ply", "-o",  out, "--raw", "--mode", "classic",
                                     "--quiet", "--save-volume",          volume};
    if (c.Features) args.push_back("--features");
    const CliRun run = runCli(args);
    ASSERT_EQ(run.Exit, 0) << describe(run);
    EXPECT_EQ(fnv1a(readFile(out)), c.Hash) << c.Mesh << "." << c.Extension;
    // The second half alone writes the same bytes from the saved volume.
    const std::string again = scratchPath(std::string("again.") + c.Extension);
    ASSERT_EQ(runCli({"mesh", volume, "-o", again, "--raw", "--quiet"}).Exit, 0);
    EXPECT_EQ(readFile(again), readFile(out)) << c.Mesh;
    for (const std::string& path : {out, volume, again}) std::remove(path.c_str());
  }
}

TEST(OutputClean, RemeshWritesASoundMeshItsReportAndDecksWithTheSameCounts) {
  if (!haveSharedMeshes()) GTEST_SKIP() << "no shared meshes";
  const std::string ply = scratchPath("clean.ply"), report = scratchPath("report.json");
  // The CAD part with sharp features: its raw output holds hundreds of degenerate quads.
  const CliRun run = runCli({"remesh", Meshes + "fandisk.ply", "--features", "-o", ply, "--report", report, "--quiet"});
  ASSERT_EQ(run.Exit, 0) << describe(run);
  EXPECT_EQ(run.Err.rfind("Quality: ", 0), 0u) << "a summary on standard error: " << run.Err;

  const CliRun measured = runCli({"quality", ply, "--json"});
  ASSERT_EQ(measured.Exit, 0) << describe(measured);
  const std::string& json = measured.Out;
  EXPECT_EQ(jsonNumber(json, "used_vertices"), jsonNumber(json, "vertices")) << json;
  EXPECT_EQ(jsonNumber(json, "polygons"), jsonNumber(json, "polygon_entries")) << json;
  for (const char* zero : {"repeated_vertex_polygons", "open_edges", "non_manifold_edges", "non_manifold_vertices",
                           "quads_nonpositive_jacobian", "triangles_nonpositive_jacobian"})
    EXPECT_EQ(jsonNumber(json, zero), 0) << zero << "\n" << json;
  EXPECT_EQ(jsonNumber(json, "consistently_oriented"), 1);
  EXPECT_EQ(jsonNumber(json, "euler_characteristic"), 2);
  EXPECT_GT(jsonNumber(json, "quad_share"), 0.9);

  // The report of the run measured the same mesh, and the distance to the input in voxels.
  const std::string full = readFile(report);
  EXPECT_EQ(jsonNumber(full, "polygons"), jsonNumber(json, "polygons"));
  EXPECT_LT(jsonNumber(full.substr(full.find("distance_to_reference")), "max_voxels"), 1.0) << full;

  // The decks hold one node per vertex and one element per polygon.
  const std::string inp = scratchPath("clean.inp"), bdf = scratchPath("clean.txt");
  ASSERT_EQ(runCli({"convert", ply, "-o", inp, "--quiet"}).Exit, 0);
  ASSERT_EQ(runCli({"convert", ply, "-o", bdf, "--format", "bdf", "--quiet"}).Exit, 0);
  const std::string abaqus = readFile(inp), nastran = readFile(bdf);
  const int nodes = static_cast<int>(jsonNumber(json, "vertices")),
            elements = static_cast<int>(jsonNumber(json, "polygons"));
  const std::string abaqusNodes =
      abaqus.substr(abaqus.find("*NODE\n"), abaqus.find("*ELEMENT") - abaqus.find("*NODE\n"));
  EXPECT_EQ(static_cast<int>(lines(abaqusNodes).size()) - 1, nodes);
  EXPECT_EQ(countLinesStarting(nastran, "GRID*"), nodes);
  EXPECT_EQ(countLinesStarting(nastran, "CQUAD4") + countLinesStarting(nastran, "CTRIA3"), elements);
  for (const std::string& path : {ply, report, inp, bdf}) std::remove(path.c_str());
}

TEST(OutputSizing, ElementSizeAndFaceCountHitTheirTargets) {
  if (!haveSharedMeshes()) GTEST_SKIP() << "no shared meshes";
  // fandisk spans about 1.45 units, the sphere about 1.73.
  struct Case {
    const char* Mesh;
    const char* Option;
    double Target;
  };
  const Case cases[] = {{"fandisk", "--element-size", 0.03},
                        {"sphere", "--element-size", 0.02},
                        {"fandisk", "--target-faces", 3000},
                        {"sphere", "--target-faces", 12000}};
  for (const Case& c : cases) {
    const std::string out = scratchPath("sized.ply"), report = scratchPath("sized.json");
    char target[32];
    std::snprintf(target, sizeof target, "%g", c.Target);
    const CliRun run =
        runCli({"remesh", Meshes + c.Mesh + ".ply", c.Option, target, "-o", out, "--report", report, "--quiet"});
    ASSERT_EQ(run.Exit, 0) << describe(run);
    const std::string json = readFile(report);
    const bool bySize = std::string(c.Option) == "--element-size";
    const double got =
        bySize ? jsonNumber(json.substr(json.find("edge_length")), "median") : jsonNumber(json, "polygons");
    EXPECT_NEAR(got / c.Target, 1.0, bySize ? 0.15 : 0.20) << c.Mesh << " " << c.Option << " " << target;
    for (const std::string& path : {out, report}) std::remove(path.c_str());
  }
}

TEST(OutputSizing, OneSizeAtATimeAndNoneBeyondMemory) {
  if (!haveSharedMeshes()) GTEST_SKIP() << "no shared meshes";
  const std::string out = scratchPath("never.ply");
  const CliRun both =
      runCli({"remesh", Meshes + "sphere.ply", "--max-voxels", "1000", "--target-faces", "10", "-o", out});
  EXPECT_EQ(both.Exit, 2) << describe(both);
  // Voxels of a micrometre on a part of two units: far beyond any memory, refused at once.
  const CliRun huge = runCli({"remesh", Meshes + "sphere.ply", "--element-size", "1e-6", "-o", out});
  EXPECT_EQ(huge.Exit, 1) << describe(huge);
  EXPECT_NE(huge.Err.find("Cannot size the volume: voxels of edge"), std::string::npos) << describe(huge);
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address space limit that bounds the memory does not work with AddressSanitizer";
#endif
  // The unit sphere in voxels of about 0.0022: some 450^3 of them, more than 512 MiB hold.
  const CliRun tooMany =
      runCli({"remesh", Meshes + "sphere.ply", "--element-size", "0.002", "-o", out}, CliLimits{512, -1, 60, ""});
  EXPECT_EQ(tooMany.Exit, 1) << describe(tooMany);
  EXPECT_NE(tooMany.Err.find("Cannot allocate a volume of"), std::string::npos) << describe(tooMany);
  EXPECT_NE(tooMany.Err.find("MiB needed"), std::string::npos) << describe(tooMany);
  EXPECT_FALSE(fileExists(out));
}
