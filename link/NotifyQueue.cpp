#include "link/NotifyQueue.h"

namespace kestrel {

bool NotifyQueue::Post(Notification notification) {
  {
    std::lock_guard lock(mutex_);
    if (refused_.count(notification.code)) return false;
    items_.push_back(std::move(notification));
  }
  posted_.notify_all();
  return true;
}

// Only what is there at the call: under a flood of chunks the caller still gets to look at what
// was delivered.
std::size_t NotifyQueue::Drain() {
  std::deque<Notification> queued;
  {
    std::lock_guard lock(mutex_);
    queued.swap(items_);
  }
  for (Notification& item : queued) Deliver(std::move(item));
  return queued.size();
}

bool NotifyQueue::DrainUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    Drain();
    if (done()) return true;
    std::unique_lock lock(mutex_);
    if (!posted_.wait_until(lock, deadline, [this] { return !items_.empty(); })) return done();
  }
}

void NotifyQueue::Refuse(std::uint32_t code) {
  std::lock_guard lock(mutex_);
  refused_.insert(code);
}

}  // namespace kestrel
