#pragma once

#include <functional>

// Runs a piece of work on a worker thread while the calling (GUI) thread keeps processing events
// in a local event loop, so the windows repaint and answer input; returns when the work is done,
// after every call it queued to the GUI thread has been delivered, and rethrows what it threw.
// The caller keeps the data the work uses away from the GUI thread until then (commands that
// would touch it are disabled).
class BackgroundJob {
 public:
  static void run(const std::function<void()>& work);
};
