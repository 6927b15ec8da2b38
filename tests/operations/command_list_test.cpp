// The chip operations the command list starts: what each queues after selecting the chip anew,
// with the write options as they stand, and what the bit editors write. The session is driven
// through its interface; what it queued is seen as the frames that go out to a scripted device.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <ostream>

#include "buffer/Abort.h"
#include "buffer/BinaryFile.h"
#include "link/CommandCatalogue.h"
#include "operations/Session.h"
#include "operations/WriteOptions.h"
#include "tests/support/FakeLink.h"

using namespace kestrel;

namespace {

constexpr std::uint8_t Select = OpSelectChip;
constexpr std::uint8_t End = OpEndOperation;

Bytes Block(ChipCommand command, std::uint32_t address, std::uint8_t count) {
  return {OpcodeOf(command),
          static_cast<std::uint8_t>(address),
          static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address >> 16),
          static_cast<std::uint8_t>(address >> 24),
          count};
}

// A write or verify block carries the buffer's bytes from its address on.
Bytes DataBlock(ChipCommand command, std::uint32_t address, std::uint8_t count, const Bytes& buffer) {
  Bytes payload = Block(command, address, count);
  payload.insert(payload.end(), buffer.begin() + address, buffer.begin() + address + count);
  return payload;
}

Bytes Pattern(std::size_t length) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  return bytes;
}

Bytes Opcodes(const std::vector<Bytes>& payloads) {
  Bytes opcodes;
  for (const Bytes& payload : payloads) opcodes.push_back(payload.front());
  return opcodes;
}

// The two memories the list reads, writes and verifies, with their commands and write options.
struct Memory {
  const char* name;
  ChipCommand read, write, verify, erase;
  MemoryWriteOptions WriteOptions::*options;
  std::uint32_t ScriptedDevice::Chip::*size;
};
void PrintTo(const Memory& memory, std::ostream* out) { *out << memory.name; }

const Memory Program{"ProgramMemory",
                     ChipCommand::ReadProgramMemory,
                     ChipCommand::WriteProgramMemory,
                     ChipCommand::VerifyProgramMemory,
                     ChipCommand::EraseAll,
                     &WriteOptions::programMemory,
                     &ScriptedDevice::Chip::programMemorySize};
const Memory Eeprom{"Eeprom",
                    ChipCommand::ReadEeprom,
                    ChipCommand::WriteEeprom,
                    ChipCommand::VerifyEeprom,
                    ChipCommand::EraseEeprom,
                    &WriteOptions::eeprom,
                    &ScriptedDevice::Chip::eepromSize};

class CommandListTest : public ::testing::Test {
 protected:
  // The device tells of `chip` as its only one, and the session asks about it; the frames of
  // that exchange are dropped.
  void Describe() {
    device.chips = {chip};
    session.SelectChip(0);
    link.Serve(device);
    link.written.frames.clear();
  }

  // The chip offers `commands`: the command list's rows.
  void Offer(std::initializer_list<ChipCommand> commands) {
    chip.commands = commands;
    Describe();
  }

  // Runs `operation`, which a row of the list offers, on chip `chipRow` and lets the device take
  // what it queued.
  void Choose(ChipCommand operation) {
    EXPECT_TRUE(session.Chip().Offers(operation)) << "no row for " << CommandWords(operation);
    session.Run(chipRow, operation, options);
    link.Serve(device);
  }

  // The payloads sent since the last call.
  std::vector<Bytes> Sent() { return link.written.TakePayloads(); }

  FakeLink link;
  FakeView& view = link.view;
  Session& session = link.session;
  ScriptedDevice device;
  ScriptedDevice::Chip chip;
  int chipRow = -1;  // the chip list's selection
  WriteOptions options;
};

class MemorySequenceTest : public CommandListTest, public ::testing::WithParamInterface<Memory> {
 protected:
  void SetUp() override {
    Offer({GetParam().read, GetParam().write, GetParam().verify, GetParam().erase});
    chipRow = 2;
  }
  void SetSize(std::uint32_t size) {
    chip.*GetParam().size = size;
    Describe();
  }
  MemoryWriteOptions& Switches(const Memory& m) { return options.*m.options; }
};

TEST_P(MemorySequenceTest, ReadWriteAndVerifyCutTheMemoryIntoBlocksOf224Bytes) {
  const Memory& m = GetParam();
  SetSize(1000);
  session.Image().Assign(Pattern(1000));
  const Bytes buffer = session.Image().DataBuffer();
  const std::uint32_t addresses[] = {0, 224, 448, 672, 896};
  const std::uint8_t counts[] = {224, 224, 224, 224, 104};

  session.Run(chipRow, m.read, options);
  EXPECT_EQ(session.Image().DataBuffer(), buffer)
      << "a read of the same size keeps the bytes until the replies come";
  link.Serve(device);
  std::vector<Bytes> expected{{Select, 2}};
  for (int i = 0; i < 5; ++i) expected.push_back(Block(m.read, addresses[i], counts[i]));
  expected.push_back({End});
  EXPECT_EQ(Sent(), expected);

  for (const ChipCommand command : {m.write, m.verify}) {
    Choose(command);
    expected = {{Select, 2}};
    for (int i = 0; i < 5; ++i) expected.push_back(DataBlock(command, addresses[i], counts[i], buffer));
    expected.push_back({End});
    EXPECT_EQ(Sent(), expected) << CommandWords(command);
  }
  EXPECT_EQ(view.StatusText(), AllCorrectText);
  EXPECT_TRUE(view.warnings.empty()) << "a buffer exactly as long as the memory needs no warning";
}

TEST_P(MemorySequenceTest, ReadSizesTheBufferToTheMemoryAndKeepsTheModifiedFlag) {
  const Memory& m = GetParam();
  SetSize(5);
  session.Image().Assign(Bytes{1, 2, 3});
  session.Image().SetBufferModified(true);
  view.formatGridCalls = 0;
  view.SetStatusText("old");
  Choose(m.read);
  EXPECT_EQ(session.Image().DataBuffer(), (Bytes{1, 2, 3, 0, 0}));
  EXPECT_TRUE(session.Image().BufferModified());
  EXPECT_EQ(view.StatusText(), "");
  EXPECT_EQ(view.formatGridCalls, 1);

  // S = 0: an empty buffer and only the selection and the end.
  SetSize(0);
  Choose(m.read);
  EXPECT_TRUE(session.Image().DataBuffer().empty());
  EXPECT_EQ(view.formatGridCalls, 2);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{Select, 2}, {End}}));
}

// Nothing to write never erases the chip or reports success: an empty buffer, or a memory of
// size 0 under a full one, sends only the selection and says so.
TEST_P(MemorySequenceTest, NothingToWriteOrVerifySendsOnlyTheSelection) {
  const Memory& m = GetParam();
  Switches(m).erase = Switches(m).verify = true;
  for (const std::uint32_t size : {1024u, 0u}) {
    SetSize(size);
    session.Image().Assign(Bytes(size == 0 ? 16 : 0, 0x11));
    view.statusHistory.clear();
    Choose(m.write);
    Choose(m.verify);
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{Select, 2}, {Select, 2}})) << size;
    EXPECT_EQ(view.statusHistory, (std::vector<std::string>{NothingToWriteText, NothingToVerifyText}))
        << size;
    EXPECT_TRUE(view.warnings.empty()) << size;
  }
}

TEST_P(MemorySequenceTest, BufferLargerThanTheMemoryIsClippedAfterOneWarning) {
  const Memory& m = GetParam();
  SetSize(1024);
  session.Image().Assign(Pattern(2000));
  Switches(m).verify = true;
  int queuedDuringWarning = 0;
  view.duringWarning = [&] { queuedDuringWarning = view.queuePosition; };
  Choose(m.write);

  EXPECT_EQ(view.warnings, (std::vector<std::string>{ClippedWriteText}));
  EXPECT_EQ(queuedDuringWarning, 1) << "the blocks are queued only after the warning is closed";
  std::vector<Bytes> expected{{Select, 2}};
  for (const ChipCommand command : {m.write, m.verify}) {
    for (std::uint32_t address = 0; address < 896; address += 224)
      expected.push_back(DataBlock(command, address, 224, session.Image().DataBuffer()));
    expected.push_back(DataBlock(command, 896, 128, session.Image().DataBuffer()));
    expected.push_back({End});
  }
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(session.Image().DataBuffer().size(), 2000u) << "the buffer itself is not cut";

  // The verify row clips the same way, silently.
  Choose(m.verify);
  EXPECT_EQ(view.warnings.size(), 1u);
  EXPECT_EQ(Sent().size(), 7u);
}

TEST_P(MemorySequenceTest, OptionsForCommandsTheChipLacksQueueNothing) {
  const Memory& m = GetParam();
  Offer({m.write});
  SetSize(300);
  session.Image().Assign(Pattern(300));
  Switches(m).erase = Switches(m).verify = true;
  view.statusHistory.clear();
  Choose(m.write);
  EXPECT_EQ(Opcodes(Sent()), (Bytes{Select, OpcodeOf(m.write), OpcodeOf(m.write), End}));
  EXPECT_EQ(view.statusHistory, (std::vector<std::string>{""}));
}

TEST_P(MemorySequenceTest, OnlyTheMemorysOwnOptionsCount) {
  const Memory& m = GetParam();
  const Memory& other = m.write == Program.write ? Eeprom : Program;
  SetSize(100);
  session.Image().Assign(Pattern(100));
  Switches(other) = {.reload = true, .erase = true, .verify = true};
  Choose(m.write);
  EXPECT_EQ(Opcodes(Sent()), (Bytes{Select, OpcodeOf(m.write), End}));
  EXPECT_TRUE(view.warnings.empty());
}

TEST_P(MemorySequenceTest, FramesCarryTheBufferAsItWasWhenQueued) {
  const Memory& m = GetParam();
  SetSize(16);
  session.Image().Assign(Bytes(16, 0x11));
  session.Run(chipRow, m.write, options);
  // Enter held down: every repeat queues the row's sequence again.
  session.Image().Assign(Bytes(16, 0x22));
  session.Run(chipRow, m.write, options);
  link.Serve(device);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{Select, 2},
                                        DataBlock(m.write, 0, 16, Bytes(16, 0x11)),
                                        {End},
                                        {Select, 2},
                                        DataBlock(m.write, 0, 16, Bytes(16, 0x22)),
                                        {End}}));
}

INSTANTIATE_TEST_SUITE_P(BothMemories, MemorySequenceTest, ::testing::Values(Program, Eeprom),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandListTest, EachRowQueuesItsCommandAfterSelectingTheChip) {
  const std::pair<ChipCommand, Bytes> rows[] = {{ChipCommand::ReadSignature, {Select, OpReadSignature}},
                                                {ChipCommand::EnableProgramming, {Select}},
                                                {ChipCommand::DisableProgramming, {Select}},
                                                {ChipCommand::EraseAll, {Select, OpEraseAll}},
                                                {ChipCommand::EraseProgramMemory, {Select}},
                                                {ChipCommand::EraseEeprom, {Select, OpEraseEeprom}},
                                                {ChipCommand::EraseRam, {Select}},
                                                {ChipCommand::ReadRam, {Select}},
                                                {ChipCommand::WriteRam, {Select}},
                                                {ChipCommand::VerifyRam, {Select}}};
  Offer({ChipCommand::ReadSignature, ChipCommand::EnableProgramming, ChipCommand::DisableProgramming,
         ChipCommand::EraseAll, ChipCommand::EraseProgramMemory, ChipCommand::EraseEeprom,
         ChipCommand::EraseRam, ChipCommand::ReadRam, ChipCommand::WriteRam, ChipCommand::VerifyRam});
  chipRow = 1;
  ASSERT_EQ(session.Chip().RowCommands.size(), std::size(rows));
  for (std::size_t row = 0; row < std::size(rows); ++row) {
    const auto& [command, opcodes] = rows[row];
    EXPECT_EQ(session.Chip().RowCommands[row], command);
    Choose(command);
    const std::vector<Bytes> sent = Sent();
    EXPECT_EQ(Opcodes(sent), opcodes) << CommandWords(command);
    EXPECT_EQ(sent.front(), (Bytes{Select, 1}));
  }
}

TEST_F(CommandListTest, StatusPanelIsClearedExceptByTheEepromErase) {
  Offer({ChipCommand::ReadSignature, ChipCommand::EraseAll, ChipCommand::EraseEeprom});
  for (const ChipCommand command : {ChipCommand::ReadSignature, ChipCommand::EraseAll}) {
    view.SetStatusText("Сигнатура: 1E верна");
    Choose(command);
    EXPECT_EQ(view.StatusText(), "") << CommandWords(command);
  }
  view.SetStatusText("Сигнатура: 1E верна");
  Choose(ChipCommand::EraseEeprom);
  EXPECT_EQ(view.StatusText(), "Сигнатура: 1E верна");
}

TEST_F(CommandListTest, BitRowsOpenTheirDialogsForReadingOrWriting) {
  Offer({ChipCommand::ReadFuseBits, ChipCommand::WriteFuseBits, ChipCommand::ReadLockBits,
         ChipCommand::WriteLockBits});
  struct Case {
    ChipCommand command;
    const FakeBitDialog& dialog;
    bool writable;
    Bytes opcodes;
  };
  const Case cases[] = {{ChipCommand::ReadFuseBits, view.fuseDialog, false, {Select, OpReadFuseBits}},
                        {ChipCommand::WriteFuseBits, view.fuseDialog, true, {Select}},
                        {ChipCommand::ReadLockBits, view.lockDialog, false, {Select, OpReadLockBits}},
                        {ChipCommand::WriteLockBits, view.lockDialog, true, {Select}}};
  for (const Case& c : cases) {
    view.fuseDialog.open = view.lockDialog.open = false;
    view.SetStatusText("x");
    Choose(c.command);
    EXPECT_TRUE(c.dialog.open) << CommandWords(c.command);
    EXPECT_FALSE((&c.dialog == &view.fuseDialog ? view.lockDialog : view.fuseDialog).open);
    EXPECT_EQ(c.dialog.writable, c.writable);
    EXPECT_EQ(Opcodes(Sent()), c.opcodes);
    EXPECT_EQ(view.StatusText(), "");
  }
}

TEST_F(CommandListTest, RowsBeyondTheKnownCommandsQueueOnlyTheSelection) {
  for (std::uint8_t bit = 20; bit < 32; ++bit) chip.commands.push_back(static_cast<ChipCommand>(bit));
  Describe();
  ASSERT_EQ(view.commandRows.size(), 12u);
  ASSERT_EQ(session.Chip().RowCommands.size(), 12u);
  for (const ChipCommand command : session.Chip().RowCommands) {
    Choose(command);
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{Select, 0xFF}})) << CommandWords(command);
  }
}

TEST_F(CommandListTest, NoOperationQueuesOnlyTheSelectionAndTheListOffersOnlyItsRows) {
  chip.programMemorySize = 64;
  Offer({ChipCommand::ReadProgramMemory, ChipCommand::WriteProgramMemory, ChipCommand::VerifyProgramMemory,
         ChipCommand::ReadEeprom});
  Offer({ChipCommand::ReadSignature, ChipCommand::ReadLockBits});
  session.Run(chipRow, std::nullopt, options);
  link.Serve(device);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{Select, 0xFF}}));
  EXPECT_FALSE(session.Chip().Offers(ChipCommand::VerifyProgramMemory)) << "the old list's rows are gone";
  EXPECT_TRUE(session.Chip().Offers(ChipCommand::ReadLockBits));

  Offer({});
  EXPECT_FALSE(session.Chip().Offers(ChipCommand::ReadSignature))
      << "an empty list offers nothing, not even code 0";
}

// Reload before writing: the buffer becomes the working file, or the click ends after SelectChip.
class ReloadTest : public CommandListTest {
 protected:
  void SetUp() override {
    chip.programMemorySize = 4096;
    Offer({ChipCommand::EraseAll, ChipCommand::WriteProgramMemory, ChipCommand::VerifyProgramMemory});
    options.programMemory = {.reload = true, .erase = true, .verify = true};
    session.Image().Assign(Bytes(100, 0xEE));
    session.Image().SetBufferModified(true);
  }
  void TearDown() override {
    if (!file.empty()) std::filesystem::remove(file);
  }
  void WriteFile(const std::string& name, const std::string& content) {
    file = std::filesystem::path(::testing::TempDir()) / name;
    std::ofstream(file, std::ios::binary) << content;
    session.Image().SetWorkingFileName(file.string());
  }
  // Only SelectChip went out, and the buffer is what the user had.
  void ExpectNothingButTheSelection() {
    EXPECT_EQ(Opcodes(Sent()), (Bytes{Select}));
    for (const std::string& text : view.statusHistory) EXPECT_NE(text, AllCorrectText);
    EXPECT_EQ(session.Image().DataBuffer(), Bytes(100, 0xEE));
    EXPECT_TRUE(session.Image().BufferModified());
  }
  std::filesystem::path file;
};

TEST_F(ReloadTest, LoadedFileIsWrittenAndTheBufferCountsAsUnmodified) {
  WriteFile("reload.bin", std::string(300, '\x5A'));
  Choose(ChipCommand::WriteProgramMemory);
  EXPECT_EQ(session.Image().DataBuffer(), Bytes(300, 0x5A));
  EXPECT_FALSE(session.Image().BufferModified());
  const std::vector<Bytes> sent = Sent();
  EXPECT_EQ(Opcodes(sent), (Bytes{Select, 0x07, 0x0A, 0x0A, End, 0x0B, 0x0B, End}));
  EXPECT_EQ(sent[2], DataBlock(ChipCommand::WriteProgramMemory, 0, 224, session.Image().DataBuffer()));
  EXPECT_EQ(view.StatusText(), AllCorrectText);
}

TEST_F(ReloadTest, NoWorkingFileOrAMissingOneWarnsAndNeverErases) {
  for (const std::string name : {"", "/nonexistent/kestrel-reload.bin"}) {
    view.warnings.clear();
    session.Image().SetWorkingFileName(name);
    Choose(ChipCommand::WriteProgramMemory);
    ExpectNothingButTheSelection();
    EXPECT_EQ(view.warnings, (std::vector<std::string>{ReloadFailedText})) << "file '" << name << "'";
  }
}

TEST_F(ReloadTest, FileOverTheSizeLimitWarnsAndNeverErases) {
  WriteFile("reload-big.bin", std::string(MaxImageSize + 1, '\0'));
  Choose(ChipCommand::WriteProgramMemory);
  ExpectNothingButTheSelection();
  ASSERT_FALSE(view.warnings.empty());
  EXPECT_EQ(view.warnings.back(), ReloadFailedText);
}

TEST_F(ReloadTest, MalformedHexFileEndsTheClickWithItsReport) {
  options.understandHex = true;
  WriteFile("reload-bad.hex", ":0400000001020304F2\n");  // no end record
  EXPECT_THROW(session.Run(chipRow, ChipCommand::WriteProgramMemory, options), EAbort);
  link.Serve(device);
  ExpectNothingButTheSelection();
  EXPECT_EQ(view.StatusText(), "Ошибка в HEX-файле reload-bad.hex, строка 1: нет записи конца файла");
  EXPECT_TRUE(view.warnings.empty());
}

TEST(BitWrites, LockWritesOnlyCheckedBitsAndFuseWritesEveryBit) {
  FakeLink link;
  link.session.WriteLockBits({true, false, true, false});
  link.session.WriteFuseBits({false, true, false});
  link.session.WriteLockBits({});
  link.session.WriteFuseBits({});
  link.Serve(ScriptedDevice{});
  EXPECT_EQ(link.written.Payloads(),
            (std::vector<Bytes>{{0x06, 0}, {0x06, 2}, {0x04, 0, 0}, {0x04, 1, 1}, {0x04, 2, 0}}));
}

}  // namespace
