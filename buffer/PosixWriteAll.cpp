#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "buffer/WriteAll.h"

namespace kestrel {

int WriteAll(int fd, std::span<const std::uint8_t> bytes, int patienceMs) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(written));
      continue;
    }
    if (written == 0) return EIO;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return errno;
    pollfd room{fd, POLLOUT, 0};
    const int ready = ::poll(&room, 1, patienceMs);
    if (ready == 0) return ETIMEDOUT;
    if (ready < 0 && errno != EINTR) return errno;
  }
  return 0;
}

}  // namespace kestrel
