// Feeds a session's receive path with arbitrary chunks while the operations the input picks
// wait in its queue, with the reply handling behind it. Random bytes seldom pass the checksums,
// so part of the input is wrapped in correct frames; the rest arrives raw, split anywhere.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "link/Frame.h"
#include "operations/Session.h"
#include "tests/support/FakeLink.h"

namespace {

using namespace kestrel;

class Input {
 public:
  explicit Input(std::span<const std::uint8_t> data) : data_(data) {}
  bool Empty() const { return pos_ >= data_.size(); }
  std::uint8_t Byte() { return Empty() ? 0 : data_[pos_++]; }
  std::span<const std::uint8_t> Take(std::size_t n) {
    n = std::min(n, data_.size() - pos_);
    const auto part = data_.subspan(pos_, n);
    pos_ += n;
    return part;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

// What the session knows agrees with what its view was shown.
void CheckInvariants(const FakeLink& link) {
  const Session& s = link.session;
  Check(link.view.queuePosition >= 0 && link.view.queuePosition <= link.view.queueMaximum);
  Check(s.Busy() || (link.view.queuePosition == 0 && !link.view.queueWindowVisible));
  Check(s.Programmer().Chips == link.view.chips);
  Check(s.Programmer().InfoLines.size() == link.view.infoLines.size());
  Check(s.Chip().RowCommands.size() == link.view.commandRows.size() && s.Chip().RowCommands.size() <= 32);
  Check(s.Chip().FuseBitNames == link.view.fuseDialog.Names());
  Check(s.Chip().LockBitNames == link.view.lockDialog.Names());
}

void Receive(FakeLink& link, std::span<const std::uint8_t> chunk) { link.Receive(chunk); }

// A frame around the payload, delivered in two chunks cut at `cut`.
void ReceiveFramed(FakeLink& link, std::span<const std::uint8_t> payload, std::uint8_t cut) {
  if (payload.empty()) return;
  const Bytes frame = ComposeFrame(payload);
  const std::size_t at = std::min<std::size_t>(cut, frame.size());
  Receive(link, {frame.data(), at});
  Receive(link, {frame.data() + at, frame.size() - at});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in({data, size});
  FakeLink link;
  // While the give-up warning is open, the modal box's event loop may deliver a poll.
  bool nestedPoll = (in.Byte() & 1) != 0;
  link.view.duringWarning = [&] {
    if (!nestedPoll) return;
    nestedPoll = false;
    link.Poll();
  };
  link.session.Image().Resize(in.Byte() * 16);

  while (!in.Empty()) {
    switch (in.Byte() % 8) {
      case 0: {
        // Any operation, offered or not, on any chip, with any write options (no reload).
        const std::uint8_t chip = in.Byte(), operation = in.Byte(), switches = in.Byte();
        WriteOptions options;
        options.programMemory = {
            .reload = false, .erase = (switches & 1) != 0, .verify = (switches & 2) != 0};
        options.eeprom = {.reload = false, .erase = (switches & 4) != 0, .verify = (switches & 8) != 0};
        link.session.Run(static_cast<std::int8_t>(chip), static_cast<ChipCommand>(operation % 32), options);
        break;
      }
      case 1:
        Receive(link, in.Take(in.Byte()));
        break;
      case 2: {
        const std::uint8_t cut = in.Byte();
        ReceiveFramed(link, in.Take(in.Byte()), cut);
        break;
      }
      case 3:
        link.Poll();
        break;
      case 4: {
        // A reply to the command last sent, with its opcode and an arbitrary rest.
        if (!link.session.Busy() || link.written.frames.empty()) break;
        const Bytes sent = FrameLog::PayloadOf(link.written.frames.back());
        if (sent.empty()) break;
        Bytes payload{sent.front()};
        const auto rest = in.Take(in.Byte());
        payload.insert(payload.end(), rest.begin(), rest.end());
        ReceiveFramed(
            link, std::span<const std::uint8_t>(payload).first(std::min<std::size_t>(payload.size(), 255)),
            in.Byte());
        break;
      }
      case 5:
        link.session.WatchdogExpired();
        break;
      case 6:
        link.session.SelectChip(static_cast<std::int8_t>(in.Byte()));
        break;
      case 7:
        link.session.Image().Resize(in.Byte() * 64 + in.Byte());
        break;
    }
    CheckInvariants(link);
  }
  return 0;
}
