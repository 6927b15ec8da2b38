#include "emulator/Line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>
#include <thread>

#include "buffer/WriteAll.h"
#include "emulator/SerialSetup.h"

namespace kestrel::emulator {

namespace {

// How long a write waits for room before the rest of its bytes is lost.
constexpr int WritePatienceMs = 200;

[[noreturn]] void Fail(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

Line::Line(std::string devicePath, std::uint32_t baud) : devicePath_(std::move(devicePath)), baud_(baud) {}

Line::~Line() { Close(); }

void Line::Open() {
  Close();
  try {
    if (devicePath_.empty()) {
      OpenPseudoTerminal();
    } else {
      OpenDevice();
    }
  } catch (...) {
    Close();
    throw;
  }
}

void Line::OpenPseudoTerminal() {
  fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) Fail("posix_openpt");
  if (grantpt(fd_) != 0 || unlockpt(fd_) != 0) Fail("unlockpt");
  std::array<char, 256> name{};
  if (ptsname_r(fd_, name.data(), name.size()) != 0) Fail("ptsname");
  hostPath_ = name.data();
  slave_ = open(hostPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) Fail("open " + hostPath_);
  // Raw from the start, so nothing is echoed or translated before the program sets the line up.
  termios tio{};
  if (tcgetattr(slave_, &tio) != 0) Fail("tcgetattr " + hostPath_);
  cfmakeraw(&tio);
  if (tcsetattr(slave_, TCSANOW, &tio) != 0) Fail("tcsetattr " + hostPath_);
}

void Line::OpenDevice() {
  hostPath_ = devicePath_;
  fd_ = open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) Fail("open " + devicePath_);
  if (!ConfigureSerialLine(fd_, baud_)) Fail("line settings of " + devicePath_);
}

void Line::Close() {
  if (slave_ >= 0) close(slave_);
  if (fd_ >= 0) close(fd_);
  slave_ = fd_ = -1;
}

bool Line::Read(std::vector<std::uint8_t>& out) {
  std::array<std::uint8_t, 4096> chunk{};
  for (;;) {
    const ssize_t n = read(fd_, chunk.data(), chunk.size());
    if (n > 0) {
      out.insert(out.end(), chunk.begin(), chunk.begin() + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // A raw tty with nothing waiting reads 0; a vanished one fails, or shows in poll().
    return n == 0 || errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

void Line::DiscardInput() {
  std::vector<std::uint8_t> ignored;
  Read(ignored);
}

void Line::Drain(std::chrono::milliseconds patience) {
  if (slave_ < 0) {
    if (fd_ >= 0) tcdrain(fd_);
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + patience;
  // Written bytes reach the slave's queue a moment after the write; give them that moment.
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  int unread = 0;
  while (ioctl(slave_, FIONREAD, &unread) == 0 && unread > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void Line::DropUnreadBeyond(std::size_t limit) {
  int unread = 0;
  if (slave_ >= 0 && ioctl(slave_, FIONREAD, &unread) == 0 && static_cast<std::size_t>(unread) > limit) {
    tcflush(slave_, TCIFLUSH);
  }
}

bool Line::Write(std::span<const std::uint8_t> bytes) {
  // Bytes that find no room in time are dropped, as on a line nobody reads.
  const int error = WriteAll(fd_, bytes, WritePatienceMs);
  return error == 0 || error == ETIMEDOUT;
}

}  // namespace kestrel::emulator
