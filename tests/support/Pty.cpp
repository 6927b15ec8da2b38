#include "tests/support/Pty.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "link/PosixPortNames.h"

namespace kestrel::test {

Pty::Pty() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  char name[128];
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    if (master_ >= 0) close(master_);
    throw std::runtime_error("no pseudo-terminal");
  }
  slavePath_ = name;
}

Pty::~Pty() { CloseMaster(); }

void Pty::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

bool Pty::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size != 0) {
    const ssize_t sent = write(master_, bytes, size);
    if (sent < 0) {
      if (errno == EINTR) continue;
      pollfd room{master_, POLLOUT, 0};
      if (errno != EAGAIN || poll(&room, 1, 5000) <= 0) return false;
      continue;
    }
    bytes += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

std::vector<std::uint8_t> Pty::Read(std::size_t size, std::chrono::milliseconds quiet) {
  std::vector<std::uint8_t> bytes(size);
  std::size_t got = 0;
  while (got < size) {
    pollfd data{master_, POLLIN, 0};
    if (poll(&data, 1, static_cast<int>(quiet.count())) <= 0) break;
    const ssize_t n = read(master_, bytes.data() + got, size - got);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

PtySettings Pty::Settings() const {
  termios2 tty{};
  if (ioctl(master_, TCGETS2, &tty) != 0) throw std::runtime_error("TCGETS2 failed");
  return {tty.c_iflag, tty.c_oflag, tty.c_cflag, tty.c_lflag, tty.c_ispeed, tty.c_ospeed};
}

TempConfigHome::TempConfigHome() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-config-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
  path_ = pattern;
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
    saved_ = old;
    hadSaved_ = true;
  }
  setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
}

TempConfigHome::~TempConfigHome() {
  if (hadSaved_)
    setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TempConfigHome::AddAlias(const std::string& com, const std::string& target) const {
  const std::filesystem::path folder = PortAliasFolder();
  std::filesystem::create_directories(folder);
  std::filesystem::create_symlink(target, folder / com);
}

}  // namespace kestrel::test
