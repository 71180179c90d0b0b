// Stopping the pipeline through its interrupter: wherever the stop comes, the call throws
// Cancelled and what it would fill stays exactly as it was; another thread can stop a running
// remesh.
#include "support/RecordingOutput.h"
#include "support/TestMeshes.h"
#include "tessellor/Tessellor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace tessellor;

namespace {

// Stops at the n-th poll (never when n is 0) and notes, per poll, the task the log had open.
class CountingInterrupter : public NullInterrupter {
 public:
  CountingInterrupter(const RecordingOutput& log, long long stopAt) : Log(log), StopAt(stopAt) {}
  void start(const char* name) override { Steps.push_back(name); }
  bool wasInterrupted(int) override {
    ++Polls;
    OpenTask.push_back(Log.Busy && !Log.Tasks.empty() ? Log.Tasks.back() : "");
    return Polls == StopAt;
  }

  const RecordingOutput& Log;
  long long StopAt;
  long long Polls = 0;
  std::vector<std::string> Steps;
  std::vector<std::string> OpenTask;
};

// An output and a volume that a stopped call must give back untouched.
struct Targets {
  PolygonStorage Output;
  VolumeStorageDF Volume;

  Targets() {
    testmeshes::build(Output, testmeshes::octahedron({1, 2, 3}, 4.0f));
    Volume.resize(2, 3, 4);
    Volume.clear();
    Volume.Scale = 0.5f;
  }
  void expectUntouched(const std::string& when) const {
    ASSERT_EQ(Output.Vertices.size(), 6u) << when;
    EXPECT_EQ(Output.Polygons.size(), 8u) << when;
    EXPECT_EQ(Output.Vertices[0].pos.x, 5.0f) << when;
    EXPECT_EQ(Output.VIndex.size(), 6u) << when;
    EXPECT_EQ(Volume.XSize * Volume.YSize * Volume.ZSize, 24) << when;
    EXPECT_EQ(Volume.Scale, 0.5f) << when;
  }
};

// Triangles with sharp edges (neighbouring normals at cos 1/3), so that every stage has work.
void sharpInput(PolygonStorage& input) { testmeshes::build(input, testmeshes::octahedron({0, 0, 0}, 1.0f)); }

RemeshOptions options() {
  RemeshOptions o;
  o.maxVoxels = 30000;
  o.detectSharpFeatures = true;
  o.thresholdPsi = 0.5f;
  return o;
}

}  // namespace

TEST(Interrupter, StopInAnyStageLeavesOutputAndVolumeAsTheyWere) {
  PolygonStorage input;
  sharpInput(input);
  // One thread, so that the polls come in one order (the counter is not thread-safe).
  const int threads = threadCount();
  setThreadCount(1);

  // A full run: every stage polls, and the run is bracketed as its two steps.
  RecordingOutput fullLog;
  CountingInterrupter counter(fullLog, 0);
  PolygonStorage full;
  remesh(input, full, options(), &fullLog, nullptr, &counter);
  ASSERT_GT(full.Polygons.size(), 100u);
  EXPECT_EQ(counter.Steps, (std::vector<std::string>{"Input Mesh -> Volume", "Volume -> Output Mesh"}));
  std::map<std::string, long long> firstPoll;
  for (long long i = 0; i < counter.Polls; ++i) firstPoll.emplace(counter.OpenTask[static_cast<std::size_t>(i)], i + 1);
  for (const char* stage : {"Voxelization", "Sharp features", "Marching", "Constructing Dual Surface",
                            "Reducing polygon degree", "Removing rhombus polygons", "Smoothing"})
    EXPECT_EQ(firstPoll.count(stage), 1u) << stage << " never asks whether to stop";

  // Stopped at the first poll of every stage, and at the very last poll.
  std::set<long long> stops{counter.Polls};
  for (const auto& entry : firstPoll) stops.insert(entry.second);
  for (long long stopAt : stops) {
    RecordingOutput log;
    CountingInterrupter stop(log, stopAt);
    Targets targets;
    const std::string when = "stopped at poll " + std::to_string(stopAt) + " (" +
                             counter.OpenTask[static_cast<std::size_t>(stopAt - 1)] + ")";
    EXPECT_THROW(remesh(input, targets.Output, options(), &log, &targets.Volume, &stop), Cancelled) << when;
    targets.expectUntouched(when);
    EXPECT_EQ(stop.Polls, stopAt) << when << ": no poll after the stop";
  }
  setThreadCount(threads);
}

TEST(Interrupter, HalvesStopAndGiveTheVolumeBack) {
  PolygonStorage input;
  sharpInput(input);
  FlagInterrupter stop;
  stop.interrupt();
  Targets targets;
  EXPECT_THROW(meshToVolume(input, targets.Volume, options(), nullptr, &stop), Cancelled);
  VolumeStorageDF volume;
  meshToVolume(input, volume, options());
  const std::size_t voxels = volume.Voxels.size();
  EXPECT_THROW(volumeToMesh(volume, targets.Output, nullptr, nullptr, &stop), Cancelled);
  targets.expectUntouched("halves");
  EXPECT_EQ(volume.Voxels.size(), voxels) << "the lent volume is given back";
}

TEST(Interrupter, AnotherThreadStopsARunningRemesh) {
  PolygonStorage input;
  sharpInput(input);
  RemeshOptions large = options();
  large.maxVoxels = 2000000;  // long enough that the stop comes while it runs
  large.mode = VoxelizationMode::Robust;

  // Raises the flag from another thread once the run has started polling.
  class Watched : public FlagInterrupter {
   public:
    bool wasInterrupted(int percent) override {
      Polled = true;
      return FlagInterrupter::wasInterrupted(percent);
    }
    std::atomic<bool> Polled{false};
  } stop;
  std::thread stopper([&stop] {
    while (!stop.Polled) std::this_thread::yield();
    stop.interrupt();
  });
  Targets targets;
  RecordingOutput log;
  EXPECT_THROW(remesh(input, targets.Output, large, &log, &targets.Volume, &stop), Cancelled);
  stopper.join();
  targets.expectUntouched("stopped from another thread");
  EXPECT_EQ(log.Tasks.back(), "Voxelization") << "the robust voxelizer stops where it runs";
}
