#include "emulator/PortAlias.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "link/ComName.h"
#include "link/PosixConfigHome.h"

namespace kestrel::emulator {

namespace fs = std::filesystem;

namespace {

constexpr unsigned MaxComNumber = 256;

// Holds an exclusive lock on the alias folder, so that emulators starting and stopping at the
// same moment look at and change an alias one after the other.
class FolderLock {
 public:
  explicit FolderLock(const fs::path& folder)
      : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0)
      throw fs::filesystem_error("cannot open", folder, std::error_code(errno, std::generic_category()));
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~FolderLock() { ::close(fd_); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

// A link left by an emulator that was killed: it names a pseudo-terminal that is gone.
bool LeadsToGonePty(const fs::path& target) {
  struct stat info {};
  return target.string().starts_with("/dev/pts/") && ::lstat(target.c_str(), &info) != 0 && errno == ENOENT;
}

}  // namespace

fs::path ConfigHome(const std::string& option) {
  return option.empty() ? kestrel::ConfigHome() : fs::path(option);
}

std::optional<std::string> AliasName(std::string_view portName) {
  const auto number = ComNumber(portName);
  if (!number || *number < 1 || *number > MaxComNumber) return std::nullopt;
  return "COM" + std::to_string(*number);
}

PortAlias::PortAlias(const fs::path& configHome, const std::string& portName) : portName_(portName) {
  if (const auto name = AliasName(portName)) path_ = PortAliasFolder(configHome) / *name;
}

void PortAlias::Register(const std::string& target) {
  if (portName_.empty()) return;
  if (path_.empty()) throw AliasRefused("the port name " + portName_ + " is not a COM name (COM1 to COM256)");
  fs::create_directories(path_.parent_path());
  const FolderLock lock(path_.parent_path());
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path_, error);
  if (!fs::exists(status)) {
    fs::create_symlink(target, path_);
  } else if (!fs::is_symlink(status)) {
    throw AliasRefused(path_.string() + " is not an emulator's alias; it is left as it is");
  } else if (const fs::path old = fs::read_symlink(path_); old != target) {
    if (!LeadsToGonePty(old))
      throw AliasRefused(portName_ + " is taken: " + path_.string() + " points to " + old.string() +
                         (old.string().starts_with("/dev/pts/") ? ", the line of another emulator" : "") +
                         "; remove the link if nothing uses it");
    // Replaced in one step: the name never goes missing meanwhile.
    fs::path temporary = path_;
    temporary += ".new." + std::to_string(getpid());
    fs::remove(temporary);
    fs::create_symlink(target, temporary);
    fs::rename(temporary, path_);
  }
  target_ = target;
}

void PortAlias::Remove() {
  if (path_.empty() || target_.empty()) return;
  std::error_code error;
  try {
    const FolderLock lock(path_.parent_path());
    if (fs::read_symlink(path_, error) == target_) fs::remove(path_, error);
  } catch (const fs::filesystem_error&) {
    // The folder has gone, and the alias with it.
  }
  target_.clear();
}

}  // namespace kestrel::emulator
