#include "operations/MemorySequences.h"

#include <algorithm>
#include <vector>

#include "buffer/BinaryFile.h"
#include "link/Commands.h"
#include "operations/CommandList.h"

namespace kestrel {

const ChipMemory ProgramMemory{
    &ChipProperties::ProgramMemorySize,
    [](Session& s, std::uint32_t address, std::uint8_t count) { ReadProgramMemory(s.queue, address, count); },
    [](Session& s, std::uint32_t address, std::uint8_t count) {
      WriteProgramMemory(s.queue, address, count, s.image.DataBuffer());
    },
    [](Session& s, std::uint32_t address, std::uint8_t count) {
      VerifyProgramMemory(s.queue, address, count, s.image.DataBuffer());
    },
    EraseAll,
    OpEraseAll,
    OpVerifyProgramMemory,
    &WriteOptions::programMemory};

const ChipMemory Eeprom{
    &ChipProperties::EepromSize,
    [](Session& s, std::uint32_t address, std::uint8_t count) { ReadEeprom(s.queue, address, count); },
    [](Session& s, std::uint32_t address, std::uint8_t count) {
      WriteEeprom(s.queue, address, count, s.image.DataBuffer());
    },
    [](Session& s, std::uint32_t address, std::uint8_t count) {
      VerifyEeprom(s.queue, address, count, s.image.DataBuffer());
    },
    EraseEeprom,
    OpEraseEeprom,
    OpVerifyEeprom,
    &WriteOptions::eeprom};

namespace {

// The part of the buffer that fits into the chip memory; bytes beyond it are never sent.
std::uint32_t FittingLength(const Session& session, std::uint32_t memorySize) {
  return static_cast<std::uint32_t>(std::min<std::size_t>(session.image.Size(), memorySize));
}

// Loads the working file into the buffer; a load that fails leaves the buffer as it was, so a
// missing or broken file never costs the image the user had.
bool ReloadWorkingFile(Session& session, bool understandHex) {
  std::vector<std::uint8_t> kept = session.image.DataBuffer();
  bool loaded = false;
  try {
    loaded = LoadFile(session.image, understandHex);
  } catch (...) {
    session.image.Assign(std::move(kept));
    throw;
  }
  if (!loaded) session.image.Assign(std::move(kept));
  return loaded;
}

void QueueVerification(Session& session, const ChipMemory& memory, std::uint32_t length) {
  // Stays unless a verify reply reports a mismatch.
  session.view.SetStatusText(AllCorrectText);
  QueueBlocks(session, memory.verify, length);
  EndOperation(session.queue);
}

}  // namespace

void ReadSequence(Session& session, const ChipMemory& memory) {
  const std::uint32_t size = session.Chip.*memory.size;
  session.view.SetStatusText("");
  // What the chip holds is in no file yet.
  session.image.SetBufferModified(size != 0);
  session.image.Resize(size);
  QueueBlocks(session, memory.read, size);
  EndOperation(session.queue);
}

void WriteSequence(Session& session, const ChipMemory& memory, const WriteOptions& options) {
  OperationsView& view = session.view;
  const std::uint32_t size = session.Chip.*memory.size;
  const MemoryWriteOptions& chosen = options.*memory.options;

  if (chosen.reload) {
    // Never erase the chip and report success over a file that did not load.
    if (!ReloadWorkingFile(session, options.understandHex)) {
      view.ShowWarning(ReloadFailedText);
      return;
    }
    session.image.SetBufferModified(false);
  }
  if (chosen.erase && IsCommandOffered(session, memory.eraseCode)) memory.erase(session.queue);
  view.SetStatusText("");
  if (size < session.image.Size()) view.ShowWarning(ClippedWriteText);

  const std::uint32_t length = FittingLength(session, size);
  QueueBlocks(session, memory.write, length);
  EndOperation(session.queue);
  if (chosen.verify && IsCommandOffered(session, memory.verifyCode))
    QueueVerification(session, memory, length);
}

void VerifySequence(Session& session, const ChipMemory& memory) {
  QueueVerification(session, memory, FittingLength(session, session.Chip.*memory.size));
}

}  // namespace kestrel
