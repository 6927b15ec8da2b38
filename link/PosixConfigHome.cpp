#include "link/PosixConfigHome.h"

#include <cstdlib>

namespace kestrel {

std::filesystem::path ConfigHome() {
  if (const char* configHome = std::getenv("XDG_CONFIG_HOME"); configHome && *configHome) return configHome;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : "") / ".config";
}

std::filesystem::path PortAliasFolder(const std::filesystem::path& configHome) {
  return configHome / "TARVELIN" / "ports";
}

}  // namespace kestrel
