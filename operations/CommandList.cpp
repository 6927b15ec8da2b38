#include "operations/CommandList.h"

#include <algorithm>
#include <array>

#include "link/Commands.h"
#include "operations/MemorySequences.h"

namespace kestrel {

namespace {

// Rows of the list that RowCommands describes; entries past them are stale.
int ListedRows(const Session& session) {
  return std::clamp(session.CommandRowCount, 0, static_cast<int>(session.RowCommands.size()));
}

void OpenBitDialog(Session& session, BitDialogView& dialog, bool writable) {
  session.view.SetStatusText("");
  dialog.Open(writable);
}

using Sequence = void (*)(Session&, const WriteOptions&);

// What each chip command does after SelectChip; null: nothing more. The RAM commands, enabling
// and disabling programming and erasing the program memory alone have no sequence.
constexpr std::array<Sequence, FirstProgrammerOpcode> Sequences = [] {
  std::array<Sequence, FirstProgrammerOpcode> sequences{};
  sequences[OpReadSignature] = [](Session& s, const WriteOptions&) {
    s.view.SetStatusText("");
    ReadSignature(s.queue);
  };
  sequences[OpReadFuseBits] = [](Session& s, const WriteOptions&) {
    OpenBitDialog(s, s.view.FuseDialog(), false);
    ReadFuseBits(s.queue);
  };
  sequences[OpWriteFuseBit] = [](Session& s, const WriteOptions&) {
    OpenBitDialog(s, s.view.FuseDialog(), true);
  };
  sequences[OpReadLockBits] = [](Session& s, const WriteOptions&) {
    OpenBitDialog(s, s.view.LockDialog(), false);
    ReadLockBits(s.queue);
  };
  sequences[OpWriteLockBit] = [](Session& s, const WriteOptions&) {
    OpenBitDialog(s, s.view.LockDialog(), true);
  };
  sequences[OpEraseAll] = [](Session& s, const WriteOptions&) {
    s.view.SetStatusText("");
    EraseAll(s.queue);
  };
  sequences[OpReadProgramMemory] = [](Session& s, const WriteOptions&) { ReadSequence(s, ProgramMemory); };
  sequences[OpWriteProgramMemory] = [](Session& s, const WriteOptions& o) {
    WriteSequence(s, ProgramMemory, o);
  };
  sequences[OpVerifyProgramMemory] = [](Session& s, const WriteOptions&) {
    VerifySequence(s, ProgramMemory);
  };
  // The status panel keeps its text.
  sequences[OpEraseEeprom] = [](Session& s, const WriteOptions&) { EraseEeprom(s.queue); };
  sequences[OpReadEeprom] = [](Session& s, const WriteOptions&) { ReadSequence(s, Eeprom); };
  sequences[OpWriteEeprom] = [](Session& s, const WriteOptions& o) { WriteSequence(s, Eeprom, o); };
  sequences[OpVerifyEeprom] = [](Session& s, const WriteOptions&) { VerifySequence(s, Eeprom); };
  return sequences;
}();

}  // namespace

std::span<const std::uint8_t> ListedCommands(const Session& session) {
  return std::span(session.RowCommands).first(static_cast<std::size_t>(ListedRows(session)));
}

int CommandRow(const Session& session, std::uint8_t code) {
  const auto rows = ListedCommands(session);
  const auto found = std::find(rows.begin(), rows.end(), code);
  return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

bool IsCommandOffered(const Session& session, std::uint8_t code) { return CommandRow(session, code) >= 0; }

void ListBox2Click(Session& session, int chipRow, int commandRow, const WriteOptions& options) {
  // The chip is selected anew before every operation; no selection goes out as 255.
  SelectChip(session.queue, chipRow);

  if (commandRow < 0 || commandRow >= ListedRows(session)) return;
  const std::uint8_t code = session.RowCommands[static_cast<std::size_t>(commandRow)];
  if (code < Sequences.size() && Sequences[code]) Sequences[code](session, options);
}

}  // namespace kestrel
