#include "CliRunner.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace {
#if defined(__SANITIZE_ADDRESS__)
void appendOption(const char* variable, const std::string& options) {
  const char* old = std::getenv(variable);
  const std::string value = old && *old ? std::string(old) + ":" + options : options;
  setenv(variable, value.c_str(), 1);
}
#endif

[[noreturn]] void execCli(const std::vector<std::string>& args, const CliLimits& limits, const std::string& outPath,
                          const std::string& errPath) {
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  if (limits.MemoryMiB > 0) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers reserve far more address space than they use: cap single allocations instead,
    // and keep their reports apart from exit status 1.
    appendOption("ASAN_OPTIONS", "max_allocation_size_mb=" + std::to_string(limits.MemoryMiB) +
                                     ":allocator_may_return_null=0:exitcode=86");
    appendOption("UBSAN_OPTIONS", "exitcode=87");
#else
    const rlim_t bytes = static_cast<rlim_t>(limits.MemoryMiB) << 20;
    rlimit memory{bytes, bytes};
    setrlimit(RLIMIT_AS, &memory);
#endif
  }
  if (limits.FileSize >= 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit size{static_cast<rlim_t>(limits.FileSize), static_cast<rlim_t>(limits.FileSize)};
    setrlimit(RLIMIT_FSIZE, &size);
  }
  std::vector<std::string> copies(args);
  std::string program = TESSELLOR_CLI;
  std::vector<char*> argv{&program[0]};
  for (std::string& arg : copies) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}
}  // namespace

CliRun runCli(const std::vector<std::string>& args, const CliLimits& limits) {
  const std::string outPath = scratchPath("stdout"), errPath = scratchPath("stderr");
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) execCli(args, limits, outPath, errPath);
  CliRun run;
  int status = 0;
  rusage usage{};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.TimeoutSeconds);
  bool interrupted = limits.InterruptWhenOut.empty();
  for (;;) {
    if (wait4(child, &status, WNOHANG, &usage) == child) break;
    if (!interrupted && readFile(outPath).find(limits.InterruptWhenOut) != std::string::npos) {
      kill(child, SIGINT);
      interrupted = true;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      wait4(child, &status, 0, &usage);
      run.TimedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (WIFEXITED(status)) run.Exit = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.Signal = WTERMSIG(status);
  run.MaxResidentKiB = usage.ru_maxrss;
  run.Out = readFile(outPath);
  run.Err = readFile(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return run;
}

std::string describe(const CliRun& run) {
  return "exit " + std::to_string(run.Exit) + ", signal " + std::to_string(run.Signal) +
         (run.TimedOut ? ", timed out" : "") + "\nstdout:\n" + run.Out.substr(0, 3000) + "\nstderr:\n" + run.Err;
}

std::string scratchPath(const std::string& name) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string testName = test ? std::string(test->test_suite_name()) + "_" + test->name() : "none";
  return ::testing::TempDir() + "tessellor_cli_" + testName + "_" + std::to_string(getpid()) + "_" + name;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

bool hasLine(const std::string& text, const std::string& line) {
  const std::vector<std::string> all = lines(text);
  return std::find(all.begin(), all.end(), line) != all.end();
}
