#pragma once
// The serial component's reader: keeps one read and one line-event wait under way and hands
// every received chunk and every line-event report to the user-interface thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "link/NotifyTarget.h"
#include "link/SerialDriver.h"

namespace kestrel {

inline constexpr std::size_t ReadBufferSize = 32768;

class TReadThread {
 public:
  // Starts the thread; throws when it cannot be created.
  TReadThread(SerialDriver& driver, NotifyTarget& notifyWindow);
  // Waits for the thread; the driver's stop signal must have been raised.
  ~TReadThread();

  // The driver's latest error word; written before the line-event report it belongs to is posted.
  std::uint32_t LineErrors() const { return lineErrors_.load(std::memory_order_acquire); }

 private:
  enum class Outcome { Going, Stopped, Failed };

  void Execute();
  Outcome Run();
  Outcome StartEventWait();
  Outcome StartRead();
  bool HandleEvents(std::uint32_t events);
  bool Deliver(std::size_t count);
  void PostCommEvent(std::uint32_t events, std::uint32_t modemStatus);

  SerialDriver& driver_;
  NotifyTarget& notifyWindow_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::atomic<std::uint32_t> lineErrors_{0};
  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace kestrel
