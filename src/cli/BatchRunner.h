#pragma once

#include "base/NullInterrupter.h"
#include "base/StatusOutput.h"

#include <cstddef>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// One file of a batch and what became of it.
struct BatchItem {
  std::string Input;
  std::string Output;
  bool Ok = false;
  bool Cancelled = false;    // stopped by the interrupter, or never started
  std::string Error;         // the one-line message of a failure
  double Seconds = 0.0;      // wall time of the file's work
  std::size_t Polygons = 0;  // set by the work: polygons written
  double QuadShare = 0.0;    // set by the work: share of them with four corners
  std::string Warning;       // set by the work: a warning about a file that was written
};

// Works through the files of a batch on up to jobs threads, each file with its own status output
// and its own pipeline objects. A file's log (left out when quiet) is printed as one block when
// the file is done, so files never interleave; its diagnostics and its error message go to the
// error stream. A failure ends only its own file.
class BatchRunner {
 public:
  // The work for one file: throws to fail it; on success sets Polygons and QuadShare and may
  // leave lines for the error stream in summary (printed after the file's name unless quiet).
  using Work = std::function<void(BatchItem& item, tessellor::StatusOutput& status, std::string& summary)>;

  // Once interrupter asks to stop, no further file is started; the work is expected to pass it on
  // to the pipeline, whose Cancelled marks its file as cancelled.
  BatchRunner(unsigned jobs, bool quiet, std::FILE* log, std::FILE* errors,
              tessellor::NullInterrupter* interrupter = nullptr);

  // The number of cores (at least 1).
  static unsigned defaultJobs();

  // The items for inputs written into outputDir as STEM.extension; refuses (UsageError) two
  // inputs that would get the same output and an output that would replace its own input.
  // Creates outputDir (FileError when it cannot).
  static std::vector<BatchItem> plan(const std::vector<std::string>& inputs, const std::string& outputDir,
                                     const std::string& extension);

  // Runs work on every item, the largest input files first; returns the number of failed items.
  // Throws Cancelled, after the table, when the interrupter stopped the batch.
  std::size_t run(std::vector<BatchItem>& items, const Work& work);

  // The table of every file: status, seconds, polygons and quad share.
  void printTable(const std::vector<BatchItem>& items) const;
  // True when the interrupter stopped the batch.
  bool wasCancelled() { return tessellor::wasInterrupted(Interrupter); }

 private:
  void runOne(BatchItem& item, const Work& work);

  unsigned Jobs;
  bool Quiet;
  std::FILE* Log;
  std::FILE* Errors;
  tessellor::NullInterrupter* Interrupter;
  std::mutex PrintLock;
};
