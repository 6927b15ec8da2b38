#pragma once
// The one session with the programmer: it keeps the link (queue, sender and reception), the
// memory image and what the device told about itself and the selected chip, and shows what
// happens on one view. The desktop program and kestrel-cli drive it alike through this
// interface; a program may run several, each on its own thread, since nothing here is shared.
// Touched only on its owner's thread.
//
//   Start()            the first commands of the exchange
//   Receive(...)       bytes from the serial component
//   WatchdogExpired()  no poll for WatchdogIntervalMs
//   SelectChip(n)      ask the device about chip n
//   Run(chip, op, o)   one chip operation, after selecting the chip anew
//   WriteFuseBits / WriteLockBits   what the bit editors write
//   Programmer(), Chip(), Busy(), Image()   what is known now

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "buffer/MemoryImage.h"
#include "link/CommandCatalogue.h"
#include "link/LineTiming.h"
#include "link/LinkLine.h"
#include "operations/OperationsView.h"
#include "operations/WriteOptions.h"

namespace kestrel {

// The largest memory size believed from the device; a larger one counts as no memory at all.
inline constexpr std::uint32_t MaxMemorySize = 16 * 1024 * 1024;

// What the programmer told about itself.
struct ProgrammerInfo {
  bool Introduced = false;  // it has told its name since the link was last lost
  std::string Name;
  std::vector<std::string> InfoLines;
  std::vector<std::string> Chips;  // the chip list; the row is the chip's number
};

// What the device reported about the selected chip.
struct ChipProperties {
  int Number = -1;   // the chip list's row asked about; -1 for none
  std::string Name;  // its name in the chip list, empty when the list has no such row
  std::uint32_t ProgramMemorySize = 0;
  std::uint32_t EepromSize = 0;
  std::uint32_t RamSize = 0;
  // The chip commands it offers, one per row of the command list, in ascending order.
  std::vector<ChipCommand> RowCommands;
  std::vector<std::string> FuseBitNames;
  std::vector<std::string> LockBitNames;

  // The command list's row of `command`; -1 when the chip does not offer it.
  int RowOf(ChipCommand command) const;
  bool Offers(ChipCommand command) const { return RowOf(command) >= 0; }
};

struct ChipMemory;
struct SessionState;

class Session {
 public:
  // `line` is the serial component's WriteData, its line rate, the clock and the trace.
  Session(OperationsView& view, LinkLine line);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Queues the first commands of the exchange: the end of any operation the device may still be
  // in, then the question for its name.
  void Start();
  // A chunk the serial component received, with the time its reader took it off the line.
  void Receive(std::span<const std::uint8_t> chunk, LinkTime receivedAt);
  // No poll came for WatchdogIntervalMs: the link counts as lost and the programmer is
  // discovered anew.
  void WatchdogExpired();
  // Drops the pending work and the chip-dependent lists and asks for the programmer's name
  // again: after the watchdog's timeout, and when a lost port has been opened again.
  void Rediscover();

  // Asks the device about chip `number` (-1, no selection, goes out as 255): its commands, bit
  // counts and names, and memory sizes.
  void SelectChip(int number);

  // Selects chip `chip` anew, then queues `operation`'s sequence with the write options as they
  // are now. Without an operation, or for one without a sequence (RAM, enabling or disabling
  // programming, erasing program memory alone), only the selection goes out. The bit writes
  // open their editor; the editor's button then calls WriteFuseBits or WriteLockBits.
  void Run(int chip, std::optional<ChipCommand> operation, const WriteOptions& options = {});
  // Reads the first `length` bytes of `memory` (a read clipped to what the caller compares), after
  // selecting chip `chip` anew.
  void ReadFirst(int chip, const ChipMemory& memory, std::uint32_t length);
  // WriteFuseBit(i, states[i]) for every bit, in ascending order.
  void WriteFuseBits(const std::vector<bool>& states);
  // WriteLockBit(i) for every bit to program, in ascending order; the others send nothing.
  void WriteLockBits(const std::vector<bool>& program);

  // Sends nothing new: the command on the line is still answered (or given up after its eighth
  // send), everything queued behind it is dropped.
  void Stop();

  // Whether commands still wait in the queue, and their opcodes, the next to be sent first.
  bool Busy() const;
  std::vector<std::uint8_t> QueuedOpcodes() const;
  const ProgrammerInfo& Programmer() const;
  const ChipProperties& Chip() const;
  // The memory image the reads fill and the writes and verifies send.
  MemoryImage& Image();
  const MemoryImage& Image() const;

 private:
  std::unique_ptr<SessionState> state_;
};

}  // namespace kestrel
