// Side by side with OpenVDB: whole processes, same inputs, same grid, same thread count.
//
// For every input (a generated 200 000-triangle icosphere, bunny.ply and fandisk.ply), voxel
// budget and thread count, runs `tessellor-cli remesh IN --max-voxels B --threads T -o OUT.ply`
// and `openvdb_remesh IN B T OUT.ply` (meshToSignedDistanceField + volumeToMesh on the same
// lattice) as child processes, interleaved (the order alternates between repetitions), and
// reports the best wall time of each, their ratio and each one's peak resident set (ru_maxrss of
// the child). Both read the input with the same reader and write PLY with the same writer.
//
//   peer_bench [--reps N] [--threads 1,2] [--budgets 100000,1000000,10000000] [--with-1e8]
//              [--meshes icosphere,bunny,fandisk] [--cli PATH] [--openvdb PATH] [--work DIR]
//
// A tessellor-cli without --threads (an older build) is run without it.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Run {
  double Seconds = 0;
  double PeakMiB = 0;
  bool Ok = false;
};

// Runs argv[0] with argv, standard output and error into log; wall time and peak memory.
Run runChild(const std::vector<std::string>& args, const std::string& log) {
  std::vector<char*> argv;
  std::vector<std::string> own = args;
  for (std::string& a : own) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
      close(fd);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  Run run;
  int status = 0;
  struct rusage usage;
  if (child > 0 && wait4(child, &status, 0, &usage) == child) {
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.PeakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return run;
}

// Geodesic icosphere: each icosahedron face cut into n^2 triangles, projected onto the unit
// sphere; 20 n^2 triangles (n = 100: 200 000). Points on shared edges and corners are one vertex:
// a point is keyed by its corner weights, which are exact integers.
void writeIcosphere(const std::string& path, int n) {
  const double t = (1.0 + std::sqrt(5.0)) / 2.0;
  const double c[12][3] = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                           {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
  const int f[20][3] = {{0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                        {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
                        {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
  std::map<std::array<int, 6>, int> ids;
  std::vector<std::array<double, 3>> points;
  std::vector<std::array<int, 3>> triangles;
  auto vertex = [&](const int face[3], int i, int j) {
    // Weights of the corners a, b, c: (n - i - j, i, j); key = (corner, weight) pairs sorted.
    std::array<std::pair<int, int>, 3> w = {{{face[0], n - i - j}, {face[1], i}, {face[2], j}}};
    std::sort(w.begin(), w.end());
    std::array<int, 6> key;
    for (int k = 0; k < 3; ++k) {
      key[2 * k] = w[k].second == 0 ? -1 : w[k].first;
      key[2 * k + 1] = w[k].second;
    }
    auto found = ids.find(key);
    if (found != ids.end()) return found->second;
    std::array<double, 3> p{0, 0, 0};
    for (int k = 0; k < 3; ++k)
      for (int a = 0; a < 3; ++a) p[a] += c[w[k].first][a] * w[k].second / n;
    const double len = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    for (double& x : p) x /= len;
    points.push_back(p);
    return ids[key] = static_cast<int>(points.size()) - 1;
  };
  for (const auto& face : f)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i + j < n; ++i) {
        const int a = vertex(face, i, j), b = vertex(face, i + 1, j), d = vertex(face, i, j + 1);
        triangles.push_back({a, b, d});
        if (i + j + 1 < n) triangles.push_back({b, vertex(face, i + 1, j + 1), d});
      }
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (!out) return;
  std::fprintf(out,
               "ply\nformat ascii 1.0\nelement vertex %zu\nproperty float x\nproperty float y\nproperty float z\n"
               "element face %zu\nproperty list uchar int vertex_indices\nend_header\n",
               points.size(), triangles.size());
  for (const auto& p : points) std::fprintf(out, "%.7f %.7f %.7f\n", p[0], p[1], p[2]);
  for (const auto& t : triangles) std::fprintf(out, "3 %d %d %d\n", t[0], t[1], t[2]);
  std::fclose(out);
}

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// True when the tool's remesh usage mentions --threads.
bool acceptsThreads(const std::string& cli, const std::string& work) {
  const std::string log = work + "/help.txt";
  runChild({cli, "remesh", "--help"}, log);
  std::FILE* in = std::fopen(log.c_str(), "r");
  if (!in) return false;
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) text.append(buffer, n);
  std::fclose(in);
  return text.find("--threads") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  std::string cli = TESSELLOR_CLI, openvdb = OPENVDB_REMESH, work = "/tmp/tessellor-peer-bench";
  std::vector<std::string> budgets = {"100000", "1000000", "10000000"}, threads = {"1", "2"},
                           meshes = {"icosphere", "bunny", "fandisk"};
  int reps = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--reps" && hasValue)
      reps = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--threads" && hasValue)
      threads = split(argv[++i]);
    else if (arg == "--budgets" && hasValue)
      budgets = split(argv[++i]);
    else if (arg == "--with-1e8")
      budgets.push_back("100000000");
    else if (arg == "--meshes" && hasValue)
      meshes = split(argv[++i]);
    else if (arg == "--cli" && hasValue)
      cli = argv[++i];
    else if (arg == "--openvdb" && hasValue)
      openvdb = argv[++i];
    else if (arg == "--work" && hasValue)
      work = argv[++i];
    else {
      std::fprintf(stderr, "peer_bench: unknown argument '%s'\n", arg.c_str());
      return 2;
    }
  }
  mkdir(work.c_str(), 0755);
  const bool threadsFlag = acceptsThreads(cli, work);

  std::map<std::string, std::string> inputs;
  const std::string shared = std::string(TESSELLOR_SHARED_DIR) + "/meshes/";
  for (const std::string& name : meshes) {
    if (name == "icosphere") {
      inputs[name] = work + "/icosphere-200k.ply";
      if (!exists(inputs[name])) writeIcosphere(inputs[name], 100);
    } else if (exists(shared + name + ".ply")) {
      inputs[name] = shared + name + ".ply";
    } else if (exists(std::string(TESSELLOR_SOURCE_DIR) + "/examples/" + name + ".ply")) {
      inputs[name] = std::string(TESSELLOR_SOURCE_DIR) + "/examples/" + name + ".ply";
    }
  }

  std::printf("Best of %d, interleaved; times are whole processes (read, remesh, write PLY).\n\n", reps);
  std::printf(
      "| input | voxels | threads | Tessellor s | OpenVDB s | Tessellor / OpenVDB | peak MiB Tessellor / OpenVDB |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---|\n");
  for (const std::string& name : meshes) {
    if (!inputs.count(name)) {
      std::printf("| %s | skipped: not found | | | | | |\n", name.c_str());
      continue;
    }
    for (const std::string& budget : budgets) {
      for (const std::string& t : threads) {
        std::vector<std::string> ours = {cli,    "remesh",  inputs[name], "--max-voxels",
                                         budget, "--quiet", "-o",         work + "/tessellor.ply"};
        if (threadsFlag) ours.insert(ours.end(), {"--threads", t});
        const std::vector<std::string> theirs = {openvdb, inputs[name], budget, t, work + "/openvdb.ply"};
        Run best[2], peak[2];
        bool ok = true;
        for (int r = 0; r < reps && ok; ++r) {
          for (int k = 0; k < 2; ++k) {
            const int which = (r % 2 == 0) ? k : 1 - k;
            const Run run =
                runChild(which == 0 ? ours : theirs, work + (which == 0 ? "/tessellor.log" : "/openvdb.log"));
            if (!run.Ok) {
              std::printf("| %s | %s | %s | failed: see %s/%s.log | | | |\n", name.c_str(), budget.c_str(), t.c_str(),
                          work.c_str(), which == 0 ? "tessellor" : "openvdb");
              ok = false;
              break;
            }
            if (r == 0 || run.Seconds < best[which].Seconds) best[which] = run;
            peak[which].PeakMiB = std::max(peak[which].PeakMiB, run.PeakMiB);
          }
        }
        if (!ok) continue;
        std::printf("| %s | %s | %s | %.3f | %.3f | %.2f | %.0f / %.0f |\n", name.c_str(), budget.c_str(), t.c_str(),
                    best[0].Seconds, best[1].Seconds, best[0].Seconds / best[1].Seconds, peak[0].PeakMiB,
                    peak[1].PeakMiB);
        std::fflush(stdout);
      }
    }
  }
  return 0;
}
