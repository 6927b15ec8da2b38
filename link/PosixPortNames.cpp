#include "link/PosixPortNames.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "link/AsciiCase.h"
#include "link/ComName.h"
#include "link/PosixConfigHome.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

// The entry of `folder` named `name`: the exact one, else the first (in name order) that
// differs only in case.
std::optional<fs::path> FindEntry(const fs::path& folder, const std::string& name) {
  if (Exists(folder / name)) return folder / name;
  std::optional<std::string> found;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string entry = it->path().filename().string();
    if (EqualsIgnoringCase(entry, name) && (!found || entry < *found)) found = entry;
  }
  if (!found) return std::nullopt;
  return folder / *found;
}

// Walks the path one component at a time, each matched as FindEntry does.
std::optional<fs::path> FindPath(const fs::path& path) {
  fs::path resolved = path.has_root_directory() ? path.root_path() : fs::path(".");
  for (const fs::path& part : path.relative_path()) {
    const std::string name = part.string();
    if (name.empty() || name == "." || name == "..") {
      resolved /= part;
      continue;
    }
    const auto entry = FindEntry(resolved, name);
    if (!entry) return std::nullopt;
    resolved = *entry;
  }
  return path.has_root_directory() ? resolved : resolved.lexically_normal();
}

}  // namespace

std::string PortAliasFolder() { return PortAliasFolder(ConfigHome()).string(); }

std::string ResolvePortName(const std::string& name) {
  if (name.empty()) return name;
  if (const auto number = ComNumber(name)) {
    const fs::path alias = fs::path(PortAliasFolder()) / ("COM" + std::to_string(*number));
    if (Exists(alias)) return alias.string();
    return "/dev/ttyS" + std::to_string(*number - 1);
  }
  if (name.find('/') == std::string::npos) {
    if (const auto entry = FindEntry("/dev", name)) return entry->string();
    return name;
  }
  if (const auto path = FindPath(name)) return path->string();
  return name;
}

}  // namespace kestrel
