#include "link/Commands.h"

#include <algorithm>
#include <initializer_list>

#include "link/CommandQueue.h"
#include "link/Frame.h"

namespace kestrel {

const std::array<std::string_view, 32> CommandNames{
    "Читать сигнатуру",
    "Разрешить прогр-ие",
    "Запретить прогр-ие",
    "Читать FUSE биты",
    "Записать FUSE биты",
    "Читать LOCK биты",
    "Записать LOCK биты",
    "Стереть все",
    "Стереть память программ",
    "Читать память программ",
    "Записать память программ",
    "Сверить память программ",
    "Стереть EEPROM",
    "Читать EEPROM",
    "Записать EEPROM",
    "Сверить EEPROM",
    "Стереть RAM",
    "Читать RAM",
    "Записать RAM",
    "Сверить RAM",
};

namespace {

void Queue(Session& s, std::initializer_list<std::uint8_t> payload) {
  EnqueueCommand(s, payload.begin(), static_cast<std::uint16_t>(payload.size()));
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

void QueueReadBlock(Session& s, std::uint8_t opcode, std::uint32_t address, std::uint8_t count) {
  const auto payload = BlockPayload(opcode, address, count);
  EnqueueCommand(s, payload.data(), BlockHeaderSize);
}

void QueueDataBlock(Session& s, std::uint8_t opcode, std::uint32_t address, std::uint8_t count) {
  const std::vector<std::uint8_t>& image = s.image.DataBuffer();
  const std::size_t size = image.size();
  const std::size_t inside = address < size ? size - address : 0;
  const std::size_t n = std::min({std::size_t{count}, inside, MaxPayloadSize - BlockHeaderSize});
  if (n == 0) return;
  auto payload = BlockPayload(opcode, address, static_cast<std::uint8_t>(n));
  std::copy_n(image.begin() + address, n, payload.begin() + BlockHeaderSize);
  EnqueueCommand(s, payload.data(), static_cast<std::uint16_t>(BlockHeaderSize + n));
}

}  // namespace

void EndOperation(Session& s) { Queue(s, {OpEndOperation}); }
void GetProgrammerName(Session& s) { Queue(s, {OpGetProgrammerName}); }
void GetInfoLineCount(Session& s) { Queue(s, {OpGetInfoLineCount}); }
void GetInfoLine(Session& s, int index) { Queue(s, {OpGetInfoLine, Low8(index)}); }
void GetChipCount(Session& s) { Queue(s, {OpGetChipCount}); }
void GetChipName(Session& s, int index) { Queue(s, {OpGetChipName, Low8(index)}); }
void SelectChip(Session& s, int index) { Queue(s, {OpSelectChip, Low8(index)}); }
void GetCommandMask(Session& s) { Queue(s, {OpGetCommandMask}); }
void GetFuseBitCount(Session& s) { Queue(s, {OpGetFuseBitCount}); }
void GetFuseBitName(Session& s, int index) { Queue(s, {OpGetFuseBitName, Low8(index)}); }
void GetLockBitCount(Session& s) { Queue(s, {OpGetLockBitCount}); }
void GetLockBitName(Session& s, int index) { Queue(s, {OpGetLockBitName, Low8(index)}); }
void GetProgramMemorySize(Session& s) { Queue(s, {OpGetProgramMemorySize}); }
void GetEepromSize(Session& s) { Queue(s, {OpGetEepromSize}); }
void GetRamSize(Session& s) { Queue(s, {OpGetRamSize}); }

void ReadSignature(Session& s) { Queue(s, {OpReadSignature}); }
void ReadFuseBits(Session& s) { Queue(s, {OpReadFuseBits}); }
void WriteFuseBit(Session& s, int index, bool state) {
  Queue(s, {OpWriteFuseBit, Low8(index), static_cast<std::uint8_t>(state ? 1 : 0)});
}
void ReadLockBits(Session& s) { Queue(s, {OpReadLockBits}); }
void WriteLockBit(Session& s, int index) { Queue(s, {OpWriteLockBit, Low8(index)}); }
void EraseAll(Session& s) { Queue(s, {OpEraseAll}); }
void EraseEeprom(Session& s) { Queue(s, {OpEraseEeprom}); }

void ReadProgramMemory(Session& s, std::uint32_t address, std::uint8_t count) {
  QueueReadBlock(s, OpReadProgramMemory, address, count);
}
void WriteProgramMemory(Session& s, std::uint32_t address, std::uint8_t count) {
  QueueDataBlock(s, OpWriteProgramMemory, address, count);
}
void VerifyProgramMemory(Session& s, std::uint32_t address, std::uint8_t count) {
  QueueDataBlock(s, OpVerifyProgramMemory, address, count);
}
void ReadEeprom(Session& s, std::uint32_t address, std::uint8_t count) {
  QueueReadBlock(s, OpReadEeprom, address, count);
}
void WriteEeprom(Session& s, std::uint32_t address, std::uint8_t count) {
  QueueDataBlock(s, OpWriteEeprom, address, count);
}
void VerifyEeprom(Session& s, std::uint32_t address, std::uint8_t count) {
  QueueDataBlock(s, OpVerifyEeprom, address, count);
}

}  // namespace kestrel
