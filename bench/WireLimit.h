#pragma once
// The wire limit of an operation: the bytes its exchange puts on the line at 11 bits a byte, and
// the floor that adds the host's read interval before each poll it answers.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "link/Frame.h"
#include "link/LineTiming.h"
#include "operations/ChipMemory.h"

namespace kestrel {

// Bytes on the line for one command: its frame, the reply frame, and the poll the device sends
// right behind the reply, which asks for the next command. Each command is sent at one poll.
inline std::size_t ExchangeBytes(std::size_t commandPayload, std::size_t replyPayload) {
  return commandPayload + FrameOverhead + replyPayload + FrameOverhead + FrameHeaderSize;
}

// The whole operation: the poll that asks for the first command, then SelectChip (payload 2,
// confirmed with 1 byte), the operation's commands, and EndOperation (1, confirmed with 1).
struct WireLimit {
  std::size_t bytes = FrameHeaderSize + ExchangeBytes(2, 1);
  std::size_t commands = 1;
  void Add(std::size_t commandPayload, std::size_t replyPayload) {
    bytes += ExchangeBytes(commandPayload, replyPayload);
    ++commands;
  }
  double Seconds(std::uint32_t baud) const { return bytes * double(BitsPerByte) / baud; }
  // No host answers a poll before its read of the poll has ended, ReadInterval after its last byte.
  double FloorSeconds(std::uint32_t baud) const {
    return Seconds(baud) + commands * std::chrono::duration<double>(ReadInterval).count();
  }
  // The memory in blocks: each command carries 6 bytes of opcode, address and count, and the
  // block's data when `dataOut`; each reply `replyFixed` bytes, and the data when `dataBack`.
  void AddBlocks(std::uint32_t size, bool dataOut, std::size_t replyFixed, bool dataBack) {
    for (std::uint32_t at = 0; at < size; at += MaxBlockSize) {
      const std::size_t n = std::min(MaxBlockSize, size - at);
      Add(6 + (dataOut ? n : 0), replyFixed + (dataBack ? n : 0));
    }
  }
  void AddEnd() { Add(1, 1); }
};

// Read: blocks answered with code, address, count and the data.
inline WireLimit ReadLimit(std::uint32_t size) {
  WireLimit limit;
  limit.AddBlocks(size, false, 6, true);
  limit.AddEnd();
  return limit;
}

// Erase all (1 byte, confirmed), the write blocks (confirmed with 1 byte), EndOperation; with
// the verification, the verify blocks with the same data (answered with code, address, count
// and verdict: 7 bytes) and another EndOperation.
inline WireLimit WriteLimit(std::uint32_t size, bool verify) {
  WireLimit limit;
  limit.Add(1, 1);
  limit.AddBlocks(size, true, 1, false);
  limit.AddEnd();
  if (verify) {
    limit.AddBlocks(size, true, 7, false);
    limit.AddEnd();
  }
  return limit;
}

}  // namespace kestrel
