#include "emulator/Device.h"

#include <utility>

#include "link/CommandCatalogue.h"

namespace kestrel::emulator {

ChipState ChipState::Fresh(const ChipType& type) {
  ChipState chip;
  chip.flash.assign(type.flashSize, 0xFF);
  chip.eeprom.assign(type.eepromSize, 0xFF);
  chip.ram.assign(type.ramSize, 0x00);
  for (const FuseBit& fuse : type.fuses) chip.fuses.push_back(fuse.programmed ? 1 : 0);
  chip.locks.assign(type.locks.size(), 0);
  chip.signature = type.signature;
  return chip;
}

Bytes& ChipState::Memory(MemoryKind kind) {
  return const_cast<Bytes&>(static_cast<const ChipState&>(*this).Memory(kind));
}

const Bytes& ChipState::Memory(MemoryKind kind) const {
  switch (kind) {
    case MemoryKind::Flash:
      return flash;
    case MemoryKind::Eeprom:
      return eeprom;
    case MemoryKind::Ram:
      break;
  }
  return ram;
}

Work WorkOf(std::uint8_t opcode) {
  switch (opcode) {
    case OpWriteFuseBit:
    case OpWriteLockBit:
    case OpWriteProgramMemory:
    case OpWriteEeprom:
    case OpWriteRam:
      return Work::Write;
    case OpEraseAll:
    case OpEraseProgramMemory:
    case OpEraseEeprom:
    case OpEraseRam:
      return Work::Erase;
    default:
      return Work::None;
  }
}

Device::Device(std::vector<ChipType> catalogue)
    : catalogue_(std::move(catalogue)), infoLines_(ProgrammerInfoLines(catalogue_.size())) {
  for (const ChipType& type : catalogue_) chips_.push_back(ChipState::Fresh(type));
}

bool Device::TakeChanged() { return std::exchange(changed_, false); }

std::optional<Bytes> Device::Execute(std::span<const std::uint8_t> payload) {
  if (payload.empty()) return std::nullopt;
  if (payload[0] >= FirstProgrammerOpcode) return ExecuteQuery(payload);
  if (!selected_) return std::nullopt;
  return ExecuteChipCommand(catalogue_[*selected_], chips_[*selected_], payload, changed_);
}

namespace {

// The index parameter of a query, when the payload has one below `count`.
std::optional<std::uint8_t> IndexBelow(std::span<const std::uint8_t> payload, std::size_t count) {
  if (payload.size() < 2 || payload[1] >= count) return std::nullopt;
  return payload[1];
}

// The reply to a name query that echoes its index: opcode, index, text.
std::optional<Bytes> IndexedName(std::span<const std::uint8_t> payload, const auto& names,
                                 const auto& nameOf) {
  const auto index = IndexBelow(payload, names.size());
  if (!index) return std::nullopt;
  return Reply(payload[0]).U8(*index).Text(nameOf(names[*index])).Take();
}

const std::string& Itself(const std::string& text) { return text; }

}  // namespace

std::optional<Bytes> Device::ExecuteQuery(std::span<const std::uint8_t> payload) {
  const std::uint8_t opcode = payload[0];
  const auto& catalogue = catalogue_;
  switch (opcode) {
    case OpEndOperation:
      return Reply(opcode).Take();
    case OpGetProgrammerName:
      return Reply(opcode).Text(ProgrammerName()).Take();
    case OpGetInfoLineCount:
      return Reply(opcode).U8(static_cast<std::uint8_t>(infoLines_.size())).Take();
    case OpGetInfoLine:
      return IndexedName(payload, infoLines_, Itself);
    case OpGetChipCount:
      return Reply(opcode).U8(static_cast<std::uint8_t>(catalogue.size())).Take();
    case OpGetChipName: {
      const auto index = IndexBelow(payload, catalogue.size());
      if (!index) return std::nullopt;
      return Reply(opcode).Text(catalogue[*index].name).Take();
    }
    case OpSelectChip:
      selected_.reset();
      if (const auto index = IndexBelow(payload, catalogue.size())) {
        selected_ = *index;
        return Reply(opcode).Take();
      }
      return std::nullopt;
    default:
      break;
  }

  if (!selected_) return std::nullopt;
  const ChipType& type = catalogue[*selected_];
  switch (opcode) {
    case OpGetCommandMask:
      return Reply(opcode).U32(type.commandMask).Take();
    case OpGetFuseBitCount:
      return Reply(opcode).U8(static_cast<std::uint8_t>(type.fuses.size())).Take();
    case OpGetFuseBitName:
      return IndexedName(payload, type.fuses,
                         [](const FuseBit& fuse) -> const std::string& { return fuse.name; });
    case OpGetLockBitCount:
      return Reply(opcode).U8(static_cast<std::uint8_t>(type.locks.size())).Take();
    case OpGetLockBitName:
      return IndexedName(payload, type.locks, Itself);
    case OpGetProgramMemorySize:
      return Reply(opcode).U32(type.flashSize).Take();
    case OpGetEepromSize:
      return Reply(opcode).U32(type.eepromSize).Take();
    case OpGetRamSize:
      return Reply(opcode).U32(type.ramSize).Take();
    default:
      return std::nullopt;
  }
}

}  // namespace kestrel::emulator
