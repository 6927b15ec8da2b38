#include "operations/MemorySequences.h"

#include <algorithm>
#include <vector>

#include "buffer/BinaryFile.h"
#include "link/Commands.h"

namespace kestrel {

namespace {

// Queues `command` for the range 0..length in ascending blocks: every block but the last holds
// MaxBlockSize bytes. Writes and verifies carry the image's bytes.
void QueueBlocks(SessionState& s, ChipCommand command, std::uint32_t length, bool carriesImage) {
  for (std::uint32_t address = 0; address < length;) {
    const auto count = static_cast<std::uint8_t>(std::min(length - address, MaxBlockSize));
    if (carriesImage)
      QueueDataBlock(s.queue, OpcodeOf(command), address, count, s.image.DataBuffer());
    else
      QueueReadBlock(s.queue, OpcodeOf(command), address, count);
    address += count;
  }
}

// The part of the buffer that fits into the chip memory; bytes beyond it are never sent.
std::uint32_t FittingLength(const SessionState& s, const ChipMemory& memory) {
  return static_cast<std::uint32_t>(std::min<std::size_t>(s.image.Size(), s.chip.*memory.size));
}

// Loads the working file into the buffer; a load that fails leaves the buffer as it was, so a
// missing or broken file never costs the image the user had.
bool ReloadWorkingFile(SessionState& s, bool understandHex) {
  std::vector<std::uint8_t> kept = s.image.DataBuffer();
  bool loaded = false;
  try {
    loaded = LoadFile(s.image, understandHex);
  } catch (...) {
    s.image.Assign(std::move(kept));
    throw;
  }
  if (!loaded) s.image.Assign(std::move(kept));
  return loaded;
}

void QueueVerification(SessionState& s, const ChipMemory& memory, std::uint32_t length) {
  // Stays unless a verify reply reports a mismatch.
  s.view.SetStatusText(AllCorrectText);
  QueueBlocks(s, memory.verify, length, true);
  EndOperation(s.queue);
}

}  // namespace

const ChipMemory ProgramMemory{
    &ChipProperties::ProgramMemorySize, ChipCommand::ReadProgramMemory, ChipCommand::WriteProgramMemory,
    ChipCommand::VerifyProgramMemory,   ChipCommand::EraseAll,          &WriteOptions::programMemory};

const ChipMemory Eeprom{&ChipProperties::EepromSize, ChipCommand::ReadEeprom,  ChipCommand::WriteEeprom,
                        ChipCommand::VerifyEeprom,   ChipCommand::EraseEeprom, &WriteOptions::eeprom};

std::vector<ChipCommand> CommandsOfWrite(const ChipMemory& memory, const MemoryWriteOptions& options) {
  std::vector<ChipCommand> commands{memory.write};
  if (options.erase) commands.push_back(memory.erase);
  if (options.verify) commands.push_back(memory.verify);
  return commands;
}

void ReadSequence(SessionState& s, const ChipMemory& memory, std::uint32_t length) {
  const std::uint32_t size = std::min(s.chip.*memory.size, length);
  s.view.SetStatusText("");
  // What the chip holds is in no file yet.
  s.image.SetBufferModified(size != 0);
  s.image.Resize(size);
  QueueBlocks(s, memory.read, size, false);
  EndOperation(s.queue);
}

void WriteSequence(SessionState& s, const ChipMemory& memory, const WriteOptions& options) {
  const MemoryWriteOptions& chosen = options.*memory.options;
  if (chosen.reload) {
    // Never erase the chip and report success over a file that did not load.
    if (!ReloadWorkingFile(s, options.understandHex)) {
      s.view.ShowWarning(ReloadFailedText);
      return;
    }
    s.image.SetBufferModified(false);
  }
  // Never erase the chip and report success over nothing written.
  const std::uint32_t length = FittingLength(s, memory);
  if (length == 0) {
    s.view.SetStatusText(NothingToWriteText);
    return;
  }
  if (chosen.erase && s.chip.Offers(memory.erase)) QueueCommand(s.queue, OpcodeOf(memory.erase));
  s.view.SetStatusText("");
  if (s.chip.*memory.size < s.image.Size()) s.view.ShowWarning(ClippedWriteText);

  QueueBlocks(s, memory.write, length, true);
  EndOperation(s.queue);
  if (chosen.verify && s.chip.Offers(memory.verify)) QueueVerification(s, memory, length);
}

void VerifySequence(SessionState& s, const ChipMemory& memory) {
  const std::uint32_t length = FittingLength(s, memory);
  if (length == 0)
    s.view.SetStatusText(NothingToVerifyText);
  else
    QueueVerification(s, memory, length);
}

}  // namespace kestrel
