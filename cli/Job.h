#pragma once
// What the command line asks for, as a plain value: the ports, their line settings, the chip,
// the write switches and the actions in the order given.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/TComm32.h"

namespace kestrel::cli {

enum class ActionKind { Info, Chip, Signature, Read, Write, Verify, Erase, Fuses, Lock };

// The memory of read, write, verify and erase (erase: All for EraseAll, Eeprom for EraseEeprom).
enum class Memory { Flash, Eeprom, All };

struct Action {
  Action() = default;
  explicit Action(ActionKind kind, Memory memory = Memory::Flash, std::string file = {},
                  std::string bits = {})
      : kind(kind), memory(memory), file(std::move(file)), bits(std::move(bits)) {}

  ActionKind kind = ActionKind::Info;
  Memory memory = Memory::Flash;
  std::string file;  // read, write, verify; "-" is standard input or output
  std::string bits;  // fuses and lock: the bits to write, bit 0 first; empty to read them

  bool operator==(const Action&) const = default;
};

// The standard input or output as a FILE.
inline constexpr char StandardStream[] = "-";

struct Job {
  std::vector<std::string> ports;  // in the order given; none means the stored port
  std::optional<std::uint32_t> baud;
  std::optional<TParity> parity;
  std::optional<std::string> chip;  // a name as the device lists it, or a number
  bool erase = false;
  bool verify = false;
  bool json = false;
  bool quiet = false;
  std::vector<Action> actions;
};

// The command line's words: an action's name, a memory's name.
std::optional<ActionKind> ActionNamed(std::string_view word);
std::string_view ActionName(ActionKind kind);
std::string_view MemoryName(Memory memory);
// Whether the action names a memory: read, write, verify, erase.
bool HasMemory(ActionKind kind);

// An action as the command line spells it without its FILE or BITS: "write flash", "erase all".
std::string ActionTitle(const Action&);

}  // namespace kestrel::cli
