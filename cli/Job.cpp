#include "cli/Job.h"

#include <array>
#include <utility>

namespace kestrel::cli {

namespace {

constexpr std::array<std::pair<std::string_view, ActionKind>, 9> kActions{{
    {"info", ActionKind::Info},
    {"chip", ActionKind::Chip},
    {"signature", ActionKind::Signature},
    {"read", ActionKind::Read},
    {"write", ActionKind::Write},
    {"verify", ActionKind::Verify},
    {"erase", ActionKind::Erase},
    {"fuses", ActionKind::Fuses},
    {"lock", ActionKind::Lock},
}};

}  // namespace

std::optional<ActionKind> ActionNamed(std::string_view word) {
  for (const auto& [name, kind] : kActions)
    if (name == word) return kind;
  return std::nullopt;
}

std::string_view ActionName(ActionKind kind) {
  for (const auto& [name, each] : kActions)
    if (each == kind) return name;
  return {};
}

std::string_view MemoryName(Memory memory) {
  switch (memory) {
    case Memory::Flash:
      return "flash";
    case Memory::Eeprom:
      return "eeprom";
    case Memory::All:
      return "all";
  }
  return {};
}

std::string_view SerialFormatName(SerialFormat format) {
  switch (format) {
    case SerialFormat::Le:
      return "le";
    case SerialFormat::Be:
      return "be";
    case SerialFormat::Bcd:
      return "bcd";
    case SerialFormat::Ascii:
      return "ascii";
  }
  return {};
}

bool HasMemory(ActionKind kind) {
  return kind == ActionKind::Read || kind == ActionKind::Write || kind == ActionKind::Verify ||
         kind == ActionKind::Erase;
}

std::string ActionTitle(const Action& action) {
  std::string title(ActionName(action.kind));
  if (HasMemory(action.kind)) (title += ' ') += MemoryName(action.memory);
  return title;
}

}  // namespace kestrel::cli
