#include "tests/support/FakeLink.h"

#include "link/Frame.h"

namespace kestrel {

LinkLine DeviceEnd::Line() {
  return {.WriteData = written.Writer(), .LineRate = [] { return 56000u; }, .Now = [this] { return now; }};
}

void DeviceEnd::Receive(std::span<const std::uint8_t> chunk, LinkClock::duration after) {
  now += after;
  Deliver(chunk, now);
}

void DeviceEnd::Poll(LinkClock::duration after) { Receive(PollFrame(), after); }

void DeviceEnd::Reply(const Bytes& payload) { Receive(ComposeFrame(payload)); }

int DeviceEnd::Serve(const std::function<Bytes(const Bytes& command)>& device, int maxPolls) {
  int polls = 0;
  while (HostBusy() && polls < maxPolls) {
    const std::size_t before = written.frames.size();
    Poll();
    ++polls;
    if (written.frames.size() == before) continue;
    const Bytes answer = device(FrameLog::PayloadOf(written.frames.back()));
    if (!answer.empty()) Reply(answer);
  }
  return polls;
}

void FakeLink::Deliver(std::span<const std::uint8_t> chunk, LinkTime receivedAt) {
  session.Receive(chunk, receivedAt);
}

bool FakeLink::HostBusy() const { return session.Busy(); }

void PrintTo(const HandledReply& handled, std::ostream* out) {
  const auto bytes = [out](const Bytes& payload) {
    *out << '{';
    for (std::size_t i = 0; i < payload.size(); ++i)
      *out << (i ? " " : "") << std::hex << std::uppercase << int(payload[i]) << std::dec;
    *out << '}';
  };
  *out << "reply ";
  bytes(handled.reply);
  *out << " to ";
  bytes(handled.request);
}

void RecordingSink::HandleReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request) {
  replies.push_back({Bytes(reply.begin(), reply.end()), Bytes(request.begin(), request.end())});
}

void LinkHarness::Deliver(std::span<const std::uint8_t> chunk, LinkTime receivedAt) {
  reception.Receive(chunk.data(), static_cast<std::uint16_t>(chunk.size()), receivedAt);
}

bool LinkHarness::HostBusy() const { return !queue.Empty(); }

namespace {

void AppendText(Bytes& reply, const std::string& text) {
  reply.push_back(static_cast<std::uint8_t>(text.size()));
  reply.insert(reply.end(), text.begin(), text.end());
}

void AppendU32(Bytes& reply, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) reply.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A reply to a question for the name or text at `index`: opcode, index, length, text; empty
// past the end of `names`.
Bytes NameReply(std::uint8_t opcode, std::uint8_t index, const std::vector<std::string>& names) {
  Bytes reply{opcode, index};
  AppendText(reply, index < names.size() ? names[index] : std::string());
  return reply;
}

}  // namespace

Bytes ScriptedDevice::operator()(const Bytes& command) {
  if (answer) {
    if (std::optional<Bytes> reply = answer(command)) return *reply;
  }
  const std::uint8_t opcode = command[0];
  const std::uint8_t index = command.size() > 1 ? command[1] : 0;
  const bool chosen = selected >= 0 && static_cast<std::size_t>(selected) < chips.size();
  const Chip chip = chosen ? chips[static_cast<std::size_t>(selected)] : Chip{};
  Bytes reply{opcode};
  switch (opcode) {
    case OpGetProgrammerName:
      AppendText(reply, name);
      return reply;
    case OpGetInfoLineCount:
      reply.push_back(static_cast<std::uint8_t>(infoLines.size()));
      return reply;
    case OpGetInfoLine:
      return NameReply(opcode, index, infoLines);
    case OpGetChipCount:
      reply.push_back(static_cast<std::uint8_t>(chips.size()));
      return reply;
    case OpGetChipName:
      AppendText(reply, index < chips.size() ? chips[index].name : std::string());
      return reply;
    case OpSelectChip:
      selected = index < chips.size() ? index : -1;
      return reply;
    case OpGetCommandMask: {
      std::uint32_t mask = 0;
      for (const ChipCommand command : chip.commands) mask |= 1u << OpcodeOf(command);
      AppendU32(reply, mask);
      return reply;
    }
    case OpGetFuseBitCount:
      reply.push_back(static_cast<std::uint8_t>(chip.fuseBits.size()));
      return reply;
    case OpGetFuseBitName:
      return NameReply(opcode, index, chip.fuseBits);
    case OpGetLockBitCount:
      reply.push_back(static_cast<std::uint8_t>(chip.lockBits.size()));
      return reply;
    case OpGetLockBitName:
      return NameReply(opcode, index, chip.lockBits);
    case OpGetProgramMemorySize:
      AppendU32(reply, chip.programMemorySize);
      return reply;
    case OpGetEepromSize:
      AppendU32(reply, chip.eepromSize);
      return reply;
    case OpGetRamSize:
      AppendU32(reply, chip.ramSize);
      return reply;
    case OpVerifyProgramMemory:
    case OpVerifyEeprom:
      reply.assign(command.begin(), command.begin() + std::min<std::size_t>(command.size(), BlockHeaderSize));
      reply.push_back(1);
      return reply;
    default:
      return reply;
  }
}

}  // namespace kestrel
