#pragma once
// The ports in the order the port field offers them: the COM aliases of the per-user folder whose
// device is there, then the USB adapters (ttyUSB*, then ttyACM*), then the on-board ports that
// have a UART behind them. The detail is the alias's target, the adapter's /dev/serial/by-id name
// or the UART type.

#include <filesystem>

#include "link/PortList.h"

namespace kestrel {

// Where the listing looks; tests point these at a tree of their own.
struct PortRoots {
  std::filesystem::path dev;      // device nodes, /dev
  std::filesystem::path sys;      // the kernel's device tree, /sys
  std::filesystem::path aliases;  // the per-user COM alias folder
};

// /dev, /sys and the alias folder the port names resolve through.
PortRoots SystemPortRoots();

std::vector<PortEntry> ListPorts(const PortRoots& roots);

}  // namespace kestrel
