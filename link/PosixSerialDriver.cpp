#include "link/PosixSerialDriver.h"

#include <asm/ioctls.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include "link/PosixDeviceAccess.h"
#include "link/PosixPortNames.h"
#include "link/TComm32.h"

namespace kestrel {
namespace {

constexpr int ModemLines = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD;

int ModemBits(int fd, unsigned long request, int bits) { return ioctl(fd, request, &bits); }

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Waits without time limit; a signal does not end the wait.
int PollAll(pollfd* fds, nfds_t count) {
  int ready;
  do {
    ready = poll(fds, count, -1);
  } while (ready < 0 && errno == EINTR);
  return ready;
}

// The signal that interrupts the modem watcher's wait. Its handler does nothing: the
// interrupted ioctl returns EINTR and the watcher looks at its stop flag.
int WatcherWakeSignal() {
  static const int signal = [] {
    const int chosen = SIGRTMIN + 3;
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    sigaction(chosen, &action, nullptr);
    return chosen;
  }();
  return signal;
}

}  // namespace

bool ToTermios(const LineSettings& s, termios2& tty) {
  static constexpr tcflag_t Sizes[] = {CS5, CS6, CS7, CS8};
  const bool ctsFlow = s.fRtsControl == RtsControl::Handshake;
  if (s.BaudRate == 0 || s.ByteSize < 5 || s.ByteSize > 8 || s.Parity > pSpace || s.StopBits > sb2_0)
    return false;
  // 1.5 stop bits exist only with 5 data bits, 2 only with more.
  if ((s.StopBits == sb1_5) != (s.StopBits != sb1_0 && s.ByteSize == 5)) return false;
  // The tty layer has no DSR handshake, no RTS toggling, CTS and RTS handshake only together,
  // and never drops or replaces received bytes.
  if (s.fOutxDsrFlow || s.fDsrSensitivity || s.fDtrControl == DtrControl::Handshake ||
      s.fRtsControl == RtsControl::Toggle || s.fOutxCtsFlow != ctsFlow || s.fNull || s.fErrorChar)
    return false;

  tty.c_iflag = (s.fOutX ? IXON : 0) | (s.fInX ? IXOFF : 0) | (s.fParity ? INPCK : 0);
  tty.c_oflag = 0;
  tty.c_lflag = 0;
  tty.c_cflag = CREAD | CLOCAL | HUPCL | BOTHER | Sizes[s.ByteSize - 5] | (s.StopBits != sb1_0 ? CSTOPB : 0) |
                (ctsFlow ? CRTSCTS : 0);
  switch (s.Parity) {
    case pOdd:
      tty.c_cflag |= PARENB | PARODD;
      break;
    case pEven:
      tty.c_cflag |= PARENB;
      break;
    case pMark:
      tty.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case pSpace:
      tty.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  tty.c_ispeed = tty.c_ospeed = s.BaudRate;
  tty.c_cc[VMIN] = 1;
  tty.c_cc[VTIME] = 0;
  tty.c_cc[VSTART] = s.XonChar;
  tty.c_cc[VSTOP] = s.XoffChar;
  tty.c_cc[VEOF] = s.EofChar;
  return true;
}

LineSettings FromTermios(const termios2& tty) {
  LineSettings s;
  s.BaudRate = tty.c_ospeed;
  switch (tty.c_cflag & CSIZE) {
    case CS5:
      s.ByteSize = 5;
      break;
    case CS6:
      s.ByteSize = 6;
      break;
    case CS7:
      s.ByteSize = 7;
      break;
    default:
      s.ByteSize = 8;
      break;
  }
  if (tty.c_cflag & PARENB) {
    const bool odd = tty.c_cflag & PARODD;
    s.Parity = (tty.c_cflag & CMSPAR) ? (odd ? pMark : pSpace) : (odd ? pOdd : pEven);
  }
  if (tty.c_cflag & CSTOPB) s.StopBits = s.ByteSize == 5 ? sb1_5 : sb2_0;
  if (tty.c_cflag & CRTSCTS) {
    s.fOutxCtsFlow = true;
    s.fRtsControl = RtsControl::Handshake;
  }
  s.fOutX = tty.c_iflag & IXON;
  s.fInX = tty.c_iflag & IXOFF;
  s.fParity = tty.c_iflag & INPCK;
  s.XonChar = tty.c_cc[VSTART];
  s.XoffChar = tty.c_cc[VSTOP];
  s.EofChar = tty.c_cc[VEOF];
  return s;
}

std::unique_ptr<SerialDriver> MakeSerialDriver() { return std::make_unique<PosixSerialDriver>(); }

PosixSerialDriver::~PosixSerialDriver() { Close(); }

SerialDriver::OpenResult PosixSerialDriver::Open(const std::string& portName) {
  const std::string path = ResolvePortName(portName);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && (errno == EACCES || errno == EPERM)) {
    accessHint_ = AccessDeniedHint(path);
    return OpenResult::AccessDenied;
  }
  if (fd < 0) return OpenResult::CannotOpen;
  if (!isatty(fd)) {
    close(fd);
    return OpenResult::NotSerial;
  }
  // Exclusive: other processes honouring the lock, and other opens of the tty, are refused.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return OpenResult::CannotOpen;
  }
  ioctl(fd, TIOCEXCL);
  fd_ = fd;

  int lines = 0;
  hasModemLines_ = ioctl(fd_, TIOCMGET, &lines) == 0;
  serial_icounter_struct counters{};
  hasCounters_ = ioctl(fd_, TIOCGICOUNT, &counters) == 0;
  lastFrame_ = counters.frame;
  lastOverrun_ = counters.overrun;
  lastParity_ = counters.parity;
  lastBreak_ = counters.brk;
  lastBufOverrun_ = counters.buf_overrun;
  // USB adapters otherwise hold received bytes back for several milliseconds.
  serial_struct serial{};
  if (ioctl(fd_, TIOCGSERIAL, &serial) == 0) {
    serial.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd_, TIOCSSERIAL, &serial);
  }
  return OpenResult::Opened;
}

void PosixSerialDriver::Close() {
  StopModemWatcher();
  if (fd_ >= 0) ioctl(fd_, TIOCNXCL);
  CloseFd(fd_);
  CloseFd(stopFd_);
  CloseFd(eventFd_);
  stopRaised_ = false;
  readerSawHangup_ = false;
  writerSawHangup_ = false;
  pendingEvents_ = 0;
  lineErrors_ = 0;
}

bool PosixSerialDriver::GetState(LineSettings& settings) {
  termios2 tty{};
  if (ioctl(fd_, TCGETS2, &tty) != 0) return false;
  settings = FromTermios(tty);
  settings.EvtChar = evtChar_;
  return true;
}

bool PosixSerialDriver::SetState(const LineSettings& settings) {
  termios2 tty{};
  if (ioctl(fd_, TCGETS2, &tty) != 0 || !ToTermios(settings, tty) || ioctl(fd_, TCSETS2, &tty) != 0)
    return false;
  evtChar_ = settings.EvtChar;
  // Lines not under handshake control take the level the record asks for; a device without
  // modem lines has nothing to set.
  ModemBits(fd_, settings.fDtrControl == DtrControl::Enable ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
  if (settings.fRtsControl != RtsControl::Handshake)
    ModemBits(fd_, settings.fRtsControl == RtsControl::Enable ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
  return true;
}

bool PosixSerialDriver::SetReadInterval(std::uint32_t milliseconds) {
  readIntervalMs_ = static_cast<int>(std::min<std::uint32_t>(milliseconds, 60000));
  return true;
}

// The tty layer's buffers have fixed sizes.
bool PosixSerialDriver::SetupComm(std::uint32_t, std::uint32_t) { return false; }

bool PosixSerialDriver::EscapeCommFunction(int code) {
  switch (code) {
    case SETXOFF:
      return ioctl(fd_, TCXONC, TCOOFF) == 0;
    case SETXON:
      return ioctl(fd_, TCXONC, TCOON) == 0;
    case SETRTS:
      return ModemBits(fd_, TIOCMBIS, TIOCM_RTS) == 0;
    case CLRRTS:
      return ModemBits(fd_, TIOCMBIC, TIOCM_RTS) == 0;
    case SETDTR:
      return ModemBits(fd_, TIOCMBIS, TIOCM_DTR) == 0;
    case CLRDTR:
      return ModemBits(fd_, TIOCMBIC, TIOCM_DTR) == 0;
    case SETBREAK:
      return ioctl(fd_, TIOCSBRK) == 0;
    case CLRBREAK:
      return ioctl(fd_, TIOCCBRK) == 0;
    default:
      return false;
  }
}

bool PosixSerialDriver::CreateStopSignal() {
  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return stopFd_ >= 0;
}

// The counter is never read back, so the stop signal stays set.
void PosixSerialDriver::RaiseStop() {
  stopRaised_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(stopFd_, &one, sizeof one);
}

bool PosixSerialDriver::StopRaised() { return stopRaised_; }

bool PosixSerialDriver::SetCommMask(std::uint32_t events) {
  if (eventFd_ < 0) eventFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (eventFd_ < 0) return false;
  eventMask_ = events;
  constexpr std::uint32_t LineEvents = EV_CTS | EV_DSR | EV_RING | EV_RLSD;
  if ((events & LineEvents) && hasModemLines_ && hasCounters_ && !modemWatcher_.joinable()) {
    WatcherWakeSignal();
    watcherStopping_ = false;
    watcherEnded_ = false;
    try {
      modemWatcher_ = std::thread([this] { WatchModemLines(); });
    } catch (const std::system_error&) {
      return false;
    }
  }
  return true;
}

bool PosixSerialDriver::GetModemStatus(std::uint32_t& status) {
  int lines = 0;
  if (ioctl(fd_, TIOCMGET, &lines) != 0) return false;
  status = ((lines & TIOCM_CTS) ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) ? MS_DSR_ON : 0) |
           ((lines & TIOCM_RNG) ? MS_RING_ON : 0) | ((lines & TIOCM_CD) ? MS_RLSD_ON : 0);
  return true;
}

bool PosixSerialDriver::ClearCommError(std::uint32_t& errors) {
  errors = lineErrors_.exchange(0);
  return true;
}

void PosixSerialDriver::AddEvents(std::uint32_t events) {
  events &= eventMask_;
  if (events == 0) return;
  pendingEvents_.fetch_or(events);
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(eventFd_, &one, sizeof one);
}

// Clears the wake-up before taking the events, so that events added meanwhile wake the reader
// again rather than waiting unseen.
std::uint32_t PosixSerialDriver::TakeEvents() {
  std::uint64_t counter = 0;
  [[maybe_unused]] const ssize_t got = read(eventFd_, &counter, sizeof counter);
  return pendingEvents_.exchange(0);
}

SerialDriver::Io PosixSerialDriver::WaitCommEvent(std::uint32_t& events) {
  events = TakeEvents();
  return events ? Io::Completed : Io::Pending;
}

bool PosixSerialDriver::FetchCommEvent(std::uint32_t& events) {
  events = TakeEvents();
  return true;
}

// A read takes what is there, then goes on while the next bytes come within the read interval.
// A closed far side reads as zero bytes (EIO on a pseudo-terminal).
SerialDriver::Io PosixSerialDriver::Read(std::uint8_t* buffer, std::size_t size, std::size_t& count) {
  // The default timer slack (50 us) would lengthen every chunk beyond its read interval.
  [[maybe_unused]] static thread_local const bool precise = prctl(PR_SET_TIMERSLACK, 1UL) == 0;
  ssize_t got;
  do {
    got = read(fd_, buffer, size);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    // Nothing to read from a line that reported a hang-up: it has ended.
    if (errno == EAGAIN && !readerSawHangup_) return Io::Pending;
    if (errno == EAGAIN || errno == EIO) {
      count = 0;
      return Io::Completed;
    }
    return errno == EBADF ? Io::InvalidHandle : Io::Failed;
  }
  std::size_t total = static_cast<std::size_t>(got);
  while (total != 0 && total < size) {
    pollfd fds[] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    if (poll(fds, 2, readIntervalMs_) <= 0 || fds[1].revents) break;
    got = read(fd_, buffer + total, size - total);
    if (got <= 0) break;  // the next read reports what ended the line
    total += static_cast<std::size_t>(got);
  }
  NoteReceived(buffer, total);
  count = total;
  return Io::Completed;
}

// Raises the event-character event from the bytes themselves, and line errors and breaks from
// the device's counters where it keeps them.
void PosixSerialDriver::NoteReceived(const std::uint8_t* data, std::size_t count) {
  std::uint32_t events = (count != 0 && std::memchr(data, evtChar_, count)) ? EV_RXFLAG : 0;
  serial_icounter_struct counters{};
  if (hasCounters_ && ioctl(fd_, TIOCGICOUNT, &counters) == 0) {
    std::uint32_t errors = 0;
    if (std::uint32_t(counters.frame) != lastFrame_) errors |= CE_FRAME;
    if (std::uint32_t(counters.overrun) != lastOverrun_) errors |= CE_OVERRUN;
    if (std::uint32_t(counters.parity) != lastParity_) errors |= CE_RXPARITY;
    if (std::uint32_t(counters.buf_overrun) != lastBufOverrun_) errors |= CE_RXOVER;
    if (errors) events |= EV_ERR;
    if (std::uint32_t(counters.brk) != lastBreak_) {
      errors |= CE_BREAK;
      events |= EV_BREAK;
    }
    lastFrame_ = counters.frame;
    lastOverrun_ = counters.overrun;
    lastParity_ = counters.parity;
    lastBreak_ = counters.brk;
    lastBufOverrun_ = counters.buf_overrun;
    lineErrors_.fetch_or(errors);
  }
  AddEvents(events);
}

SerialDriver::Wake PosixSerialDriver::WaitReader() {
  pollfd fds[] = {{stopFd_, POLLIN, 0}, {eventFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
  if (PollAll(fds, 3) < 0) return Wake::Failed;
  if (fds[0].revents) return Wake::Stop;
  if (fds[1].revents) return Wake::LineEvent;
  if (fds[2].revents & POLLNVAL) return Wake::Failed;
  readerSawHangup_ = fds[2].revents & (POLLHUP | POLLERR);
  return Wake::Ready;
}

void PosixSerialDriver::PurgeReceive() { ioctl(fd_, TCFLSH, TCIFLUSH); }

SerialDriver::Io PosixSerialDriver::Write(const std::uint8_t* data, std::size_t size, std::size_t& written) {
  ssize_t sent;
  do {
    sent = write(fd_, data, size);
  } while (sent < 0 && errno == EINTR);
  if (sent >= 0) {
    written = static_cast<std::size_t>(sent);
    return Io::Completed;
  }
  if (errno == EAGAIN && !writerSawHangup_) return Io::Pending;
  return errno == EBADF ? Io::InvalidHandle : Io::Failed;
}

SerialDriver::Wake PosixSerialDriver::WaitWriter() {
  pollfd fds[] = {{stopFd_, POLLIN, 0}, {fd_, POLLOUT, 0}};
  if (PollAll(fds, 2) < 0) return Wake::Failed;
  if (fds[0].revents) return Wake::Stop;
  if (fds[1].revents & POLLNVAL) return Wake::Failed;
  writerSawHangup_ = fds[1].revents & (POLLHUP | POLLERR);
  return Wake::Ready;  // writable, or the write reports what went wrong
}

void PosixSerialDriver::PurgeTransmit() { ioctl(fd_, TCFLSH, TCOFLUSH); }

void PosixSerialDriver::WatchModemLines() {
  serial_icounter_struct last{};
  if (ioctl(fd_, TIOCGICOUNT, &last) == 0) {
    while (!watcherStopping_) {
      if (ioctl(fd_, TIOCMIWAIT, ModemLines) != 0) {
        if (errno == EINTR) continue;
        break;
      }
      serial_icounter_struct now{};
      if (ioctl(fd_, TIOCGICOUNT, &now) != 0) break;
      AddEvents((now.cts != last.cts ? EV_CTS : 0) | (now.dsr != last.dsr ? EV_DSR : 0) |
                (now.rng != last.rng ? EV_RING : 0) | (now.dcd != last.dcd ? EV_RLSD : 0));
      last = now;
    }
  }
  std::lock_guard lock(watcherMutex_);
  watcherEnded_ = true;
  watcherEndedChanged_.notify_all();
}

// The watcher may be about to enter its wait when the first signal comes, so signal again until
// it has gone.
void PosixSerialDriver::StopModemWatcher() {
  if (!modemWatcher_.joinable()) return;
  watcherStopping_ = true;
  {
    std::unique_lock lock(watcherMutex_);
    while (!watcherEnded_) {
      pthread_kill(modemWatcher_.native_handle(), WatcherWakeSignal());
      watcherEndedChanged_.wait_for(lock, std::chrono::milliseconds(5));
    }
  }
  modemWatcher_.join();
}

}  // namespace kestrel
