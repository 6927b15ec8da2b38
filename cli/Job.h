#pragma once
// What the command line asks for, as a plain value: the ports, their line settings, the chip,
// the write switches, the actions in the order given, the log and the serial numbers.

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

// How a serial number becomes bytes: le and be binary, least or most significant byte first;
// bcd packed, two decimal digits a byte, most significant first; ascii decimal digits with
// leading zeros.
enum class SerialFormat { Le, Be, Bcd, Ascii };

// --serial MEMORY:ADDRESS:BYTES[:FORMAT] with --serial-file, --serial-start and --serial-step.
struct SerialOptions {
  Memory memory = Memory::Flash;  // flash or eeprom
  std::uint32_t address = 0;
  int bytes = 1;  // 1 to 8
  SerialFormat format = SerialFormat::Le;
  std::string file;         // holds the next number as decimal text
  std::uint64_t start = 1;  // the first number, when `file` does not exist
  std::uint64_t step = 1;   // at least 1

  bool operator==(const SerialOptions&) const = default;
};

struct Job {
  std::vector<std::string> ports;  // in the order given; none means the stored port
  std::optional<std::uint32_t> baud;
  std::optional<TParity> parity;
  std::optional<std::string> chip;  // a name as the device lists it, or a number
  bool erase = false;
  bool verify = false;
  bool force = false;  // write even over a chip whose signature the ELF file's does not match
  bool json = false;
  bool quiet = false;
  std::vector<Action> actions;
  std::optional<std::string> log;  // --log: one JSON line per port's run appended to it
  std::optional<SerialOptions> serial;
};

// The command line's words: an action's name, a memory's name.
std::optional<ActionKind> ActionNamed(std::string_view word);
std::string_view ActionName(ActionKind kind);
std::string_view MemoryName(Memory memory);
std::string_view SerialFormatName(SerialFormat format);
// Whether the action names a memory: read, write, verify, erase.
bool HasMemory(ActionKind kind);

// An action as the command line spells it without its FILE or BITS: "write flash", "erase all".
std::string ActionTitle(const Action&);

}  // namespace kestrel::cli
