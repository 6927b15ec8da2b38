#include "tests/support/NotifyQueue.h"

namespace kestrel::test {

bool NotifyQueue::Post(std::uint32_t code, std::uint32_t count, std::unique_ptr<std::uint8_t[]> block) {
  {
    std::lock_guard lock(mutex_);
    if (refused_.count(code)) return false;
    items_.push_back({code, count, std::move(block)});
  }
  posted_.notify_all();
  return true;
}

std::size_t NotifyQueue::Drain() {
  std::size_t delivered = 0;
  for (;;) {
    Item item;
    {
      std::lock_guard lock(mutex_);
      if (items_.empty()) return delivered;
      item = std::move(items_.front());
      items_.pop_front();
    }
    Deliver(item.code, item.count, std::move(item.block));
    ++delivered;
  }
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

}  // namespace kestrel::test
