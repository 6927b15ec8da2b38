#pragma once
// The serial ports present now, in the order the port field offers them: the COM aliases of the
// per-user folder whose device is there, then the USB adapters (ttyUSB*, then ttyACM*), then the
// on-board ports that have a UART behind them. Each comes with what the system knows of it.

#include <filesystem>
#include <string>
#include <vector>

namespace kestrel {

// Where the listing looks; tests point these at a tree of their own.
struct PortRoots {
  std::filesystem::path dev;      // device nodes, /dev
  std::filesystem::path sys;      // the kernel's device tree, /sys
  std::filesystem::path aliases;  // the per-user COM alias folder
};

// /dev, /sys and the alias folder the port names resolve through.
PortRoots SystemPortRoots();

struct PortEntry {
  std::string name;  // what the port field takes: "COM3", "ttyUSB0"
  std::string
      detail;  // the alias's target, the adapter's /dev/serial/by-id name, the UART type; may be empty

  bool operator==(const PortEntry&) const = default;
};

std::vector<PortEntry> ListPorts(const PortRoots& roots);

}  // namespace kestrel
