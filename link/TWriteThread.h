#pragma once
// The serial component's writer: takes the blocks WriteData queues, in order, and writes each
// out completely before the next.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "link/NotifyTarget.h"
#include "link/SerialDriver.h"

namespace kestrel {

class TWriteThread {
 public:
  // Starts the thread; throws when it cannot be created.
  TWriteThread(SerialDriver& driver, NotifyTarget& notifyWindow);
  // Wakes the thread if it sleeps on its queue and waits for it; the driver's stop signal must
  // have been raised.
  ~TWriteThread();

  // Any thread. Queues a block of count bytes for writing; false once the writer has ended.
  bool Post(std::unique_ptr<std::uint8_t[]> block, std::uint16_t count);

 private:
  struct Message {
    std::unique_ptr<std::uint8_t[]> block;
    std::uint16_t count = 0;
  };

  void Execute();
  bool Take(Message& message);
  bool WriteOut(const std::uint8_t* data, std::size_t count);
  void PostHangup();

  SerialDriver& driver_;
  NotifyTarget& notifyWindow_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Message> queue_;
  bool stopping_ = false;
  bool ended_ = false;
  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace kestrel
