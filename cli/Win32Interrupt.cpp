#include "cli/Interrupt.h"

// After the results, whose link names windows.h would take as its macros.
#include <windows.h>

namespace kestrel::cli {

namespace {

// Runs on a thread the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      NoteInterrupt(ExitStatus::Interrupted);
      return TRUE;
    case CTRL_BREAK_EVENT:
      NoteInterrupt(ExitStatus::Terminated);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

}  // namespace kestrel::cli
