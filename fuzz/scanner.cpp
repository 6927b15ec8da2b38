// Feeds the receive path with arbitrary chunks while a queue of arbitrary commands waits, with
// the reply handling behind it. Random bytes seldom pass the checksums, so part of the input is
// wrapped in correct frames; the rest arrives raw, split anywhere.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "link/CommandQueue.h"
#include "link/Frame.h"
#include "link/Reception.h"
#include "operations/ChipSelection.h"
#include "operations/Connection.h"
#include "tests/support/FakeView.h"

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

void CheckInvariants(const FakeLink& link) {
  const Session& s = link.session;
  Check(s.reception.ScanPos() <= s.reception.FillCount() && s.reception.FillCount() <= ReceiveBufferSize);
  Check(s.reception.Reply().size() <= ReplyRecordSize);
  Check(link.view.queuePosition == static_cast<int>(s.queue.Size()));
  Check(!s.queue.Empty() || !link.view.queueWindowVisible);
  Check(s.queue.SendAttempts >= 0 && s.queue.SendAttempts < MaxSendAttempts);
  for (const QueuedCommand& c : s.queue.Entries()) Check(c.Length > 0 && c.Data);
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
  link.session.image.Resize(in.Byte() * 16);

  while (!in.Empty()) {
    switch (in.Byte() % 8) {
      case 0: {
        const auto payload = in.Take(in.Byte() % 16);
        link.session.queue.EnqueueCommand(payload.data(), static_cast<std::uint16_t>(payload.size()));
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
        // A reply to the head, with the right opcode and an arbitrary rest.
        if (link.session.queue.Empty()) break;
        Bytes payload{link.session.queue.Entries().front().Data[0]};
        const auto rest = in.Take(in.Byte());
        payload.insert(payload.end(), rest.begin(), rest.end());
        ReceiveFramed(
            link, std::span<const std::uint8_t>(payload).first(std::min<std::size_t>(payload.size(), 255)),
            in.Byte());
        break;
      }
      case 5:
        Timer2Timer(link.session);
        break;
      case 6:
        ListBox1Click(link.session, static_cast<std::int8_t>(in.Byte()));
        break;
      case 7:
        link.session.image.Resize(in.Byte() * 64 + in.Byte());
        break;
    }
    CheckInvariants(link);
  }
  return 0;
}
