#pragma once

#include "base/NullInterrupter.h"
#include "base/StatusOutput.h"

namespace tessellor {

// The progress calls of a loop over count items that reports once every count / 90 items (at
// least 1), starting at 10 with item 0 and rising by one per report, each after a check for a
// stop. A pass that does its items out of order, or in parallel, makes the same calls in the same
// order by saying how much of its work is done.
class StepProgress {
 public:
  StepProgress(int count, StatusOutput& output, NullInterrupter* interrupter)
      : Count(count), Step(count / 90 > 0 ? count / 90 : 1), Output(output), Interrupter(interrupter) {}

  // Makes the calls of the items before done * count (done from 0 to 1).
  void reach(double done) {
    const long long until = done >= 1.0 ? Count : static_cast<long long>(done * Count);
    while (Next < until) {
      throwIfInterrupted(Interrupter, Value);
      Output.setProgress(Value++);
      Next += Step;
    }
  }

 private:
  long long Count;
  long long Step;
  long long Next = 0;  // the next item that reports
  int Value = 10;
  StatusOutput& Output;
  NullInterrupter* Interrupter;
};

}  // namespace tessellor
