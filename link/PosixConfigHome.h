#pragma once
// Where the per-user configuration lives: the settings' folder and the COM alias folder below it.

#include <filesystem>

namespace kestrel {

// $XDG_CONFIG_HOME, or ~/.config when it is unset or empty.
std::filesystem::path ConfigHome();

// <configHome>/TARVELIN/ports: a COM name's alias, a symlink to the device, lies there.
std::filesystem::path PortAliasFolder(const std::filesystem::path& configHome);

}  // namespace kestrel
