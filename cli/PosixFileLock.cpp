#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "cli/FileLock.h"

namespace kestrel::cli {

HeldLock::HeldLock(std::intptr_t file) : file_(file) {
  do error_ = ::flock(static_cast<int>(file_), LOCK_EX) == 0 ? 0 : errno;
  while (error_ == EINTR);
}

HeldLock::~HeldLock() {
  if (error_ == 0) ::flock(static_cast<int>(file_), LOCK_UN);
}

FileLock::FileLock(const std::string& path) {
  // Read-only: a lock file another user made is as good as one's own.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0)
    throw FileLockError(path + ": cannot be opened to lock it (" + std::generic_category().message(errno) +
                        ")");
  handle_ = fd;
  lock_ = std::make_unique<HeldLock>(handle_);
  if (const int error = lock_->Error()) {
    ::close(fd);
    throw FileLockError(path + ": cannot be locked (" + std::generic_category().message(error) + ")");
  }
}

FileLock::~FileLock() {
  lock_.reset();
  ::close(static_cast<int>(handle_));
}

}  // namespace kestrel::cli
