#pragma once
// The device's end of the wire and two fixtures on it whose written frames are captured: a whole
// session, and the link alone; and a scripted programmer to serve them.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "link/CommandQueue.h"
#include "link/Reception.h"
#include "operations/Session.h"
#include "tests/support/FakeView.h"

namespace kestrel {

// The device's end of the wire, shared by the fixtures below: it hands chunks to the host's end
// on the host's clock `now` and plays the device's polls and replies. Each chunk arrives some
// time after the previous event, by default late enough for any frame sent meanwhile to have
// crossed the line.
class DeviceEnd {
 public:
  static constexpr std::chrono::milliseconds DeviceTurn{100};

  DeviceEnd() = default;
  DeviceEnd(const DeviceEnd&) = delete;
  DeviceEnd& operator=(const DeviceEnd&) = delete;

  // One received chunk, `after` the clock's last reading.
  void Receive(std::span<const std::uint8_t> chunk, LinkClock::duration after = DeviceTurn);
  // The device's ready poll.
  void Poll(LinkClock::duration after = DeviceTurn);
  // A reply frame around `payload` (1..255 bytes), in one chunk.
  void Reply(const Bytes& payload);

  // Plays the device: polls, and answers each frame the host sends with `device(payload)` (no
  // answer when it returns nothing), while commands wait or until `maxPolls` polls were made.
  // Returns the number of polls.
  int Serve(const std::function<Bytes(const Bytes& command)>& device, int maxPolls = 10000);

  FrameLog written;
  LinkTime now{};

 protected:
  ~DeviceEnd() = default;
  // The line the host's end writes to: its frames go to `written`, at 56000 bit/s, on `now`.
  LinkLine Line();

 private:
  virtual void Deliver(std::span<const std::uint8_t> chunk, LinkTime receivedAt) = 0;
  virtual bool HostBusy() const = 0;
};

// A session on a FakeView with the device's end of the wire.
class FakeLink final : public DeviceEnd {
 public:
  FakeView view;
  Session session{view, Line()};

 private:
  void Deliver(std::span<const std::uint8_t> chunk, LinkTime receivedAt) override;
  bool HostBusy() const override;
};

// A reply the link handed to its owner, with the request it answered.
struct HandledReply {
  Bytes reply;
  Bytes request;
  bool operator==(const HandledReply&) const = default;
};
void PrintTo(const HandledReply& handled, std::ostream* out);

// A link owner that only records the replies it is handed.
class RecordingSink : public ReplySink {
 public:
  void HandleReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request) override;

  std::vector<HandledReply> replies;
};

// The link alone, with the device's end of the wire: a queue and a reception over one line,
// reporting to a FakeView and handing every accepted reply to a RecordingSink.
class LinkHarness final : public DeviceEnd {
 public:
  FakeView view;
  RecordingSink sink;
  LinkLine line = Line();
  CommandQueue queue{view, line};
  Reception reception{queue, view, sink, line};

 private:
  void Deliver(std::span<const std::uint8_t> chunk, LinkTime receivedAt) override;
  bool HostBusy() const override;
};

// A programmer for FakeLink::Serve. It tells its name, information lines and chip list from the
// fields below, and answers the questions about a chip from the entry of the chip the last
// SelectChip chose (a chip it does not have offers nothing and has no memory; Serve plays a copy,
// so the choice lasts for one Serve). Every chip command is confirmed by its opcode alone, so a
// read brings no bytes; a verify block is answered with its header and a match. `answer`, when
// set, goes first: a reply it returns is sent instead.
struct ScriptedDevice {
  struct Chip {
    std::string name{};
    std::vector<ChipCommand> commands{};  // its command mask
    std::vector<std::string> fuseBits{};
    std::vector<std::string> lockBits{};
    std::uint32_t programMemorySize = 0;
    std::uint32_t eepromSize = 0;
    std::uint32_t ramSize = 0;
  };

  Bytes operator()(const Bytes& command);

  std::string name = "P1";
  std::vector<std::string> infoLines;
  std::vector<Chip> chips;
  std::function<std::optional<Bytes>(const Bytes& command)> answer;
  int selected = -1;
};

}  // namespace kestrel
