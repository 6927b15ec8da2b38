#include "operations/ReplyHandler.h"

#include <algorithm>
#include <string>

#include "link/Commands.h"
#include "link/Cp1251.h"

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
void ShowSignature(Session& s, const Reply& r) {
  if (!r.Has(1)) return;
  const auto bytes = r.Counted(1);
  const std::size_t verdict = 2 + std::size_t{r.Byte(1)};
  s.view.ShowSignature(
      {.bytes = {bytes.begin(), bytes.end()},
       .verdict = r.Has(verdict) ? std::optional<bool>(r.Byte(verdict) != 0) : std::nullopt});
}

// 0: code; 1..4: address; 5: n; 6..5+n: data.
void StoreReadBlock(Session& s, const Reply& r) {
  if (!r.Has(1, 5)) return;
  s.image.Store(r.U32(1), r.Counted(5));
}

// 0: code; 1..4: address; 5: n; 6: ok. A reply cut before its verdict confirms nothing and
// counts as a mismatch of the block the request asked for.
void CheckVerifyBlock(Session& s, const Reply& r, std::span<const std::uint8_t> request) {
  if (r.Has(6) && r.Byte(6) != 0) return;
  const Reply asked(request);
  const std::uint32_t address = r.Has(1, 4) ? r.U32(1) : asked.Has(1, 4) ? asked.U32(1) : 0;
  s.view.ShowVerifyMismatch(address);
  s.queue.ClearCommandQueue();
}

// A size no chip has would size the buffer for a read: such a memory counts as size 0.
void StoreSize(Session& s, std::uint32_t& property, const Reply& r, const char* memory) {
  if (!r.Has(1, 4)) return;
  const std::uint32_t size = r.U32(1);
  property = size <= MaxMemorySize ? size : 0;
  if (property != size) s.view.SetStatusText(ImpossibleSizeText(memory, size));
}

// 0: code; 1: N. Rebuilds the dialog's boxes and asks for each name.
void RebuildBitBoxes(Session& s, const Reply& r, BitDialogView& dialog, void (*askName)(CommandQueue&, int)) {
  if (!r.Has(1)) return;
  const int count = r.Byte(1);
  dialog.CreateBitBoxes(count);
  for (int i = 0; i < count; ++i) askName(s.queue, i);
}

// 0: code; 1: index; 2: n; 3..2+n: text.
void NameBitBox(const Reply& r, BitDialogView& dialog) {
  if (r.Has(1)) dialog.SetBitName(r.Byte(1), r.Text(2));
}

void AddChipNames(Session& s, const Reply& r) {
  if (!r.Has(1) || r.Byte(1) == 0) return;
  s.view.ClearChipList();
  for (int i = 0; i < r.Byte(1); ++i) GetChipName(s.queue, i);
}

void RebuildInfoLines(Session& s, const Reply& r) {
  if (!r.Has(1)) return;
  const int count = r.Byte(1);
  s.view.CreateInfoLabels(count);
  for (int i = 0; i < count; ++i) GetInfoLine(s.queue, i);
}

void Introduce(Session& s, const Reply& r) {
  s.view.SetCaption(r.Text(1));
  GetInfoLineCount(s.queue);
  GetChipCount(s.queue);
}

}  // namespace

void FillCommandList(Session& s, std::uint32_t mask) {
  s.view.ClearCommandList();
  std::size_t row = 0;
  for (std::uint8_t j = 0; j < CommandNames.size(); ++j) {
    if ((mask >> j & 1) == 0) continue;
    s.view.AddCommandRow(std::string(CommandNames[j]));
    s.RowCommands[row++] = j;
  }
  s.CommandRowCount = static_cast<int>(row);
}

void HandleReply(Session& s, std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request) {
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
      StoreSize(s, s.Chip.RamSize, r, "ОЗУ");
      break;
    case OpGetEepromSize:
      StoreSize(s, s.Chip.EepromSize, r, "EEPROM");
      break;
    case OpGetProgramMemorySize:
      StoreSize(s, s.Chip.ProgramMemorySize, r, "памяти программ");
      break;
    case OpGetLockBitName:
      NameBitBox(r, s.view.LockDialog());
      break;
    case OpGetLockBitCount:
      RebuildBitBoxes(s, r, s.view.LockDialog(), GetLockBitName);
      break;
    case OpGetFuseBitName:
      NameBitBox(r, s.view.FuseDialog());
      break;
    case OpGetFuseBitCount:
      RebuildBitBoxes(s, r, s.view.FuseDialog(), GetFuseBitName);
      break;
    case OpGetCommandMask:
      if (r.Has(1, 4)) FillCommandList(s, r.U32(1));
      break;
    case OpGetChipName:
      // A name cut short still takes its row, so that row r stays chip r.
      s.view.AddChip(r.Text(1));
      break;
    case OpGetChipCount:
      AddChipNames(s, r);
      break;
    case OpGetInfoLine:
      if (r.Has(1)) s.view.SetInfoLine(r.Byte(1), r.Text(2));
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
