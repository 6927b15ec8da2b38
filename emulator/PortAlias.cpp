#include "emulator/PortAlias.h"

#include <unistd.h>

#include "link/PosixConfigHome.h"

namespace kestrel::emulator {

namespace fs = std::filesystem;

fs::path ConfigHome(const std::string& option) {
  return option.empty() ? kestrel::ConfigHome() : fs::path(option);
}

PortAlias::PortAlias(const fs::path& configHome, const std::string& portName) {
  if (!portName.empty()) path_ = PortAliasFolder(configHome) / portName;
}

void PortAlias::Register(const std::string& target) {
  if (path_.empty()) return;
  fs::create_directories(path_.parent_path());
  fs::path temporary = path_;
  temporary += ".new." + std::to_string(getpid());
  fs::remove(temporary);
  fs::create_symlink(target, temporary);
  fs::rename(temporary, path_);
  target_ = target;
}

void PortAlias::Remove() {
  if (path_.empty() || target_.empty()) return;
  std::error_code error;
  if (fs::read_symlink(path_, error) == target_) fs::remove(path_, error);
  target_.clear();
}

}  // namespace kestrel::emulator
