#pragma once
// Interrupts from the user or the system: SIGINT and SIGTERM, on Windows Ctrl+C and Ctrl+Break.
// The first is remembered for the ports to see, which then stop after the command on the line
// is answered; a second ends the program at once, with the status the first asked for.

#include "cli/Result.h"

namespace kestrel::cli {

// Takes over the interrupts for the rest of the program. Call it once, before any other thread
// starts: on POSIX the signals are blocked in every thread and taken by a thread of their own,
// so no port's system call is ever cut short by them.
void CatchInterrupts();

// Interrupted (130) after SIGINT or Ctrl+C, Terminated (143) after SIGTERM or Ctrl+Break, Done
// while none came. One atomic load: cheap enough to ask before every command.
ExitStatus InterruptStatus();

// What the platform's side does with each interrupt: the first is remembered, a second ends
// the program at once. Safe in a signal handler.
void NoteInterrupt(ExitStatus status);

}  // namespace kestrel::cli
