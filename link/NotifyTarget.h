#pragma once
// The hand-over from the serial component's threads to the user-interface thread: a first-in
// first-out queue of notifications, each carrying a code, a count, an optional heap block whose
// ownership moves with it, and the time it was posted. The Qt implementation posts events to an
// object living on the user-interface thread; tests use a plain queue they drain.

#include <cstdint>
#include <functional>
#include <memory>

#include "link/LineTiming.h"

namespace kestrel {

// Notification codes.
inline constexpr std::uint32_t MsgReceiveData = 1;    // count bytes in block, a zero byte after them
inline constexpr std::uint32_t MsgRequestHangup = 2;  // a worker thread failed and ends
inline constexpr std::uint32_t MsgCommEvent = 4;      // count: line events low 16 bits, modem status high
inline constexpr std::uint32_t MsgReopenPort = 5;     // time to try opening a lost port again

struct Notification {
  Notification() = default;
  Notification(std::uint32_t code, std::uint32_t count = 0, std::unique_ptr<std::uint8_t[]> block = nullptr)
      : code(code), count(count), block(std::move(block)) {}

  std::uint32_t code = 0;
  std::uint32_t count = 0;
  std::unique_ptr<std::uint8_t[]> block;
  // When it was posted; for received bytes, when the reader took them off the line.
  LinkTime posted = LinkClock::now();
};

class NotifyTarget {
 public:
  using Handler = std::function<void(Notification)>;

  virtual ~NotifyTarget() = default;

  // Any thread. Queues one notification for the user-interface thread. Returns false when it
  // cannot be queued; the block is then freed.
  virtual bool Post(Notification notification) = 0;

  // User-interface thread, before the first Post: receives every notification, in order.
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

 protected:
  // User-interface thread: hands one queued notification to the handler.
  void Deliver(Notification notification) {
    if (handler_) handler_(std::move(notification));
  }

 private:
  Handler handler_;
};

}  // namespace kestrel
