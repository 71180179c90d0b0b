// The whole pipeline, import to smoothed output, and what it produces.
//
// Stage table: fandisk.ply and bunny.ply of ../shared/meshes at 10^5, 10^6 and 10^7 voxels with
// sharp features on. Each configuration runs in a fresh process (this program started again), so
// its peak resident set (ru_maxrss) is its own; the stage times are those of the task frames,
// taken by a status output that times every beginTask / endTask pair by name. "untasked" is the
// rest of the run: fitting, volume allocation, extractor set-up, feature transfer.
//
// Quality table: every mesh of ../shared/meshes at 10^5 and 10^6 voxels, sharp features off and
// on: closed and consistently oriented or not (Marching Cubes mesh and output), the output's
// shares of quads and of valence-4 vertices, and with features the share of feature-marked output
// vertices within 0.1 voxel of a sharp input edge.
//
// Run: build/bench/pipeline_bench [stages] [quality]   (both tables by default)
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "PlyFiles.h"
#include "RemeshMeasurement.h"
#include "mesh/PolygonStorageImportPLY.h"
#include "pipeline/QuadDominantTessellor.h"
#include "base/NullOutput.h"
#include "base/TessellorError.h"

using namespace tessellor;

namespace {

const std::string MeshDir = std::string(TESSELLOR_SHARED_DIR) + "/meshes/";

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Times every task frame by name (tasks do not nest) and keeps the volume size line.
class StageTimes final : public StatusOutput {
 public:
  void writeLine(const char* text) override {
    if (std::strncmp(text, "Volume Size ", 12) == 0) VolumeSize = text + 12;
  }
  void setProgress(int) override {}
  void beginTask(const char* name) override {
    Current = name;
    Start = Clock::now();
  }
  void endTask() override { Ms[Current] += msSince(Start); }

  std::map<std::string, double> Ms;
  std::string VolumeSize;

 private:
  std::string Current;
  Clock::time_point Start;
};

// The stages in pipeline order: task name and column title.
const std::vector<std::pair<std::string, std::string>> Stages{{"Importing", "import"},
                                                              {"Voxelization", "voxelize"},
                                                              {"Sharp features", "features"},
                                                              {"Marching", "marching"},
                                                              {"Constructing Dual Surface", "dual"},
                                                              {"Reducing polygon degree", "degree"},
                                                              {"Removing rhombus polygons", "rhombus"},
                                                              {"Smoothing", "smooth"}};

// Loads a mesh into the controller and fits it into 50 x 50 x 50, as "Open" does.
void load(QuadDominantTessellor& c, const std::string& path, StatusOutput* log) {
  PolygonStorageImportPLY importer;
  importer.setStatusOutput(log);
  importer.import(path, c.getInputMesh());
  if (c.getInputMesh().Vertices.empty() || !c.getInputMesh().fitIntoVolume(50, 50, 50))
    throw ProcessingError("cannot be fitted into 50 x 50 x 50");
}

// Child process: one timed run, reported as one line of "key value" pairs on standard output.
int runStagesChild(const std::string& path, int budget) {
  try {
    StageTimes times;
    const Clock::time_point start = Clock::now();
    auto c = std::make_unique<QuadDominantTessellor>();
    c->setStatusOutput(&times);
    load(*c, path, &times);
    c->setMaxVoxels(budget);
    c->setDetectSharpFeatures(true);
    c->remesh();
    const double total = msSince(start);
    int polygons = 0, quads = 0, mcPolygons = 0;
    for (const VertexIDList& polygon : c->getOutputMesh().Polygons) {
      polygons += !polygon.empty();
      quads += polygon.size() == 4;
    }
    for (const VertexIDList& polygon : c->getMCMesh().Polygons) mcPolygons += !polygon.empty();
    std::printf("volume %s\n", times.VolumeSize.c_str());
    for (const auto& stage : Stages) std::printf("%s\n%.1f\n", stage.first.c_str(), times.Ms[stage.first]);
    std::printf("total\n%.1f\nmc\n%d\npolygons\n%d\nquads\n%d\n", total, mcPolygons, polygons, quads);
    return 0;
  } catch (const std::exception& e) {
    std::printf("error %s\n", e.what());
    return 1;
  }
}

struct ChildResult {
  std::string Text;
  long MaxRssKb = 0;
  bool Ok = false;
};

// Runs this program again with args, collecting its standard output and its peak resident set.
ChildResult runChild(const std::vector<std::string>& args) {
  ChildResult result;
  int out[2];
  if (pipe(out) != 0) return result;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    std::vector<std::string> own{"/proc/self/exe"};
    own.insert(own.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : own) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    execv("/proc/self/exe", argv.data());
    _exit(127);
  }
  close(out[1]);
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
    result.Text.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  struct rusage usage;
  if (child > 0 && wait4(child, &status, 0, &usage) == child) {
    result.MaxRssKb = usage.ru_maxrss;
    result.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return result;
}

void stageTable(const std::vector<std::string>& meshes) {
  std::printf("| mesh | voxels | volume |");
  for (const auto& stage : Stages) std::printf(" %s |", stage.second.c_str());
  std::printf(" untasked | total ms | peak RSS MiB | MC polygons | output polygons | quads |\n|---|---:|---|");
  for (std::size_t i = 0; i < Stages.size(); ++i) std::printf("---:|");
  std::printf("---:|---:|---:|---:|---:|---:|\n");
  for (const std::string& name : meshes) {
    for (int budget : {100000, 1000000, 10000000}) {
      const ChildResult child = runChild({"--stages-child", MeshDir + name, std::to_string(budget)});
      if (!child.Ok) {
        std::printf("| %s | %d | failed: %s |\n", name.c_str(), budget, child.Text.c_str());
        continue;
      }
      // "volume X x Y x Z" on the first line, then name / value lines.
      std::istringstream in(child.Text);
      std::string line, volume;
      std::getline(in, volume);
      volume = volume.substr(volume.find(' ') + 1);
      std::map<std::string, double> value;
      for (std::string key; std::getline(in, key) && std::getline(in, line);) value[key] = std::atof(line.c_str());
      double tasked = 0;
      std::printf("| %s | %d | %s |", name.c_str(), budget, volume.c_str());
      for (const auto& stage : Stages) {
        std::printf(" %.0f |", value[stage.first]);
        tasked += value[stage.first];
      }
      const int polygons = static_cast<int>(value["polygons"]), quads = static_cast<int>(value["quads"]);
      std::printf(" %.0f | %.0f | %.0f | %d | %d | %s |\n", value["total"] - tasked, value["total"],
                  static_cast<double>(child.MaxRssKb) / 1024.0, static_cast<int>(value["mc"]), polygons,
                  remeshmeasure::share(quads, polygons).c_str());
      std::fflush(stdout);
    }
  }
}

void qualityTable(const std::vector<std::string>& meshes) {
  remeshmeasure::printHeader();
  for (const std::string& name : meshes) {
    for (int budget : {100000, 1000000}) {
      for (bool features : {false, true}) {
        try {
          auto c = remeshmeasure::remeshed(MeshDir + name, budget, features, VoxelizationMode::Classic);
          remeshmeasure::printRow(name, budget, remeshmeasure::measure(*c, features));
        } catch (const TessellorError& e) {
          std::printf("| %s | %d | %s | cannot be remeshed: %s | | | | | |\n", name.c_str(), budget,
                      features ? "on" : "off", e.what());
        }
        std::fflush(stdout);
      }
    }
  }
}

std::vector<std::string> sharedMeshes() { return plyFilesIn(MeshDir); }

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--stages-child") == 0) return runStagesChild(argv[2], std::atoi(argv[3]));

  bool stages = argc == 1, quality = argc == 1;
  for (int i = 1; i < argc; ++i) {
    stages = stages || std::strcmp(argv[i], "stages") == 0;
    quality = quality || std::strcmp(argv[i], "quality") == 0;
  }
  const std::vector<std::string> meshes = sharedMeshes();
  if (meshes.empty()) {
    std::printf("skipped: %s holds no meshes\n", MeshDir.c_str());
    return 0;
  }
  if (stages) {
    std::vector<std::string> timed;
    for (const char* name : {"fandisk.ply", "bunny.ply"})
      if (std::find(meshes.begin(), meshes.end(), name) != meshes.end()) timed.push_back(name);
    std::printf("Stage times in ms (task frames), sharp features on:\n\n");
    stageTable(timed);
    std::printf("\n");
  }
  if (quality) {
    std::printf("Quality over the shared meshes:\n\n");
    qualityTable(meshes);
  }
  return 0;
}
