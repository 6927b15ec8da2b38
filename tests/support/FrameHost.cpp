#include "tests/support/FrameHost.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>
#include <utility>

#include "buffer/WriteAll.h"
#include "link/Frame.h"

namespace kestrel::test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Walks the frames in `bytes`: `visit(offset, length)` for each whole frame with checked sums
// (length 6 for a poll); stops early when `visit` returns true. Returns where it stopped.
template <class Visit>
std::size_t WalkFrames(std::span<const std::uint8_t> bytes, Visit visit) {
  std::size_t pos = 0;
  while (bytes.size() - pos >= FrameHeaderSize) {
    const std::uint8_t* at = bytes.data() + pos;
    if (!IsMarkerAt(at) || !HeaderValid(at)) {
      ++pos;
      continue;
    }
    const std::size_t length = at[4] == 0 ? FrameHeaderSize : at[4] + FrameOverhead;
    if (bytes.size() - pos < length) break;
    if (at[4] != 0 && !PayloadValid(at)) {
      ++pos;
      continue;
    }
    if (visit(pos, length)) return pos + length;
    pos += length;
  }
  return bytes.size();
}

}  // namespace

std::optional<std::size_t> EndOfFirstPoll(std::span<const std::uint8_t> bytes) {
  std::optional<std::size_t> end;
  WalkFrames(bytes, [&](std::size_t pos, std::size_t length) {
    if (length == FrameHeaderSize) end = pos + length;
    return end.has_value();
  });
  return end;
}

std::vector<Bytes> Payloads(std::span<const std::uint8_t> bytes) {
  std::vector<Bytes> payloads;
  WalkFrames(bytes, [&](std::size_t pos, std::size_t length) {
    if (length > FrameHeaderSize)
      payloads.emplace_back(bytes.begin() + pos + 6, bytes.begin() + pos + length - 1);
    return false;
  });
  return payloads;
}

FrameHost::FrameHost(const std::string& path) {
  fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path);
  termios tio{};
  tcgetattr(fd_, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd_, TCSANOW, &tio);
}

FrameHost::~FrameHost() {
  if (fd_ >= 0) close(fd_);
}

void FrameHost::Send(std::span<const std::uint8_t> payload) { SendRaw(ComposeFrame(payload)); }

void FrameHost::SendRaw(std::span<const std::uint8_t> bytes) {
  ready_ = false;
  if (WriteAll(fd_, bytes) != 0) throw std::runtime_error("write to the line failed");
}

bool FrameHost::ReadSome(Bytes& into, milliseconds timeout) {
  pollfd data{fd_, POLLIN, 0};
  if (poll(&data, 1, static_cast<int>(timeout.count())) <= 0 || (data.revents & POLLIN) == 0) return false;
  std::uint8_t chunk[4096];
  const ssize_t n = read(fd_, chunk, sizeof chunk);
  if (n <= 0) return false;
  into.insert(into.end(), chunk, chunk + n);
  return true;
}

Bytes FrameHost::ReadThroughPoll(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (const auto end = EndOfFirstPoll(pending_)) {
      Bytes head(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(*end));
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(*end));
      ready_ = pending_.empty();
      return head;
    }
    if (!ReadSome(pending_, milliseconds(RemainingMs(deadline)))) return {};
  }
}

bool FrameHost::WaitForPoll(milliseconds timeout) {
  if (ready_) return true;
  if (ReadThroughPoll(timeout).empty()) return false;
  // Polls that piled up while nobody read: the device has been ready since the latest one.
  while (ReadSome(pending_, milliseconds(0))) {
  }
  while (const auto end = EndOfFirstPoll(pending_)) {
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(*end));
  }
  return true;
}

Bytes FrameHost::Exchange(std::span<const std::uint8_t> payload, milliseconds timeout) {
  if (!WaitForPoll(timeout)) return {};
  Send(payload);
  return ReadThroughPoll(timeout);
}

std::optional<Bytes> FrameHost::Ask(std::span<const std::uint8_t> payload) {
  auto payloads = Payloads(Exchange(payload));
  // An idle poll that crossed the command on the line comes before the reply.
  const auto deadline = Clock::now() + milliseconds(200);
  while (payloads.empty() && Clock::now() < deadline) {
    const Bytes more = ReadThroughPoll(milliseconds(RemainingMs(deadline)));
    if (more.empty()) break;
    payloads = Payloads(more);
  }
  if (payloads.empty()) return std::nullopt;
  return payloads.front();
}

Bytes FrameHost::ReadFor(milliseconds time) {
  const auto deadline = Clock::now() + time;
  Bytes bytes = std::exchange(pending_, {});
  ready_ = false;
  while (Clock::now() < deadline) ReadSome(bytes, milliseconds(RemainingMs(deadline)));
  return bytes;
}

Bytes FrameHost::ReadUntilQuiet(milliseconds quiet, milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  Bytes bytes = std::exchange(pending_, {});
  ready_ = false;
  while (Clock::now() < deadline && ReadSome(bytes, std::min(quiet, milliseconds(RemainingMs(deadline))))) {
  }
  return bytes;
}

}  // namespace kestrel::test
