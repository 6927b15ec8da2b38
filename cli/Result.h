#pragma once
// What one port's run produced: each action's result, the port's exit status and its error.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/Job.h"
#include "link/CommandCatalogue.h"

namespace kestrel::cli {

enum class ExitStatus : int {
  Done = 0,
  DeviceFailure = 1,  // verify mismatch, bad signature verdict
  Usage = 2,          // the command line, or a request the chip cannot serve
  Link = 3,           // the port cannot be opened, or the link was lost
  File = 4,           // a file cannot be read or written, or does not fit
};

// The worse of two statuses, by how far the fault reaches: one board's verdict (1) < a station
// whose board is in an unknown state (3) < a file every board needs (4) < a job that cannot run
// at all (2).
ExitStatus Worse(ExitStatus a, ExitStatus b);

// info
struct ProgrammerReport {
  std::string name;
  std::vector<std::string> infoLines;
  std::vector<std::string> chips;  // a chip's number is its index
};

// chip
struct ChipReport {
  int number = 0;
  std::string name;
  std::vector<ChipCommand> commands;  // what the chip offers, in the command list's order
  std::uint32_t flashSize = 0;
  std::uint32_t eepromSize = 0;
  std::uint32_t ramSize = 0;
  std::vector<std::string> fuseBits;  // names, bit 0 first
  std::vector<std::string> lockBits;
};

// signature
struct SignatureReport {
  std::string text;  // as the status panel shows it
  bool good = false;
};

// read, write, verify
struct MemoryReport {
  std::size_t bytes = 0;                    // read, written or compared
  bool erased = false;                      // write: erased before
  bool verified = false;                    // write: verified after; verify: equal
  std::optional<std::uint32_t> mismatchAt;  // the first differing block's address
};

// fuses, lock: the bits the chip holds, read after any write
struct BitsReport {
  std::string bits;  // '0' and '1', bit 0 first
};

// erase: the action alone says it all
using ActionDetail =
    std::variant<std::monostate, ProgrammerReport, ChipReport, SignatureReport, MemoryReport, BitsReport>;

struct ActionResult {
  Action action;
  ActionDetail detail;
};

struct PortResult {
  std::string port;
  ExitStatus status = ExitStatus::Done;
  std::string error;                  // what failed, one line; empty when done or ended quietly
  std::vector<ActionResult> actions;  // the actions that ended, in order; a failed one when it told something
};

}  // namespace kestrel::cli
