#include "buffer/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "buffer/WriteAll.h"

namespace kestrel {

namespace {

std::string Reason(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "нет прав доступа";
    case EROFS:
      return "носитель только для чтения";
    case ENOSPC:
    case EDQUOT:
      return "нет места на диске";
    case ENOENT:
    case ENOTDIR:
      return "нет такой папки";
    case EISDIR:
      return "это папка, а не файл";
    default:
      return std::strerror(error);
  }
}

[[noreturn]] void Fail(const char* action, const std::string& path, int error) {
  throw FileError(std::string("Не удалось ") + action + " файл «" + path + "»: " + Reason(error) + ".");
}

struct FdCloser {
  void operator()(const int* fd) const {
    ::close(*fd);
    delete fd;
  }
};
using UniqueFd = std::unique_ptr<int, FdCloser>;

UniqueFd Own(int fd) { return UniqueFd(new int(fd)); }

// The file a path finally names, so that saving through a symbolic link replaces the file it
// points to, not the link.
std::string ResolvedTarget(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string TemporaryNameBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const auto slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return directory + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

// Makes a rename in the folder of `path` survive a power cut. A file system that cannot flush a
// folder has nothing more to flush.
void SyncFolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int raw = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (raw < 0) return;
  const UniqueFd fd = Own(raw);
  ::fsync(*fd);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadRegularFile(const std::string& path, std::size_t limit) {
  // Non-blocking, so that naming a FIFO does not hang; regular files ignore the flag.
  const int raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (raw < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    Fail("открыть", path, errno);
  }
  const UniqueFd fd = Own(raw);
  struct stat info {};
  if (::fstat(*fd, &info) != 0) Fail("открыть", path, errno);
  if (!S_ISREG(info.st_mode)) return std::nullopt;

  std::vector<std::uint8_t> bytes(std::min<std::size_t>(limit, static_cast<std::size_t>(info.st_size) + 1));
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) {
      if (filled >= limit) break;
      bytes.resize(std::min(limit, filled * 2 + 4096));
    }
    const ssize_t got = ::read(*fd, bytes.data() + filled, bytes.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail("прочитать", path, errno);
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return bytes;
}

int TryReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::string target = ResolvedTarget(path);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists) {
    if (S_ISDIR(old.st_mode)) return EISDIR;
    // A file without any write permission is read-only, also for a user who could override it.
    if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
    if (::access(target.c_str(), W_OK) != 0) return errno;
  }
  std::string temporary;
  int raw = -1;
  do {
    temporary = TemporaryNameBeside(target);
    raw = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  } while (raw < 0 && errno == EEXIST);
  if (raw < 0) return errno;

  int error = 0;
  {
    const UniqueFd fd = Own(raw);
    if (exists) {
      // Keep the owner where allowed; the permissions always.
      [[maybe_unused]] const int ignored = ::fchown(*fd, old.st_uid, old.st_gid);
      if (::fchmod(*fd, old.st_mode & 07777) != 0) error = errno;
    }
    if (error == 0) error = WriteAll(*fd, bytes);
    if (error == 0 && ::fsync(*fd) != 0) error = errno;
  }
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0)
    ::unlink(temporary.c_str());
  else
    SyncFolderOf(target);
  return error;
}

void ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (const int error = TryReplaceFileContents(path, bytes)) Fail("сохранить", path, error);
}

}  // namespace kestrel
