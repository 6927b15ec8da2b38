#include "link/TWriteThread.h"

namespace kestrel {

TWriteThread::TWriteThread(SerialDriver& driver, NotifyTarget& notifyWindow)
    : driver_(driver), notifyWindow_(notifyWindow), thread_([this] { Execute(); }) {}

TWriteThread::~TWriteThread() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  arrived_.notify_one();
  thread_.join();
}

bool TWriteThread::Post(std::unique_ptr<std::uint8_t[]> block, std::uint16_t count) {
  {
    std::lock_guard lock(mutex_);
    if (ended_) return false;
    queue_.push_back({std::move(block), count});
  }
  arrived_.notify_one();
  return true;
}

void TWriteThread::Execute() {
  Message message;
  while (Take(message)) {
    if (driver_.StopRaised()) break;
    const bool written = WriteOut(message.block.get(), message.count);
    message.block.reset();
    if (!written) break;
  }
  std::deque<Message> dropped;
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
    dropped.swap(queue_);
  }
  driver_.PurgeTransmit();
}

// Sleeps until a block arrives or the component stops; false when it stops.
bool TWriteThread::Take(Message& message) {
  std::unique_lock lock(mutex_);
  arrived_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
  if (stopping_) return false;
  message = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

// Fails quietly when the device is gone or the stop signal interrupts; any other failure asks
// the user-interface side to hang up.
bool TWriteThread::WriteOut(const std::uint8_t* data, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    std::size_t written = 0;
    switch (driver_.Write(data + done, count - done, written)) {
      case SerialDriver::Io::Completed:
        if (written == 0 || written > count - done) {
          PostHangup();
          return false;
        }
        done += written;
        break;
      case SerialDriver::Io::Pending:
        switch (driver_.WaitWriter()) {
          case SerialDriver::Wake::Ready:
            break;
          case SerialDriver::Wake::Stop:
            return false;
          default:
            PostHangup();
            return false;
        }
        break;
      case SerialDriver::Io::InvalidHandle:
        return false;
      default:
        PostHangup();
        return false;
    }
  }
  return true;
}

void TWriteThread::PostHangup() { notifyWindow_.Post({MsgRequestHangup}); }

}  // namespace kestrel
