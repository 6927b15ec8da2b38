#include "cli/ChipCheck.h"

#include <array>
#include <charconv>

#include "link/AsciiCase.h"

namespace kestrel::cli {

const ChipMemory& MemoryOf(Memory memory) { return memory == Memory::Eeprom ? Eeprom : ProgramMemory; }

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

std::vector<ChipCommand> RequiredCommands(const Action& action, bool erase, bool verify) {
  const ChipMemory& memory = MemoryOf(action.memory);
  switch (action.kind) {
    case ActionKind::Info:
    case ActionKind::Chip:
      return {};
    case ActionKind::Signature:
      return {ChipCommand::ReadSignature};
    case ActionKind::Read:
      return {memory.read};
    case ActionKind::Verify:
      return {memory.verify};
    case ActionKind::Write:
      return CommandsOfWrite(memory, {.reload = false, .erase = erase, .verify = verify});
    case ActionKind::Erase:
      return {memory.erase};
    case ActionKind::Fuses:
      return {action.bits.empty() ? ChipCommand::ReadFuseBits : ChipCommand::WriteFuseBits};
    case ActionKind::Lock:
      return {action.bits.empty() ? ChipCommand::ReadLockBits : ChipCommand::WriteLockBits};
  }
  return {};
}

std::optional<Refusal> CheckJobAgainstChip(const Job& job, const InputImages& images,
                                           const ChipProperties& chip) {
  for (std::size_t i = 0; i < job.actions.size(); ++i) {
    const Action& action = job.actions[i];
    const std::string title = ActionTitle(action);
    for (const ChipCommand command : RequiredCommands(action, job.erase, job.verify))
      if (!chip.Offers(command))
        return Refusal{ExitStatus::Usage, title + ": the chip does not offer " + CommandWords(command)};
    if (!action.bits.empty()) {
      const std::size_t count =
          (action.kind == ActionKind::Fuses ? chip.FuseBitNames : chip.LockBitNames).size();
      if (action.bits.size() != count)
        return Refusal{ExitStatus::Usage, title + ": the chip has " + std::to_string(count) +
                                              " bits, BITS gives " + std::to_string(action.bits.size())};
    }
    if (i < images.size() && (action.kind == ActionKind::Write || action.kind == ActionKind::Verify)) {
      const std::uint32_t size = chip.*MemoryOf(action.memory).size;
      if (images[i].size() > size)
        return Refusal{ExitStatus::File, title + ": " + action.file + " holds " +
                                             std::to_string(images[i].size()) + " bytes, more than the " +
                                             std::to_string(size) + " of the memory"};
    }
  }
  return std::nullopt;
}

}  // namespace kestrel::cli
