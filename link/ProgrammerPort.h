#pragma once
// The programmer's line as the desktop program and kestrel-cli open and leave it: the stored
// port, rate and ninth-bit parity, 8 data bits, no flow control; RTS raised and DTR lowered
// while the program works, both cleared at the end.

#include <cstdint>
#include <string>

#include "link/LinkLine.h"
#include "link/TComm32.h"

namespace kestrel {

struct ProgrammerLine {
  std::string port;  // as the settings dialog takes it; the serial component resolves it
  std::uint32_t baud = 56000;
  TParity parity = pOdd;
};

// The link's line through the serial component: its WriteData and line rate, with `trace`,
// which the component traces to as well (null for none).
LinkLine LineThrough(TComm32& port, LinkTrace* trace);

// Applies the settings to the serial component, opens the port and raises RTS, lowers DTR.
// Returns what OpenPort returns and lets its ECommsError through; the lines are set only on a
// port that opened.
bool OpenProgrammerPort(TComm32& port, const ProgrammerLine& settings);

// Clears RTS, then DTR.
void DropModemLines(TComm32& port);

}  // namespace kestrel
