#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <span>
#include <system_error>

#include "buffer/WriteAll.h"
#include "cli/FileLock.h"
#include "cli/RunLog.h"

namespace kestrel::cli {

namespace {

// Whether the file is empty or ends with a line feed: the last record is whole.
bool EndsWithLineFeed(int fd) {
  struct stat info {};
  char last = '\n';
  return ::fstat(fd, &info) != 0 || info.st_size == 0 || ::pread(fd, &last, 1, info.st_size - 1) != 1 ||
         last == '\n';
}

}  // namespace

OpenedLog RunLog::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0)
    return {nullptr, path + ": the log cannot be opened (" + std::generic_category().message(errno) + ")"};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return {nullptr, path + ": the log must be a regular file"};
  }
  return {std::unique_ptr<RunLog>(new RunLog(path, fd)), {}};
}

RunLog::~RunLog() { ::close(static_cast<int>(handle_)); }

int RunLog::AppendLine(std::string_view line) {
  const int fd = static_cast<int>(handle_);
  const HeldLock lock(handle_);
  if (lock.Error() != 0) return lock.Error();
  std::string whole;
  if (!EndsWithLineFeed(fd)) whole = '\n';
  whole += line;
  if (const int error =
          WriteAll(fd, std::span(reinterpret_cast<const std::uint8_t*>(whole.data()), whole.size())))
    return error;
  return ::fsync(fd) == 0 ? 0 : errno;
}

}  // namespace kestrel::cli
