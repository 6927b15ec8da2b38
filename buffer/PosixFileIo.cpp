#include "buffer/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>

#include "buffer/WriteAll.h"

namespace kestrel {

namespace {

// The open of a FIFO nobody reads, a socket, or a device without its hardware.
constexpr char NobodyThereRu[] = "на другом конце нет ни читающей программы, ни устройства";
constexpr char NobodyThereEn[] = "no reading program or device at the other end";

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
    case ENXIO:
      return NobodyThereRu;
    default:
      return std::strerror(error);
  }
}

[[noreturn]] void Fail(const char* action, const std::string& path, int error) {
  throw FileError(std::string("Не удалось ") + action + " файл «" + path + "»: " + Reason(error) + ".",
                  error);
}

struct FdCloser {
  void operator()(const int* fd) const {
    ::close(*fd);
    delete fd;
  }
};
using UniqueFd = std::unique_ptr<int, FdCloser>;

UniqueFd Own(int fd) { return UniqueFd(new int(fd)); }

// Makes reads and writes on `fd` wait again after a non-blocking open. 0 or the error.
int MakeBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return errno;
  return 0;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// Where the symbolic links from `path` lead: the first name on the way that is no link, which
// need not exist (the file a dangling link names is made there). 0 or the error (ELOOP).
int FollowLinks(std::string& path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return errno;
    target.resize(static_cast<std::size_t>(length));
    path = target.starts_with('/') ? target : FolderOf(path) + target;
  }
  return ELOOP;
}

std::string TemporaryNameBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const std::string directory = FolderOf(path);
  const std::string name = path.substr(directory.size());
  return directory + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

// Flushes the folder's entries, so that a rename in it outlives a crash of the system.
void SyncFolder(const std::string& path) {
  const std::string folder = FolderOf(path);
  const int raw = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (raw < 0) return;
  // Some file systems cannot sync a folder; the file itself is on the disk already.
  [[maybe_unused]] const int ignored = ::fsync(*Own(raw));
}

// Writes `bytes` to a new file beside `target` and renames it over `target`; `old` describes the
// regular file there, if any.
int ReplaceByRename(const std::string& target, const struct stat* old, std::span<const std::uint8_t> bytes) {
  if (old) {
    // A file without any write permission is read-only, also for a user who could override it.
    if ((old->st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
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
    if (old) {
      // Keep the owner where allowed; the permissions always.
      [[maybe_unused]] const int ignored = ::fchown(*fd, old->st_uid, old->st_gid);
      if (::fchmod(*fd, old->st_mode & 07777) != 0) error = errno;
    }
    if (error == 0) error = WriteAll(*fd, bytes);
    if (error == 0 && ::fsync(*fd) != 0) error = errno;
  }
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return error;
  }
  SyncFolder(target);
  return 0;
}

// Writes `bytes` into what `path` opens, in place. A regular file (one that only a link of the
// kernel's, /proc/self/fd/N, still reaches) is truncated first; a device never is.
int WriteInPlace(const std::string& path, std::span<const std::uint8_t> bytes, bool regular) {
  // Non-blocking, so that a FIFO nobody reads fails at once (ENXIO) instead of waiting forever
  // and a terminal line does not wait for its carrier.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | (regular ? O_TRUNC : 0));
  if (fd < 0) return errno;
  int error = MakeBlocking(fd);
  if (error == 0) error = WriteAll(fd, bytes);
  if (error == 0 && regular && ::fsync(fd) != 0) error = errno;
  // A device or a network file may report a failed write only here.
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  return error;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t limit) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    Fail("открыть", path, errno);
  }
  if (S_ISDIR(info.st_mode)) Fail("открыть", path, EISDIR);
  // A FIFO's open waits for its writer, as any reader's does; anything else opens at once (a
  // terminal line without waiting for its carrier) and reads wait from then on.
  const bool fifo = S_ISFIFO(info.st_mode);
  int raw = -1;
  do {
    raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (fifo ? 0 : O_NONBLOCK));
  } while (raw < 0 && errno == EINTR);
  if (raw < 0) {
    if (errno == ENOENT) return std::nullopt;
    Fail("открыть", path, errno);
  }
  const UniqueFd fd = Own(raw);
  if (::fstat(*fd, &info) != 0) Fail("открыть", path, errno);
  if (S_ISDIR(info.st_mode)) Fail("открыть", path, EISDIR);
  if (const int error = MakeBlocking(*fd)) Fail("открыть", path, error);

  // A regular file's size is known; a stream's grows as it comes.
  const std::size_t expected = S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) + 1 : 4096;
  std::vector<std::uint8_t> bytes(std::min(limit, expected));
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
  struct stat node {};
  if (::stat(path.c_str(), &node) != 0) {
    if (errno != ENOENT) return errno;
    // Nothing there yet, or a link to where nothing is yet: the file is made where the links end.
    std::string target = path;
    if (const int error = FollowLinks(target)) return error;
    return ReplaceByRename(target, nullptr, bytes);
  }
  if (S_ISDIR(node.st_mode)) return EISDIR;
  if (!S_ISREG(node.st_mode)) return WriteInPlace(path, bytes, false);
  // The file's own name, links resolved, unless only a link of the kernel's reaches it (the
  // /proc/self/fd/N of a deleted file names no file).
  char resolved[PATH_MAX];
  struct stat named {};
  if (::realpath(path.c_str(), resolved) == nullptr || ::stat(resolved, &named) != 0 ||
      named.st_dev != node.st_dev || named.st_ino != node.st_ino)
    return WriteInPlace(path, bytes, true);
  return ReplaceByRename(resolved, &node, bytes);
}

void ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (const int error = TryReplaceFileContents(path, bytes)) Fail("сохранить", path, error);
}

std::string FileErrorCause(int systemError) {
  if (systemError == ENXIO) return NobodyThereEn;
  std::string cause = std::generic_category().message(systemError);
  if (!cause.empty()) cause[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(cause[0])));
  return cause;
}

}  // namespace kestrel
