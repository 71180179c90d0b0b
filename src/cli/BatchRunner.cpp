#include "BatchRunner.h"

#include "BufferedOutput.h"
#include "CommandLine.h"
#include "base/Diagnostics.h"
#include "base/TessellorError.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

using namespace tessellor;
namespace fs = std::filesystem;

namespace {

// The diagnostics of the file a thread is working on; null outside a file's work.
thread_local std::string* FileDiagnostics = nullptr;

void collectDiagnostic(const char* text, void*) {
  if (FileDiagnostics)
    *FileDiagnostics += text;
  else
    std::fputs(text, stderr);
}

std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

fs::path comparable(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(path, error);
  return error ? fs::absolute(path, error).lexically_normal() : canonical;
}

}  // namespace

BatchRunner::BatchRunner(unsigned jobs, bool quiet, std::FILE* log, std::FILE* errors, NullInterrupter* interrupter)
    : Jobs(std::max(jobs, 1u)), Quiet(quiet), Log(log), Errors(errors), Interrupter(interrupter) {}

unsigned BatchRunner::defaultJobs() { return std::max(std::thread::hardware_concurrency(), 1u); }

std::vector<BatchItem> BatchRunner::plan(const std::vector<std::string>& inputs, const std::string& outputDir,
                                         const std::string& extension) {
  std::vector<BatchItem> items;
  std::map<fs::path, std::string> claimed;  // output -> the input that writes it
  for (const std::string& input : inputs) {
    BatchItem item;
    item.Input = input;
    item.Output = (fs::path(outputDir) / fs::path(input).filename().stem()).string() + "." + extension;
    const fs::path output = comparable(item.Output);
    if (output == comparable(input))
      throw UsageError("'" + input + "' would be replaced by its own output; choose another --output-dir");
    const auto found = claimed.emplace(output, input);
    if (!found.second)
      throw UsageError("'" + found.first->second + "' and '" + input + "' would both be written to '" + item.Output +
                       "'");
    items.push_back(item);
  }

  std::error_code error;
  fs::create_directories(outputDir, error);
  if (!fs::is_directory(outputDir))
    throw FileError(outputDir, "cannot create the output folder" + (error ? ": " + error.message() : std::string()));
  return items;
}

std::size_t BatchRunner::run(std::vector<BatchItem>& items, const Work& work) {
  Diagnostics::setSink(&collectDiagnostic, nullptr);
  // Largest files first, so that a large file does not start last and leave the other threads idle.
  std::vector<std::pair<std::uintmax_t, std::size_t>> order;
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(items[i].Input, error);
    order.emplace_back(error ? 0 : size, i);
  }
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < order.size(); i = next++) {
      BatchItem& item = items[order[i].second];
      if (wasInterrupted(Interrupter))
        item.Cancelled = true;
      else
        runOne(item, work);
    }
  };
  const std::size_t threads = std::min<std::size_t>(Jobs, items.size());
  if (threads <= 1) {
    worker();
  } else {
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
    for (std::thread& thread : pool) thread.join();
  }
  Diagnostics::setSink(nullptr, nullptr);
  return static_cast<std::size_t>(
      std::count_if(items.begin(), items.end(), [](const BatchItem& i) { return !i.Ok && !i.Cancelled; }));
}

void BatchRunner::runOne(BatchItem& item, const Work& work) {
  BufferedOutput status(Quiet);
  std::string diagnostics;
  FileDiagnostics = &diagnostics;
  const auto start = std::chrono::steady_clock::now();
  // Nothing may leave a worker thread: every failure is the file's own.
  std::string summary;
  try {
    work(item, status, summary);
    item.Ok = true;
  } catch (const Cancelled&) {
    item.Cancelled = true;
  } catch (const FileError& error) {
    item.Error = error.what();  // names the file, and the line or byte
  } catch (const std::bad_alloc&) {
    item.Error = item.Input + ": out of memory";
  } catch (const std::exception& error) {
    item.Error = item.Input + ": " + error.what();
  }
  item.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  FileDiagnostics = nullptr;

  std::lock_guard<std::mutex> lock(PrintLock);
  std::fputs(status.text().c_str(), Log);
  std::fflush(Log);
  std::fputs(diagnostics.c_str(), Errors);
  if (item.Ok && !Quiet && !summary.empty()) std::fprintf(Errors, "%s:\n%s", item.Input.c_str(), summary.c_str());
  if (!item.Ok && !item.Cancelled) std::fprintf(Errors, "tessellor-cli: %s\n", oneLine(item.Error).c_str());
  if (item.Ok && !item.Warning.empty())
    std::fprintf(Errors, "tessellor-cli: warning: %s\n", oneLine(item.Warning).c_str());
  std::fflush(Errors);
}

void BatchRunner::printTable(const std::vector<BatchItem>& items) const {
  int width = 4;
  for (const BatchItem& item : items) width = std::max(width, static_cast<int>(item.Input.size()));
  std::fprintf(Log, "%-*s  %-7s  %8s  %9s  %6s\n", width, "file", "status", "time s", "polygons", "quads");
  for (const BatchItem& item : items) {
    if (item.Ok)
      std::fprintf(Log, "%-*s  %-7s  %8.2f  %9zu  %6.3f\n", width, item.Input.c_str(), "ok", item.Seconds,
                   item.Polygons, item.QuadShare);
    else
      std::fprintf(Log, "%-*s  %-7s  %8.2f  %9s  %6s\n", width, item.Input.c_str(),
                   item.Cancelled ? "stopped" : "failed", item.Seconds, "-", "-");
  }
  std::fflush(Log);
}
