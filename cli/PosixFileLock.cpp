#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "cli/FileLock.h"

namespace kestrel::cli {

namespace {

[[noreturn]] void Fail(const std::string& path, const char* what, int error) {
  throw FileLockError(path + ": cannot be " + what + " (" + std::generic_category().message(error) + ")");
}

}  // namespace

FileLock::FileLock(const std::string& path) {
  // Read-only: a lock file another user made is as good as one's own.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) Fail(path, "opened to lock it", errno);
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    ::close(fd);
    Fail(path, "locked", error);
  }
  handle_ = fd;
}

// Closing the file drops the lock.
FileLock::~FileLock() { ::close(static_cast<int>(handle_)); }

}  // namespace kestrel::cli
