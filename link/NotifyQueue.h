#pragma once
// The serial component's hand-over for a program without an event loop (the command-line
// programmer, tests): notifications queue up until the thread playing the user-interface thread
// drains them.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>

#include "link/NotifyTarget.h"

namespace kestrel {

class NotifyQueue : public NotifyTarget {
 public:
  bool Post(Notification notification) override;

  // Delivers what is queued at the call, in order, on the calling thread; returns how many.
  std::size_t Drain();
  // Delivers notifications as they come until `done` holds (true) or `timeout` passes (false).
  bool DrainUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // From now on posts of this code fail, as if the user-interface side were gone (for tests).
  void Refuse(std::uint32_t code);

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Notification> items_;
  std::set<std::uint32_t> refused_;
};

}  // namespace kestrel
