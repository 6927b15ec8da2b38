#include "operations/MemorySequences.h"

#include <algorithm>
#include <vector>

#include "buffer/BinaryFile.h"
#include "link/Commands.h"
#include "operations/CommandList.h"

namespace kestrel {

namespace {

// A block command as the sequences queue it: a read, or a write or verify carrying the image.
template <void (*Read)(CommandQueue&, std::uint32_t, std::uint8_t)>
void ReadBlock(Session& s, std::uint32_t address, std::uint8_t count) {
  Read(s.queue, address, count);
}

template <void (*Carry)(CommandQueue&, std::uint32_t, std::uint8_t, std::span<const std::uint8_t>)>
void ImageBlock(Session& s, std::uint32_t address, std::uint8_t count) {
  Carry(s.queue, address, count, s.image.DataBuffer());
}

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

const ChipMemory ProgramMemory{&ChipProperties::ProgramMemorySize,
                               ReadBlock<ReadProgramMemory>,
                               ImageBlock<WriteProgramMemory>,
                               ImageBlock<VerifyProgramMemory>,
                               EraseAll,
                               OpEraseAll,
                               OpVerifyProgramMemory,
                               &WriteOptions::programMemory};

const ChipMemory Eeprom{&ChipProperties::EepromSize,
                        ReadBlock<ReadEeprom>,
                        ImageBlock<WriteEeprom>,
                        ImageBlock<VerifyEeprom>,
                        EraseEeprom,
                        OpEraseEeprom,
                        OpVerifyEeprom,
                        &WriteOptions::eeprom};

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
