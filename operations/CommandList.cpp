#include "operations/CommandList.h"

#include <algorithm>
#include <array>

#include "link/Commands.h"
#include "operations/MemorySequences.h"

namespace kestrel {

namespace {

// Rows of the list that RowCommands describes; entries past them are stale.
int ListedRows(const Session& session) {
  return std::clamp(session.view.CommandRowCount(), 0, static_cast<int>(session.RowCommands.size()));
}

void OpenBitDialog(Session& session, BitDialogView& dialog, bool writable) {
  session.view.SetStatusText("");
  dialog.Open(writable);
}

using Sequence = void (*)(Session&);

// What each command code does after SelectChip; null: nothing more.
constexpr std::array<Sequence, 20> Sequences{
    /* 0 */ [](Session& s) {
      s.view.SetStatusText("");
      ReadSignature(s);
    },
    /* 1 */ nullptr,
    /* 2 */ nullptr,
    /* 3 */
    [](Session& s) {
      OpenBitDialog(s, s.view.FuseDialog(), false);
      ReadFuseBits(s);
    },
    /* 4 */ [](Session& s) { OpenBitDialog(s, s.view.FuseDialog(), true); },
    /* 5 */
    [](Session& s) {
      OpenBitDialog(s, s.view.LockDialog(), false);
      ReadLockBits(s);
    },
    /* 6 */ [](Session& s) { OpenBitDialog(s, s.view.LockDialog(), true); },
    /* 7 */
    [](Session& s) {
      s.view.SetStatusText("");
      EraseAll(s);
    },
    /* 8 */ nullptr,
    /* 9 */ [](Session& s) { ReadSequence(s, ProgramMemory); },
    /* 10 */ [](Session& s) { WriteSequence(s, ProgramMemory); },
    /* 11 */ [](Session& s) { VerifySequence(s, ProgramMemory); },
    /* 12 */ [](Session& s) { EraseEeprom(s); },  // the status panel keeps its text
    /* 13 */ [](Session& s) { ReadSequence(s, Eeprom); },
    /* 14 */ [](Session& s) { WriteSequence(s, Eeprom); },
    /* 15 */ [](Session& s) { VerifySequence(s, Eeprom); },
    /* 16..19: RAM commands have no frames */
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

bool IsCommandOffered(const Session& session, std::uint8_t code) {
  const auto rows = session.RowCommands.begin() + ListedRows(session);
  return std::find(session.RowCommands.begin(), rows, code) != rows;
}

void ListBox2Click(Session& session) {
  // The chip is selected anew before every operation; no selection goes out as 255.
  SelectChip(session, session.view.SelectedChip());

  const int row = session.view.SelectedCommandRow();
  if (row < 0 || row >= ListedRows(session)) return;
  const std::uint8_t code = session.RowCommands[static_cast<std::size_t>(row)];
  if (code < Sequences.size() && Sequences[code]) Sequences[code](session);
}

}  // namespace kestrel
