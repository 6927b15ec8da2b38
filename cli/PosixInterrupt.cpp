#include <pthread.h>
#include <signal.h>

#include <thread>

#include "cli/Interrupt.h"

namespace kestrel::cli {

void CatchInterrupts() {
  sigset_t interrupts;
  sigemptyset(&interrupts);
  sigaddset(&interrupts, SIGINT);
  sigaddset(&interrupts, SIGTERM);
  // Threads started from now on inherit the mask.
  pthread_sigmask(SIG_BLOCK, &interrupts, nullptr);
  std::thread([interrupts] {
    for (;;) {
      int signal = 0;
      if (sigwait(&interrupts, &signal) == 0)
        NoteInterrupt(signal == SIGINT ? ExitStatus::Interrupted : ExitStatus::Terminated);
    }
  }).detach();
}

}  // namespace kestrel::cli
