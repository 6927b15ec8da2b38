#pragma once
// The serial ports present now, as the port field offers them, each with what the system knows
// of it. Each platform lists its own: PosixPortList.h, Win32PortList.h.

#include <string>
#include <vector>

namespace kestrel {

struct PortEntry {
  std::string name;    // what the port field takes: "COM3", "ttyUSB0"
  std::string detail;  // what the system says of the port's device; may be empty

  bool operator==(const PortEntry&) const = default;
};

std::vector<PortEntry> PresentPorts();

}  // namespace kestrel
