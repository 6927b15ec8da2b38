#include "link/CommandCatalogue.h"

#include <algorithm>
#include <array>

namespace kestrel {

namespace {

constexpr std::array<CommandEntry, 35> Catalogue{{
    {OpReadSignature, "ReadSignature", "Читать сигнатуру", "read signature"},
    {OpEnableProgramming, "EnableProgramming", "Разрешить прогр-ие", "enable programming"},
    {OpDisableProgramming, "DisableProgramming", "Запретить прогр-ие", "disable programming"},
    {OpReadFuseBits, "ReadFuseBits", "Читать FUSE биты", "read fuses"},
    {OpWriteFuseBit, "WriteFuseBit", "Записать FUSE биты", "write fuses"},
    {OpReadLockBits, "ReadLockBits", "Читать LOCK биты", "read lock"},
    {OpWriteLockBit, "WriteLockBit", "Записать LOCK биты", "write lock"},
    {OpEraseAll, "EraseAll", "Стереть все", "erase all"},
    {OpEraseProgramMemory, "EraseProgramMemory", "Стереть память программ", "erase flash"},
    {OpReadProgramMemory, "ReadProgramMemory", "Читать память программ", "read flash"},
    {OpWriteProgramMemory, "WriteProgramMemory", "Записать память программ", "write flash"},
    {OpVerifyProgramMemory, "VerifyProgramMemory", "Сверить память программ", "verify flash"},
    {OpEraseEeprom, "EraseEeprom", "Стереть EEPROM", "erase eeprom"},
    {OpReadEeprom, "ReadEeprom", "Читать EEPROM", "read eeprom"},
    {OpWriteEeprom, "WriteEeprom", "Записать EEPROM", "write eeprom"},
    {OpVerifyEeprom, "VerifyEeprom", "Сверить EEPROM", "verify eeprom"},
    {OpEraseRam, "EraseRam", "Стереть RAM", "erase ram"},
    {OpReadRam, "ReadRam", "Читать RAM", "read ram"},
    {OpWriteRam, "WriteRam", "Записать RAM", "write ram"},
    {OpVerifyRam, "VerifyRam", "Сверить RAM", "verify ram"},
    {OpGetRamSize, "GetRamSize", {}, {}},
    {OpGetEepromSize, "GetEepromSize", {}, {}},
    {OpGetProgramMemorySize, "GetProgramMemorySize", {}, {}},
    {OpGetLockBitName, "GetLockBitName", {}, {}},
    {OpGetLockBitCount, "GetLockBitCount", {}, {}},
    {OpGetFuseBitName, "GetFuseBitName", {}, {}},
    {OpGetFuseBitCount, "GetFuseBitCount", {}, {}},
    {OpGetCommandMask, "GetCommandMask", {}, {}},
    {OpSelectChip, "SelectChip", {}, {}},
    {OpGetChipName, "GetChipName", {}, {}},
    {OpGetChipCount, "GetChipCount", {}, {}},
    {OpGetInfoLine, "GetInfoLine", {}, {}},
    {OpGetInfoLineCount, "GetInfoLineCount", {}, {}},
    {OpGetProgrammerName, "GetProgrammerName", {}, {}},
    {OpEndOperation, "EndOperation", {}, {}},
}};

static_assert(std::is_sorted(Catalogue.begin(), Catalogue.end(),
                             [](const CommandEntry& a, const CommandEntry& b) {
                               return a.opcode < b.opcode;
                             }));

}  // namespace

const CommandEntry* FindCommand(std::uint8_t opcode) {
  const auto found =
      std::lower_bound(Catalogue.begin(), Catalogue.end(), opcode,
                       [](const CommandEntry& entry, std::uint8_t op) { return entry.opcode < op; });
  return found != Catalogue.end() && found->opcode == opcode ? &*found : nullptr;
}

std::string_view CommandCaption(ChipCommand command) {
  const CommandEntry* entry = FindCommand(OpcodeOf(command));
  return entry ? entry->caption : std::string_view();
}

std::string CommandWords(ChipCommand command) {
  const CommandEntry* entry = FindCommand(OpcodeOf(command));
  if (entry && !entry->words.empty()) return std::string(entry->words);
  return "command " + std::to_string(OpcodeOf(command));
}

}  // namespace kestrel
