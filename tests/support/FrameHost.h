#pragma once
// The program's end of the line, for tests that speak raw frames to the device emulator: opens
// the emulator's pty slave (or any tty) raw and exchanges whole frames with it.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrel::test {

using Bytes = std::vector<std::uint8_t>;

class FrameHost {
 public:
  // Throws std::runtime_error when the path cannot be opened.
  explicit FrameHost(const std::string& path);
  ~FrameHost();
  FrameHost(const FrameHost&) = delete;
  FrameHost& operator=(const FrameHost&) = delete;

  // Sends the frame around `payload`.
  void Send(std::span<const std::uint8_t> payload);
  void SendRaw(std::span<const std::uint8_t> bytes);

  // Returns at once when the device is known to be ready (the last thing read was its poll);
  // otherwise drops what arrives up to and including the next poll. False when none comes.
  bool WaitForPoll(std::chrono::milliseconds timeout = std::chrono::seconds(2));
  // Reads until the first poll that is not inside a frame has arrived; returns all the bytes,
  // that poll included (empty when none came in time). Noise and broken frames are kept.
  Bytes ReadThroughPoll(std::chrono::milliseconds timeout = std::chrono::seconds(2));
  // Sends the command once the device is ready (its last poll has been read, or the next one
  // comes) and returns what it wrote up to its next poll: normally the reply frame and the
  // poll, only the poll when it refused.
  Bytes Exchange(std::span<const std::uint8_t> payload,
                 std::chrono::milliseconds timeout = std::chrono::seconds(2));
  // The reply payload of an exchange, when the device answered with a checked frame. Made for
  // commands that get an answer: a lone poll is taken as an idle one and the reply awaited.
  std::optional<Bytes> Ask(std::span<const std::uint8_t> payload);
  // Everything that arrives within `time`.
  Bytes ReadFor(std::chrono::milliseconds time);
  // Everything that arrives until the line has been quiet for `quiet`, at most `limit` in all.
  Bytes ReadUntilQuiet(std::chrono::milliseconds quiet,
                       std::chrono::milliseconds limit = std::chrono::seconds(5));

  int Fd() const { return fd_; }

 private:
  // Appends what arrives within `timeout` (at least one read's worth); false when nothing came.
  bool ReadSome(Bytes& into, std::chrono::milliseconds timeout);

  int fd_ = -1;
  Bytes pending_;       // read but not yet handed out
  bool ready_ = false;  // the last thing read was a poll and nothing was sent since
};

// Where the first poll outside a frame ends in `bytes`, or nothing when there is none yet.
std::optional<std::size_t> EndOfFirstPoll(std::span<const std::uint8_t> bytes);
// The payloads of the checked frames in `bytes`, polls left out.
std::vector<Bytes> Payloads(std::span<const std::uint8_t> bytes);

}  // namespace kestrel::test
