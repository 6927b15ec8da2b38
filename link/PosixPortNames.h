#pragma once
// How a configured port name denotes a device: "COMn" is an alias in the per-user folder
// (a symlink, as the device emulator makes) or else the n-th on-board serial port; any other
// name is a path, or a /dev entry, matched without regard to case (the port field is upper case).

#include <string>

namespace kestrel {

// The alias folder below the user's configuration folder (see PosixConfigHome.h).
std::string PortAliasFolder();

// The path to open for a port name; the name itself when nothing matches.
std::string ResolvePortName(const std::string& name);

}  // namespace kestrel
