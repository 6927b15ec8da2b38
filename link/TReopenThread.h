#pragma once
// While the serial component's port is lost, this thread asks the user-interface thread at a
// fixed interval to try opening it again; the attempt itself runs there, like every other use
// of the driver's opening side.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "link/NotifyTarget.h"

namespace kestrel {

class TReopenThread {
 public:
  // Starts the thread; throws when it cannot be created. The first request comes after one
  // interval.
  TReopenThread(NotifyTarget& notifyWindow, std::chrono::milliseconds interval);
  // Wakes the thread and waits for it.
  ~TReopenThread();
  TReopenThread(const TReopenThread&) = delete;
  TReopenThread& operator=(const TReopenThread&) = delete;

 private:
  void Execute();

  NotifyTarget& notifyWindow_;
  const std::chrono::milliseconds interval_;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;
  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace kestrel
