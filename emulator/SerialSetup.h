#pragma once
// Puts a serial device into the programmer's line mode: raw bytes, 8 data bits, odd parity,
// 1 stop bit, no flow control, any integer rate. Kept apart because the kernel's termios2
// header cannot share a file with <termios.h>.

#include <cstdint>

namespace kestrel::emulator {

bool ConfigureSerialLine(int fd, std::uint32_t baud);

}  // namespace kestrel::emulator
