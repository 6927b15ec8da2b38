#pragma once
// The one session with the programmer: the link (queue, sender and reception), the memory image
// and what the device told about the selected chip, all shown on one view. The main window owns
// one; a program without windows may run several, each on its own thread, since nothing here is
// shared. Touched only on its owner's thread. The entry points, named after the handlers that
// call them, are in Connection.h, ChipSelection.h and CommandList.h.

#include <array>
#include <cstdint>
#include <span>

#include "buffer/MemoryImage.h"
#include "link/CommandQueue.h"
#include "link/LinkLine.h"
#include "link/Reception.h"
#include "operations/OperationsView.h"

namespace kestrel {

// The largest memory size believed from the device; a larger one counts as no memory at all.
inline constexpr std::uint32_t MaxMemorySize = 16 * 1024 * 1024;

// What the device reported about the selected chip.
struct ChipProperties {
  std::uint32_t ProgramMemorySize = 0;
  std::uint32_t EepromSize = 0;
  std::uint32_t RamSize = 0;
};

class Session final : private ReplySink {
 public:
  Session(OperationsView& view, WriteDataFn writeData) : view(view) { line.WriteData = std::move(writeData); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  OperationsView& view;
  // The serial component and the clock; the owner sets the line rate and the trace.
  LinkLine line;
  CommandQueue queue{view, line};
  Reception reception{queue, view, *this, line};
  MemoryImage image{view};

  // The selected chip, and the command list: the opcode of each of its CommandRowCount rows.
  ChipProperties Chip;
  std::array<std::uint8_t, 32> RowCommands{};
  int CommandRowCount = 0;

 private:
  void HandleReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request) override;
};

}  // namespace kestrel
