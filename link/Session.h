#pragma once
// The state the program keeps for its one session with the programmer and its memory image.
// The main window owns the one instance; the core's operations (free functions named after
// the handlers they implement) take it by reference. Touched only on the user-interface thread.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "buffer/MemoryImage.h"
#include "link/LineTiming.h"
#include "link/View.h"

namespace kestrel {

class LinkTrace;

// One entry of the CommandQueue: the payload, opcode first; the entry owns it.
struct QueuedCommand {
  std::uint8_t Length = 0;
  std::unique_ptr<std::uint8_t[]> Data;
};

// The largest memory size believed from the device; a larger one counts as no memory at all.
inline constexpr std::uint32_t MaxMemorySize = 16 * 1024 * 1024;

// What the device reported about the selected chip.
struct ChipProperties {
  std::uint32_t ProgramMemorySize = 0;
  std::uint32_t EepromSize = 0;
  std::uint32_t RamSize = 0;
};

// The serial component's WriteData: copies the bytes and queues them for the writer thread.
using WriteDataFn = std::function<bool(const std::uint8_t* buffer, std::uint16_t length)>;

inline constexpr std::size_t ReceiveBufferSize = 300;
inline constexpr std::size_t ReplyRecordSize = 256;

struct Session {
  Session(View& view, WriteDataFn writeData) : view(view), WriteData(std::move(writeData)) {}

  View& view;
  WriteDataFn WriteData;
  // The serial component's BaudRate; none (or 0) counts as a line that takes no time.
  std::function<std::uint32_t()> LineRate;
  // The link's clock; tests put their own.
  std::function<LinkTime()> Now = [] { return LinkClock::now(); };
  // Where frames and link events are traced; null for no trace.
  LinkTrace* Trace = nullptr;

  MemoryImage image{view};

  // Command queue and sender.
  std::vector<QueuedCommand> CommandQueue;
  std::int32_t SendAttempts = 0;
  int QueueBarMaximum = 0;  // ProgressBar1's maximum: the count after the last append
  // Polls received before this the device sent before it could have had the whole of the
  // head's last transmission; none while the head has not gone out.
  std::optional<LinkTime> FreshPollsFrom;

  // Reply reception.
  std::array<std::uint8_t, ReceiveBufferSize> ReceiveBuffer{};
  std::uint16_t ScanPos = 0;
  std::uint16_t FillCount = 0;
  std::array<std::uint8_t, ReplyRecordSize> ReplyRecord{};
  std::uint16_t ReplyLength = 0;  // bytes of ReplyRecord that the reply being handled holds
  LinkTime ReceivedAt{};          // when the reader took the chunk being scanned off the line

  // The selected chip.
  ChipProperties Chip;
  // The command list: the opcode of each of its CommandRowCount rows.
  std::array<std::uint8_t, 32> RowCommands{};
  int CommandRowCount = 0;
};

}  // namespace kestrel
