#include "link/TReopenThread.h"

namespace kestrel {

TReopenThread::TReopenThread(NotifyTarget& notifyWindow, std::chrono::milliseconds interval)
    : notifyWindow_(notifyWindow), interval_(interval), thread_([this] { Execute(); }) {}

TReopenThread::~TReopenThread() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stopped_.notify_one();
  thread_.join();
}

void TReopenThread::Execute() {
  std::unique_lock lock(mutex_);
  while (!stopped_.wait_for(lock, interval_, [this] { return stop_; })) notifyWindow_.Post({MsgReopenPort});
}

}  // namespace kestrel
