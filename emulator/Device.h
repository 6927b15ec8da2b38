#pragma once
// The programmer device's command engine: one command payload in, the reply payload out.
// It holds one seated chip of every type of its catalogue, each with its own memories, fuse and
// lock bits, and answers for the chip selected last.
//
// Refusals: a command the device cannot carry out gets no reply at all, so the host sends it
// again at each poll and gives up after its eighth send. That is the answer to an unknown
// opcode, a payload too short for its parameters, SelectChip with a number past the catalogue
// (255 included; it leaves no chip selected), any chip query or chip command while no chip is
// selected, a chip command the selected chip's mask does not offer, a bit or line index past
// the count, and a block whose count is 0 or whose range reaches past the memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "emulator/ChipCatalogue.h"
#include "emulator/Payload.h"

namespace kestrel::emulator {

enum class MemoryKind { Flash, Eeprom, Ram };

// What a seated chip holds. Bits are one byte each, 1 = programmed, in the catalogue's order.
struct ChipState {
  Bytes flash;   // erased: FF
  Bytes eeprom;  // erased: FF
  Bytes ram;     // volatile: starts at 00, never stored
  Bytes fuses;
  Bytes locks;
  Bytes signature;  // what the chip answers; the device compares it with the catalogue's

  static ChipState Fresh(const ChipType& type);
  Bytes& Memory(MemoryKind kind);
  const Bytes& Memory(MemoryKind kind) const;
};

// How a command keeps the device busy beyond its bytes' time on the line.
enum class Work { None, Write, Erase };
Work WorkOf(std::uint8_t opcode);

class Device {
 public:
  explicit Device(std::vector<ChipType> catalogue = ChipCatalogue());

  const std::vector<ChipType>& Catalogue() const { return catalogue_; }

  // The reply payload (opcode first), or nothing when the device refuses the command.
  std::optional<Bytes> Execute(std::span<const std::uint8_t> payload);

  std::optional<std::size_t> SelectedChip() const { return selected_; }
  const std::vector<ChipState>& Chips() const { return chips_; }
  std::vector<ChipState>& Chips() { return chips_; }

  // True once after a command or NoteChange changed what a chip keeps (memories, bits).
  bool TakeChanged();
  void NoteChange() { changed_ = true; }

 private:
  std::optional<Bytes> ExecuteQuery(std::span<const std::uint8_t> payload);

  const std::vector<ChipType> catalogue_;
  const std::vector<std::string> infoLines_;
  std::vector<ChipState> chips_;
  std::optional<std::size_t> selected_;
  bool changed_ = false;
};

// A chip command for the selected chip; sets `changed` when it alters the chip.
std::optional<Bytes> ExecuteChipCommand(const ChipType& type, ChipState& chip,
                                        std::span<const std::uint8_t> payload, bool& changed);

}  // namespace kestrel::emulator
