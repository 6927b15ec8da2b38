#pragma once
// The hand-over from the serial component's worker threads to the user-interface thread: a
// first-in first-out queue of notifications, each carrying a code, a count and an optional heap
// block whose ownership moves with it. The Qt implementation posts events to an object living on
// the user-interface thread; tests use a plain queue they drain.

#include <cstdint>
#include <functional>
#include <memory>

namespace kestrel {

// Notification codes.
inline constexpr std::uint32_t MsgReceiveData = 1;    // count bytes in block, a zero byte after them
inline constexpr std::uint32_t MsgRequestHangup = 2;  // a worker thread failed and ends
inline constexpr std::uint32_t MsgCommEvent = 4;      // count: line events low 16 bits, modem status high

class NotifyTarget {
 public:
  using Handler =
      std::function<void(std::uint32_t code, std::uint32_t count, std::unique_ptr<std::uint8_t[]> block)>;

  virtual ~NotifyTarget() = default;

  // Any thread. Queues one notification for the user-interface thread. Returns false when it
  // cannot be queued; the block is then freed.
  virtual bool Post(std::uint32_t code, std::uint32_t count, std::unique_ptr<std::uint8_t[]> block) = 0;

  // User-interface thread, before the first Post: receives every notification, in order.
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

 protected:
  // User-interface thread: hands one queued notification to the handler.
  void Deliver(std::uint32_t code, std::uint32_t count, std::unique_ptr<std::uint8_t[]> block) {
    if (handler_) handler_(code, count, std::move(block));
  }

 private:
  Handler handler_;
};

}  // namespace kestrel
