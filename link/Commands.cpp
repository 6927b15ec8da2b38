#include "link/Commands.h"

#include <algorithm>
#include <initializer_list>

#include "link/Frame.h"

namespace kestrel {

namespace {

void Queue(CommandQueue& q, std::initializer_list<std::uint8_t> payload) {
  q.EnqueueCommand(payload.begin(), static_cast<std::uint16_t>(payload.size()));
}

std::uint8_t Low8(int index) { return static_cast<std::uint8_t>(index & 0xFF); }

// Opcode, address little-endian, count.
std::array<std::uint8_t, MaxPayloadSize> BlockPayload(std::uint8_t opcode, std::uint32_t address,
                                                      std::uint8_t count) {
  std::array<std::uint8_t, MaxPayloadSize> payload{};
  payload[0] = opcode;
  for (int i = 0; i < 4; ++i) payload[1 + i] = static_cast<std::uint8_t>(address >> (8 * i));
  payload[5] = count;
  return payload;
}

}  // namespace

void QueueCommand(CommandQueue& q, std::uint8_t opcode) { Queue(q, {opcode}); }

void QueueReadBlock(CommandQueue& q, std::uint8_t opcode, std::uint32_t address, std::uint8_t count) {
  const auto payload = BlockPayload(opcode, address, count);
  q.EnqueueCommand(payload.data(), BlockHeaderSize);
}

void QueueDataBlock(CommandQueue& q, std::uint8_t opcode, std::uint32_t address, std::uint8_t count,
                    std::span<const std::uint8_t> image) {
  const std::size_t size = image.size();
  const std::size_t inside = address < size ? size - address : 0;
  const std::size_t n = std::min({std::size_t{count}, inside, MaxPayloadSize - BlockHeaderSize});
  if (n == 0) return;
  auto payload = BlockPayload(opcode, address, static_cast<std::uint8_t>(n));
  std::copy_n(image.begin() + address, n, payload.begin() + BlockHeaderSize);
  q.EnqueueCommand(payload.data(), static_cast<std::uint16_t>(BlockHeaderSize + n));
}

void EndOperation(CommandQueue& q) { Queue(q, {OpEndOperation}); }
void GetProgrammerName(CommandQueue& q) { Queue(q, {OpGetProgrammerName}); }
void GetInfoLineCount(CommandQueue& q) { Queue(q, {OpGetInfoLineCount}); }
void GetInfoLine(CommandQueue& q, int index) { Queue(q, {OpGetInfoLine, Low8(index)}); }
void GetChipCount(CommandQueue& q) { Queue(q, {OpGetChipCount}); }
void GetChipName(CommandQueue& q, int index) { Queue(q, {OpGetChipName, Low8(index)}); }
void SelectChip(CommandQueue& q, int index) { Queue(q, {OpSelectChip, Low8(index)}); }
void GetCommandMask(CommandQueue& q) { Queue(q, {OpGetCommandMask}); }
void GetFuseBitCount(CommandQueue& q) { Queue(q, {OpGetFuseBitCount}); }
void GetFuseBitName(CommandQueue& q, int index) { Queue(q, {OpGetFuseBitName, Low8(index)}); }
void GetLockBitCount(CommandQueue& q) { Queue(q, {OpGetLockBitCount}); }
void GetLockBitName(CommandQueue& q, int index) { Queue(q, {OpGetLockBitName, Low8(index)}); }
void GetProgramMemorySize(CommandQueue& q) { Queue(q, {OpGetProgramMemorySize}); }
void GetEepromSize(CommandQueue& q) { Queue(q, {OpGetEepromSize}); }
void GetRamSize(CommandQueue& q) { Queue(q, {OpGetRamSize}); }

void ReadSignature(CommandQueue& q) { Queue(q, {OpReadSignature}); }
void ReadFuseBits(CommandQueue& q) { Queue(q, {OpReadFuseBits}); }
void WriteFuseBit(CommandQueue& q, int index, bool state) {
  Queue(q, {OpWriteFuseBit, Low8(index), static_cast<std::uint8_t>(state ? 1 : 0)});
}
void ReadLockBits(CommandQueue& q) { Queue(q, {OpReadLockBits}); }
void WriteLockBit(CommandQueue& q, int index) { Queue(q, {OpWriteLockBit, Low8(index)}); }
void EraseAll(CommandQueue& q) { Queue(q, {OpEraseAll}); }
void EraseEeprom(CommandQueue& q) { Queue(q, {OpEraseEeprom}); }

void ReadProgramMemory(CommandQueue& q, std::uint32_t address, std::uint8_t count) {
  QueueReadBlock(q, OpReadProgramMemory, address, count);
}
void WriteProgramMemory(CommandQueue& q, std::uint32_t address, std::uint8_t count,
                        std::span<const std::uint8_t> image) {
  QueueDataBlock(q, OpWriteProgramMemory, address, count, image);
}
void VerifyProgramMemory(CommandQueue& q, std::uint32_t address, std::uint8_t count,
                         std::span<const std::uint8_t> image) {
  QueueDataBlock(q, OpVerifyProgramMemory, address, count, image);
}
void ReadEeprom(CommandQueue& q, std::uint32_t address, std::uint8_t count) {
  QueueReadBlock(q, OpReadEeprom, address, count);
}
void WriteEeprom(CommandQueue& q, std::uint32_t address, std::uint8_t count,
                 std::span<const std::uint8_t> image) {
  QueueDataBlock(q, OpWriteEeprom, address, count, image);
}
void VerifyEeprom(CommandQueue& q, std::uint32_t address, std::uint8_t count,
                  std::span<const std::uint8_t> image) {
  QueueDataBlock(q, OpVerifyEeprom, address, count, image);
}

}  // namespace kestrel
