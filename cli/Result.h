#pragma once
// What one port's run produced: who and what it programmed, when, each action's result, the
// port's exit status and its error.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/Job.h"
#include "cli/Mismatch.h"
#include "link/CommandCatalogue.h"

namespace kestrel::cli {

enum class ExitStatus : int {
  Done = 0,
  DeviceFailure = 1,  // verify mismatch, bad signature verdict
  Usage = 2,          // the command line, or a request the chip cannot serve
  Link = 3,           // the port cannot be opened, or the link was lost
  File = 4,           // a file cannot be read or written, or does not fit
  Interrupted = 130,  // SIGINT (Ctrl+C) stopped the run
  Terminated = 143,   // SIGTERM (Ctrl+Break on Windows) stopped the run
};

// The worse of two statuses, by how far the fault reaches: one board's verdict (1) < a station
// whose board is in an unknown state (3) < a file every board needs (4) < a job that cannot run
// at all (2) < a run stopped by the user (130, 143).
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
  std::optional<Mismatch> mismatch{};       // the chip read back after a failed verify
  std::string sha256{};                     // of exactly the bytes written, verified or read; empty: none
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

// How far an interrupted action got.
struct Interruption {
  Action action;
  std::uint32_t done = 0;   // the address it reached
  std::uint32_t total = 0;  // the address it would have reached; 0 when it moves no memory
};

// "write flash interrupted at 0x1C00 of 0x8000: the chip is partly written".
std::string InterruptionText(const Interruption& interruption);

struct PortResult {
  std::string port;
  std::string programmer;                           // the device's name; empty when none answered
  std::string chip;                                 // the chosen chip's name; empty when none was chosen
  std::optional<std::uint64_t> serial;              // the board's serial number, once taken
  std::chrono::system_clock::time_point started{};  // when the port's run started
  std::chrono::steady_clock::duration duration{};   // how long it took
  ExitStatus status = ExitStatus::Done;
  std::string error;                        // what failed, one line; empty when done or ended quietly
  std::optional<Interruption> interrupted;  // status 130 or 143: where the run stopped
  std::vector<ActionResult> actions;  // the actions that ended, in order; a failed one when it told something
};

}  // namespace kestrel::cli
