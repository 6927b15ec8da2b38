#include "cli/ChipCheck.h"

#include <array>
#include <charconv>

#include "link/AsciiCase.h"
#include "link/Commands.h"

namespace kestrel::cli {

namespace {

constexpr std::array<std::string_view, 20> kCommandNames{
    "read signature", "enable programming", "disable programming", "read fuses",
    "write fuses",    "read lock",          "write lock",          "erase all",
    "erase flash",    "read flash",         "write flash",         "verify flash",
    "erase eeprom",   "read eeprom",        "write eeprom",        "verify eeprom",
    "erase ram",      "read ram",           "write ram",           "verify ram",
};

std::uint8_t EraseCode(Memory memory) { return memory == Memory::Eeprom ? OpEraseEeprom : OpEraseAll; }

}  // namespace

std::variant<int, std::string> ChooseChip(const std::vector<std::string>& chips, std::string_view wanted) {
  std::size_t number = 0;
  const auto [end, error] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
  const bool isNumber = !wanted.empty() && error == std::errc() && end == wanted.data() + wanted.size();
  if (isNumber && number < chips.size()) return static_cast<int>(number);
  if (!isNumber)
    for (std::size_t row = 0; row < chips.size(); ++row)
      if (EqualsIgnoringCase(chips[row], wanted)) return static_cast<int>(row);
  if (chips.empty()) return "the programmer lists no chips";
  std::string choices;
  for (std::size_t row = 0; row < chips.size(); ++row)
    choices += (row ? ", " : "") + std::to_string(row) + " " + chips[row];
  return "no chip " + std::string(wanted) + " in the list: " + choices;
}

std::vector<std::uint8_t> RequiredCommands(const Action& action, bool erase, bool verify) {
  const bool flash = action.memory == Memory::Flash;
  switch (action.kind) {
    case ActionKind::Info:
    case ActionKind::Chip:
      return {};
    case ActionKind::Signature:
      return {OpReadSignature};
    case ActionKind::Read:
      return {flash ? OpReadProgramMemory : OpReadEeprom};
    case ActionKind::Verify:
      return {flash ? OpVerifyProgramMemory : OpVerifyEeprom};
    case ActionKind::Write: {
      std::vector<std::uint8_t> codes{flash ? OpWriteProgramMemory : OpWriteEeprom};
      if (erase) codes.push_back(EraseCode(action.memory));
      if (verify) codes.push_back(flash ? OpVerifyProgramMemory : OpVerifyEeprom);
      return codes;
    }
    case ActionKind::Erase:
      return {EraseCode(action.memory)};
    case ActionKind::Fuses:
      return {action.bits.empty() ? OpReadFuseBits : OpWriteFuseBit};
    case ActionKind::Lock:
      return {action.bits.empty() ? OpReadLockBits : OpWriteLockBit};
  }
  return {};
}

std::string CommandName(std::uint8_t code) {
  if (code < kCommandNames.size()) return std::string(kCommandNames[code]);
  return "command " + std::to_string(code);
}

std::optional<Refusal> CheckJobAgainstChip(const Job& job, const InputImages& images, const ChipFacts& chip) {
  for (std::size_t i = 0; i < job.actions.size(); ++i) {
    const Action& action = job.actions[i];
    const std::string title = ActionTitle(action);
    for (const std::uint8_t code : RequiredCommands(action, job.erase, job.verify))
      if (!chip.offers(code))
        return Refusal{ExitStatus::Usage, title + ": the chip does not offer " + CommandName(code)};
    if (!action.bits.empty()) {
      const int count = action.kind == ActionKind::Fuses ? chip.fuseBits : chip.lockBits;
      if (action.bits.size() != static_cast<std::size_t>(count))
        return Refusal{ExitStatus::Usage, title + ": the chip has " + std::to_string(count) +
                                              " bits, BITS gives " + std::to_string(action.bits.size())};
    }
    if (i < images.size() && (action.kind == ActionKind::Write || action.kind == ActionKind::Verify)) {
      const std::uint32_t size = action.memory == Memory::Flash ? chip.flashSize : chip.eepromSize;
      if (images[i].size() > size)
        return Refusal{ExitStatus::File, title + ": " + action.file + " holds " +
                                             std::to_string(images[i].size()) + " bytes, more than the " +
                                             std::to_string(size) + " of the memory"};
    }
  }
  return std::nullopt;
}

}  // namespace kestrel::cli
