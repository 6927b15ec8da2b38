#include <algorithm>
#include <string>

#include "link/Commands.h"
#include "link/Cp1251.h"
#include "operations/SessionState.h"

namespace kestrel {

namespace {

std::uint32_t LittleEndian32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The received bytes of the reply being handled, read only where they reach.
class Reply {
 public:
  explicit Reply(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t Code() const { return bytes_[0]; }
  bool Has(std::size_t offset, std::size_t width = 1) const { return offset + width <= bytes_.size(); }
  std::uint8_t Byte(std::size_t offset) const { return bytes_[offset]; }
  std::uint32_t U32(std::size_t offset) const { return LittleEndian32(&bytes_[offset]); }
  // The bytes that follow a count byte at `offset`, as many as the count says and the reply holds.
  std::span<const std::uint8_t> Counted(std::size_t offset) const {
    if (!Has(offset)) return {};
    const std::size_t rest = bytes_.size() - offset - 1;
    return bytes_.subspan(offset + 1, std::min<std::size_t>(bytes_[offset], rest));
  }
  std::string Text(std::size_t offset) const { return Cp1251ToUtf8(Counted(offset)); }

 private:
  std::span<const std::uint8_t> bytes_;
};

// 0: 00; 1: n; 2..1+n: signature; 2+n: the device's verdict.
void ShowSignature(SessionState& s, const Reply& r) {
  if (!r.Has(1)) return;
  const auto bytes = r.Counted(1);
  const std::size_t verdict = 2 + std::size_t{r.Byte(1)};
  s.view.ShowSignature(
      {.bytes = {bytes.begin(), bytes.end()},
       .verdict = r.Has(verdict) ? std::optional<bool>(r.Byte(verdict) != 0) : std::nullopt});
}

// 0: code; 1..4: address; 5: n; 6..5+n: data.
void StoreReadBlock(SessionState& s, const Reply& r) {
  if (!r.Has(1, 5)) return;
  s.image.Store(r.U32(1), r.Counted(5));
}

// 0: code; 1..4: address; 5: n; 6: ok. A reply cut before its verdict confirms nothing and
// counts as a mismatch of the block the request asked for.
void CheckVerifyBlock(SessionState& s, const Reply& r, std::span<const std::uint8_t> request) {
  if (r.Has(6) && r.Byte(6) != 0) return;
  const Reply asked(request);
  const std::uint32_t address = r.Has(1, 4) ? r.U32(1) : asked.Has(1, 4) ? asked.U32(1) : 0;
  s.view.ShowVerifyMismatch(address);
  s.queue.ClearCommandQueue();
}

// A size no chip has would size the buffer for a read: such a memory counts as size 0.
void StoreSize(SessionState& s, std::uint32_t& property, const Reply& r, const char* memory) {
  if (!r.Has(1, 4)) return;
  const std::uint32_t size = r.U32(1);
  property = size <= MaxMemorySize ? size : 0;
  if (property != size) s.view.SetStatusText(ImpossibleSizeText(memory, size));
}

// Where the reply for one kind of bits goes: the names the session keeps, and the dialog.
struct BitKind {
  std::vector<std::string>& names;
  BitDialogView& dialog;
};

// 0: code; 1: N. Rebuilds the dialog's boxes and asks for each name.
void RebuildBitBoxes(SessionState& s, const Reply& r, BitKind bits, void (*askName)(CommandQueue&, int)) {
  if (!r.Has(1)) return;
  const int count = r.Byte(1);
  bits.names.assign(static_cast<std::size_t>(count), std::string());
  bits.dialog.CreateBitBoxes(count);
  for (int i = 0; i < count; ++i) askName(s.queue, i);
}

// 0: code; 1: index; 2: n; 3..2+n: text.
void NameBitBox(const Reply& r, BitKind bits) {
  if (!r.Has(1)) return;
  const std::string name = r.Text(2);
  if (r.Byte(1) < bits.names.size()) bits.names[r.Byte(1)] = name;
  bits.dialog.SetBitName(r.Byte(1), name);
}

BitKind FuseBits(SessionState& s) { return {s.chip.FuseBitNames, s.view.FuseDialog()}; }
BitKind LockBits(SessionState& s) { return {s.chip.LockBitNames, s.view.LockDialog()}; }

void AddChipNames(SessionState& s, const Reply& r) {
  if (!r.Has(1) || r.Byte(1) == 0) return;
  s.programmer.Chips.clear();
  s.view.ClearChipList();
  for (int i = 0; i < r.Byte(1); ++i) GetChipName(s.queue, i);
}

void RebuildInfoLines(SessionState& s, const Reply& r) {
  if (!r.Has(1)) return;
  const int count = r.Byte(1);
  s.programmer.InfoLines.assign(static_cast<std::size_t>(count), std::string());
  s.view.CreateInfoLabels(count);
  for (int i = 0; i < count; ++i) GetInfoLine(s.queue, i);
}

void Introduce(SessionState& s, const Reply& r) {
  s.programmer.Introduced = true;
  s.programmer.Name = r.Text(1);
  s.view.SetCaption(s.programmer.Name);
  GetInfoLineCount(s.queue);
  GetChipCount(s.queue);
}

// Rebuilds the command list with the caption of every chip command whose bit is set in `mask`,
// in ascending order.
void FillCommandList(SessionState& s, std::uint32_t mask) {
  s.view.ClearCommandList();
  s.chip.RowCommands.clear();
  for (std::uint8_t j = 0; j < CommandMaskBits; ++j) {
    if ((mask >> j & 1) == 0) continue;
    const auto command = static_cast<ChipCommand>(j);
    s.view.AddCommandRow(std::string(CommandCaption(command)));
    s.chip.RowCommands.push_back(command);
  }
}

void SetInfoLine(SessionState& s, const Reply& r) {
  if (!r.Has(1)) return;
  const std::string text = r.Text(2);
  if (r.Byte(1) < s.programmer.InfoLines.size()) s.programmer.InfoLines[r.Byte(1)] = text;
  s.view.SetInfoLine(r.Byte(1), text);
}

void AddChip(SessionState& s, const Reply& r) {
  s.programmer.Chips.push_back(r.Text(1));
  s.view.AddChip(s.programmer.Chips.back());
}

}  // namespace

void SessionState::HandleReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request) {
  SessionState& s = *this;
  const Reply r(reply);
  if (!r.Has(0)) return;
  switch (r.Code()) {
    case OpReadSignature:
      ShowSignature(s, r);
      break;
    case OpReadFuseBits:
      s.view.FuseDialog().ShowBitStates(r.Counted(1));
      break;
    case OpReadLockBits:
      s.view.LockDialog().ShowBitStates(r.Counted(1));
      break;
    case OpReadProgramMemory:
    case OpReadEeprom:
      StoreReadBlock(s, r);
      break;
    case OpVerifyProgramMemory:
    case OpVerifyEeprom:
      CheckVerifyBlock(s, r, request);
      break;
    case OpGetRamSize:
      StoreSize(s, s.chip.RamSize, r, "ОЗУ");
      break;
    case OpGetEepromSize:
      StoreSize(s, s.chip.EepromSize, r, "EEPROM");
      break;
    case OpGetProgramMemorySize:
      StoreSize(s, s.chip.ProgramMemorySize, r, "памяти программ");
      break;
    case OpGetLockBitName:
      NameBitBox(r, LockBits(s));
      break;
    case OpGetLockBitCount:
      RebuildBitBoxes(s, r, LockBits(s), GetLockBitName);
      break;
    case OpGetFuseBitName:
      NameBitBox(r, FuseBits(s));
      break;
    case OpGetFuseBitCount:
      RebuildBitBoxes(s, r, FuseBits(s), GetFuseBitName);
      break;
    case OpGetCommandMask:
      if (r.Has(1, 4)) FillCommandList(s, r.U32(1));
      break;
    case OpGetChipName:
      // A name cut short still takes its row, so that row r stays chip r.
      AddChip(s, r);
      break;
    case OpGetChipCount:
      AddChipNames(s, r);
      break;
    case OpGetInfoLine:
      SetInfoLine(s, r);
      break;
    case OpGetInfoLineCount:
      RebuildInfoLines(s, r);
      break;
    case OpGetProgrammerName:
      Introduce(s, r);
      break;
    default:
      break;
  }
}

}  // namespace kestrel
