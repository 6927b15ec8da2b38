#include "cli/Interrupt.h"

#include <atomic>
#include <cstdlib>

namespace kestrel::cli {

namespace {

// 0, or the exit status the first interrupt asked for.
std::atomic<int> firstStatus{0};
static_assert(std::atomic<int>::is_always_lock_free, "touched from a signal handler");

}  // namespace

void NoteInterrupt(ExitStatus status) {
  int none = 0;
  if (!firstStatus.compare_exchange_strong(none, static_cast<int>(status))) std::_Exit(none);
}

ExitStatus InterruptStatus() { return static_cast<ExitStatus>(firstStatus.load(std::memory_order_relaxed)); }

}  // namespace kestrel::cli
