#include "operations/Session.h"

#include <algorithm>
#include <array>

#include "link/Commands.h"
#include "link/Watchdog.h"
#include "operations/MemorySequences.h"
#include "operations/SessionState.h"

namespace kestrel {

namespace {

void OpenBitDialog(SessionState& s, BitDialogView& dialog, bool writable) {
  s.view.SetStatusText("");
  dialog.Open(writable);
}

using Sequence = void (*)(SessionState&, const WriteOptions&);

// What each chip command does after SelectChip; null: nothing more. The RAM commands, enabling
// and disabling programming and erasing the program memory alone have no sequence.
constexpr std::array<Sequence, CommandMaskBits> Sequences = [] {
  std::array<Sequence, CommandMaskBits> sequences{};
  const auto at = [&](ChipCommand command) -> Sequence& { return sequences[OpcodeOf(command)]; };
  at(ChipCommand::ReadSignature) = [](SessionState& s, const WriteOptions&) {
    s.view.SetStatusText("");
    ReadSignature(s.queue);
  };
  at(ChipCommand::ReadFuseBits) = [](SessionState& s, const WriteOptions&) {
    OpenBitDialog(s, s.view.FuseDialog(), false);
    ReadFuseBits(s.queue);
  };
  at(ChipCommand::WriteFuseBits) = [](SessionState& s, const WriteOptions&) {
    OpenBitDialog(s, s.view.FuseDialog(), true);
  };
  at(ChipCommand::ReadLockBits) = [](SessionState& s, const WriteOptions&) {
    OpenBitDialog(s, s.view.LockDialog(), false);
    ReadLockBits(s.queue);
  };
  at(ChipCommand::WriteLockBits) = [](SessionState& s, const WriteOptions&) {
    OpenBitDialog(s, s.view.LockDialog(), true);
  };
  at(ChipCommand::EraseAll) = [](SessionState& s, const WriteOptions&) {
    s.view.SetStatusText("");
    EraseAll(s.queue);
  };
  at(ChipCommand::ReadProgramMemory) = [](SessionState& s, const WriteOptions&) {
    ReadSequence(s, ProgramMemory);
  };
  at(ChipCommand::WriteProgramMemory) = [](SessionState& s, const WriteOptions& o) {
    WriteSequence(s, ProgramMemory, o);
  };
  at(ChipCommand::VerifyProgramMemory) = [](SessionState& s, const WriteOptions&) {
    VerifySequence(s, ProgramMemory);
  };
  // The status panel keeps its text.
  at(ChipCommand::EraseEeprom) = [](SessionState& s, const WriteOptions&) { EraseEeprom(s.queue); };
  at(ChipCommand::ReadEeprom) = [](SessionState& s, const WriteOptions&) { ReadSequence(s, Eeprom); };
  at(ChipCommand::WriteEeprom) = [](SessionState& s, const WriteOptions& o) { WriteSequence(s, Eeprom, o); };
  at(ChipCommand::VerifyEeprom) = [](SessionState& s, const WriteOptions&) { VerifySequence(s, Eeprom); };
  return sequences;
}();

}  // namespace

int ChipProperties::RowOf(ChipCommand command) const {
  const auto found = std::find(RowCommands.begin(), RowCommands.end(), command);
  return found == RowCommands.end() ? -1 : static_cast<int>(found - RowCommands.begin());
}

Session::Session(OperationsView& view, LinkLine line)
    : state_(std::make_unique<SessionState>(view, std::move(line))) {}

Session::~Session() = default;

void Session::Start() { StartExchange(state_->queue); }

void Session::Receive(std::span<const std::uint8_t> chunk, LinkTime receivedAt) {
  // The reception keeps only the last bytes of a chunk larger than its buffer anyway.
  const auto kept = chunk.last(std::min<std::size_t>(chunk.size(), UINT16_MAX));
  state_->reception.Receive(kept.data(), static_cast<std::uint16_t>(kept.size()), receivedAt);
}

void Session::WatchdogExpired() {
  TraceWatchdogTimeout(state_->line);
  Rediscover();
}

void Session::Rediscover() {
  SessionState& s = *state_;
  s.programmer.Introduced = false;
  s.programmer.Name.clear();
  s.programmer.Chips.clear();
  s.chip.RowCommands.clear();
  s.chip.LockBitNames.clear();
  s.view.SetCaption(NotConnectedCaption);
  s.queue.AbandonCommandQueue();
  s.view.LockDialog().ClearBitBoxes();
  s.view.ClearChipList();
  s.view.ClearCommandList();
  GetProgrammerName(s.queue);
}

void Session::SelectChip(int number) {
  SessionState& s = *state_;
  s.chip.Number = number;
  const auto& chips = s.programmer.Chips;
  s.chip.Name = number >= 0 && static_cast<std::size_t>(number) < chips.size()
                    ? chips[static_cast<std::size_t>(number)]
                    : std::string();
  kestrel::SelectChip(s.queue, number);
  GetCommandMask(s.queue);
  GetLockBitCount(s.queue);
  GetFuseBitCount(s.queue);
  GetProgramMemorySize(s.queue);
  GetEepromSize(s.queue);
  GetRamSize(s.queue);
}

void Session::Run(int chip, std::optional<ChipCommand> operation, const WriteOptions& options) {
  // The chip is selected anew before every operation; no selection goes out as 255.
  kestrel::SelectChip(state_->queue, chip);
  if (!operation || OpcodeOf(*operation) >= Sequences.size()) return;
  if (const Sequence sequence = Sequences[OpcodeOf(*operation)]) sequence(*state_, options);
}

void Session::ReadFirst(int chip, const ChipMemory& memory, std::uint32_t length) {
  kestrel::SelectChip(state_->queue, chip);
  ReadSequence(*state_, memory, length);
}

void Session::WriteFuseBits(const std::vector<bool>& states) {
  for (std::size_t i = 0; i < states.size(); ++i) WriteFuseBit(state_->queue, static_cast<int>(i), states[i]);
}

void Session::WriteLockBits(const std::vector<bool>& program) {
  for (std::size_t i = 0; i < program.size(); ++i)
    if (program[i]) WriteLockBit(state_->queue, static_cast<int>(i));
}

void Session::Stop() { state_->queue.StopAfterHead(); }

bool Session::Busy() const { return !state_->queue.Empty(); }

std::vector<std::uint8_t> Session::QueuedOpcodes() const {
  std::vector<std::uint8_t> opcodes;
  for (const QueuedCommand& entry : state_->queue.Entries()) opcodes.push_back(entry.Data[0]);
  return opcodes;
}
const ProgrammerInfo& Session::Programmer() const { return state_->programmer; }
const ChipProperties& Session::Chip() const { return state_->chip; }
MemoryImage& Session::Image() { return state_->image; }
const MemoryImage& Session::Image() const { return state_->image; }

}  // namespace kestrel
