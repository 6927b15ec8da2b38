#include "operations/CommandList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>

#include "buffer/Abort.h"
#include "buffer/BinaryFile.h"
#include "link/CommandQueue.h"
#include "link/Commands.h"
#include "operations/BitWrites.h"
#include "operations/MemorySequences.h"
#include "operations/ReplyHandler.h"
#include "operations/WriteOptions.h"
#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

constexpr std::uint8_t Select = OpSelectChip;
constexpr std::uint8_t End = OpEndOperation;

Bytes Block(std::uint8_t opcode, std::uint32_t address, std::uint8_t count) {
  return {opcode,
          static_cast<std::uint8_t>(address),
          static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address >> 16),
          static_cast<std::uint8_t>(address >> 24),
          count};
}

// A write or verify block carries the buffer's bytes from its address on.
Bytes DataBlock(std::uint8_t opcode, std::uint32_t address, std::uint8_t count, const Bytes& buffer) {
  Bytes payload = Block(opcode, address, count);
  payload.insert(payload.end(), buffer.begin() + address, buffer.begin() + address + count);
  return payload;
}

Bytes Pattern(std::size_t length) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  return bytes;
}

// The two memories the list reads, writes and verifies, with their codes and write options.
struct Memory {
  const char* name;
  std::uint8_t read, write, verify, erase;
  MemoryWriteOptions WriteOptions::*options;
  std::uint32_t ChipProperties::*size;
};
const Memory Program{
    "ProgramMemory", 9, 10, 11, 7, &WriteOptions::programMemory, &ChipProperties::ProgramMemorySize};
const Memory Eeprom{"Eeprom", 13, 14, 15, 12, &WriteOptions::eeprom, &ChipProperties::EepromSize};

class CommandListTest : public ::testing::Test {
 protected:
  // Builds the list as a mask reply would, with rows for `codes`.
  void Offer(std::initializer_list<std::uint8_t> codes) {
    std::uint32_t mask = 0;
    for (std::uint8_t code : codes) mask |= 1u << code;
    FillCommandList(session, mask);
  }

  // Chooses the row of `code` and clicks it.
  void Choose(std::uint8_t code) {
    for (int row = 0; row < session.CommandRowCount; ++row) {
      if (session.RowCommands[row] == code) {
        commandRow = row;
        Click();
        return;
      }
    }
    FAIL() << "no row for code " << int(code);
  }

  // Clicks the chosen row again.
  void Click() { ListBox2Click(session, chipRow, commandRow, options); }

  std::vector<Bytes> Queued() const {
    std::vector<Bytes> payloads;
    for (const QueuedCommand& entry : session.queue.Entries())
      payloads.emplace_back(entry.Data.get(), entry.Data.get() + entry.Length);
    return payloads;
  }

  Bytes QueuedOpcodes() const {
    Bytes opcodes;
    for (const Bytes& payload : Queued()) opcodes.push_back(payload.front());
    return opcodes;
  }

  FakeLink link;
  FakeView& view = link.view;
  Session& session = link.session;
  int chipRow = -1;     // the chip list's selection
  int commandRow = -1;  // the command list's selection
  WriteOptions options;
};

class MemorySequenceTest : public CommandListTest, public ::testing::WithParamInterface<Memory> {
 protected:
  void SetUp() override {
    Offer({GetParam().read, GetParam().write, GetParam().verify, GetParam().erase});
    chipRow = 2;
  }
  void SetSize(std::uint32_t size) { session.Chip.*GetParam().size = size; }
  MemoryWriteOptions& Switches(const Memory& m) { return options.*m.options; }
};

TEST_P(MemorySequenceTest, ReadWriteAndVerifyCutTheMemoryIntoBlocksOf224Bytes) {
  const Memory& m = GetParam();
  SetSize(1000);
  session.image.Assign(Pattern(1000));
  const Bytes buffer = session.image.DataBuffer();
  const std::uint32_t addresses[] = {0, 224, 448, 672, 896};
  const std::uint8_t counts[] = {224, 224, 224, 224, 104};

  Choose(m.read);
  std::vector<Bytes> expected{{Select, 2}};
  for (int i = 0; i < 5; ++i) expected.push_back(Block(m.read, addresses[i], counts[i]));
  expected.push_back({End});
  EXPECT_EQ(Queued(), expected);
  EXPECT_EQ(session.image.DataBuffer(), buffer)
      << "a read of the same size keeps the bytes until the replies come";

  for (const std::uint8_t code : {m.write, m.verify}) {
    session.queue.ClearCommandQueue();
    Choose(code);
    expected = {{Select, 2}};
    for (int i = 0; i < 5; ++i) expected.push_back(DataBlock(code, addresses[i], counts[i], buffer));
    expected.push_back({End});
    EXPECT_EQ(Queued(), expected) << "code " << int(code);
  }
  EXPECT_EQ(view.StatusText(), AllCorrectText);
  EXPECT_TRUE(view.warnings.empty()) << "a buffer exactly as long as the memory needs no warning";
}

TEST_P(MemorySequenceTest, ReadSizesTheBufferToTheMemoryAndKeepsTheModifiedFlag) {
  const Memory& m = GetParam();
  session.image.Assign(Bytes{1, 2, 3});
  session.image.SetBufferModified(true);
  view.formatGridCalls = 0;
  view.SetStatusText("old");
  SetSize(5);
  Choose(m.read);
  EXPECT_EQ(session.image.DataBuffer(), (Bytes{1, 2, 3, 0, 0}));
  EXPECT_TRUE(session.image.BufferModified());
  EXPECT_EQ(view.StatusText(), "");
  EXPECT_EQ(view.formatGridCalls, 1);

  // S = 0: an empty buffer and only the selection and the end.
  session.queue.ClearCommandQueue();
  SetSize(0);
  Choose(m.read);
  EXPECT_TRUE(session.image.DataBuffer().empty());
  EXPECT_EQ(view.formatGridCalls, 2);
  EXPECT_EQ(Queued(), (std::vector<Bytes>{{Select, 2}, {End}}));
}

TEST_P(MemorySequenceTest, EmptyBufferWithEraseAndVerifyQueuesNoDataFrame) {
  const Memory& m = GetParam();
  SetSize(1024);
  Switches(m).erase = Switches(m).verify = true;
  Choose(m.write);
  EXPECT_EQ(Queued(), (std::vector<Bytes>{{Select, 2}, {m.erase}, {End}, {End}}));
  EXPECT_EQ(view.statusHistory, (std::vector<std::string>{"", AllCorrectText}));
  EXPECT_TRUE(view.warnings.empty());
}

TEST_P(MemorySequenceTest, BufferLargerThanTheMemoryIsClippedAfterOneWarning) {
  const Memory& m = GetParam();
  SetSize(1024);
  session.image.Assign(Pattern(2000));
  Switches(m).verify = true;
  std::size_t queuedDuringWarning = 0;
  view.duringWarning = [&] { queuedDuringWarning = session.queue.Size(); };
  Choose(m.write);

  EXPECT_EQ(view.warnings, (std::vector<std::string>{ClippedWriteText}));
  EXPECT_EQ(queuedDuringWarning, 1u) << "the blocks are queued only after the warning is closed";
  std::vector<Bytes> expected{{Select, 2}};
  for (const std::uint8_t code : {m.write, m.verify}) {
    for (std::uint32_t address = 0; address < 896; address += 224)
      expected.push_back(DataBlock(code, address, 224, session.image.DataBuffer()));
    expected.push_back(DataBlock(code, 896, 128, session.image.DataBuffer()));
    expected.push_back({End});
  }
  EXPECT_EQ(Queued(), expected);
  EXPECT_EQ(session.image.DataBuffer().size(), 2000u) << "the buffer itself is not cut";

  // The verify row clips the same way, silently.
  session.queue.ClearCommandQueue();
  Choose(m.verify);
  EXPECT_EQ(view.warnings.size(), 1u);
  EXPECT_EQ(Queued().size(), 7u);
}

TEST_P(MemorySequenceTest, OptionsForCommandsTheChipLacksQueueNothing) {
  const Memory& m = GetParam();
  Offer({m.write});
  SetSize(300);
  session.image.Assign(Pattern(300));
  Switches(m).erase = Switches(m).verify = true;
  Choose(m.write);
  EXPECT_EQ(QueuedOpcodes(), (Bytes{Select, m.write, m.write, End}));
  EXPECT_EQ(view.statusHistory, (std::vector<std::string>{""}));
}

TEST_P(MemorySequenceTest, OnlyTheMemorysOwnOptionsCount) {
  const Memory& m = GetParam();
  const Memory& other = m.write == Program.write ? Eeprom : Program;
  SetSize(100);
  session.image.Assign(Pattern(100));
  Switches(other) = {.reload = true, .erase = true, .verify = true};
  Choose(m.write);
  EXPECT_EQ(QueuedOpcodes(), (Bytes{Select, m.write, End}));
  EXPECT_TRUE(view.warnings.empty());
}

TEST_P(MemorySequenceTest, FramesCarryTheBufferAsItWasWhenQueued) {
  const Memory& m = GetParam();
  SetSize(16);
  session.image.Assign(Bytes(16, 0x11));
  Choose(m.write);
  // Enter held down: every repeat queues the row's sequence again.
  session.image.Assign(Bytes(16, 0x22));
  Click();
  EXPECT_EQ(Queued(), (std::vector<Bytes>{{Select, 2},
                                          DataBlock(m.write, 0, 16, Bytes(16, 0x11)),
                                          {End},
                                          {Select, 2},
                                          DataBlock(m.write, 0, 16, Bytes(16, 0x22)),
                                          {End}}));
}

INSTANTIATE_TEST_SUITE_P(BothMemories, MemorySequenceTest, ::testing::Values(Program, Eeprom),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandListTest, EachRowQueuesItsCommandAfterSelectingTheChip) {
  Offer({0, 1, 2, 7, 8, 12, 16, 17, 18, 19});
  chipRow = 1;
  const std::pair<std::uint8_t, Bytes> rows[] = {
      {0, {Select, 0x00}},  {1, {Select}},  {2, {Select}},  {7, {Select, 0x07}}, {8, {Select}},
      {12, {Select, 0x0C}}, {16, {Select}}, {17, {Select}}, {18, {Select}},      {19, {Select}}};
  for (const auto& [code, opcodes] : rows) {
    session.queue.ClearCommandQueue();
    Choose(code);
    EXPECT_EQ(QueuedOpcodes(), opcodes) << "code " << int(code);
    EXPECT_EQ(Queued().front(), (Bytes{Select, 1}));
  }
}

TEST_F(CommandListTest, StatusPanelIsClearedExceptByTheEepromErase) {
  Offer({0, 7, 12});
  for (const std::uint8_t code : {0, 7}) {
    view.SetStatusText("Сигнатура: 1E верна");
    Choose(code);
    EXPECT_EQ(view.StatusText(), "") << "code " << int(code);
  }
  view.SetStatusText("Сигнатура: 1E верна");
  Choose(12);
  EXPECT_EQ(view.StatusText(), "Сигнатура: 1E верна");
}

TEST_F(CommandListTest, BitRowsOpenTheirDialogsForReadingOrWriting) {
  Offer({3, 4, 5, 6});
  struct Case {
    std::uint8_t code;
    const FakeBitDialog& dialog;
    bool writable;
    Bytes opcodes;
  };
  const Case cases[] = {{3, view.fuseDialog, false, {Select, OpReadFuseBits}},
                        {4, view.fuseDialog, true, {Select}},
                        {5, view.lockDialog, false, {Select, OpReadLockBits}},
                        {6, view.lockDialog, true, {Select}}};
  for (const Case& c : cases) {
    session.queue.ClearCommandQueue();
    view.fuseDialog.open = view.lockDialog.open = false;
    view.SetStatusText("x");
    Choose(c.code);
    EXPECT_TRUE(c.dialog.open) << "code " << int(c.code);
    EXPECT_FALSE((&c.dialog == &view.fuseDialog ? view.lockDialog : view.fuseDialog).open);
    EXPECT_EQ(c.dialog.writable, c.writable);
    EXPECT_EQ(QueuedOpcodes(), c.opcodes);
    EXPECT_EQ(view.StatusText(), "");
  }
}

TEST_F(CommandListTest, RowsBeyondTheKnownCommandsQueueOnlyTheSelection) {
  FillCommandList(session, 0xFFF00000u);
  ASSERT_EQ(view.commandRows.size(), 12u);
  for (commandRow = 0; commandRow < 12; ++commandRow) {
    session.queue.ClearCommandQueue();
    Click();
    EXPECT_EQ(Queued(), (std::vector<Bytes>{{Select, 0xFF}})) << "row " << commandRow;
  }
}

TEST_F(CommandListTest, NoSelectedRowAndStaleEntriesAreNeverRead) {
  Offer({9, 10, 11, 13});
  session.Chip.ProgramMemorySize = 64;
  Offer({0, 5});  // RowCommands[2] and [3] keep 11 and 13, past the list's rows
  commandRow = -1;
  Click();
  commandRow = 2;
  Click();
  EXPECT_EQ(QueuedOpcodes(), (Bytes{Select, Select}));
  EXPECT_FALSE(IsCommandOffered(session, 11));
  EXPECT_TRUE(IsCommandOffered(session, 5));

  FillCommandList(session, 0);
  EXPECT_FALSE(IsCommandOffered(session, 0)) << "an empty list offers nothing, not even code 0";
}

// Reload before writing: the buffer becomes the working file, or the click ends after SelectChip.
class ReloadTest : public CommandListTest {
 protected:
  void SetUp() override {
    Offer({7, 10, 11});
    session.Chip.ProgramMemorySize = 4096;
    options.programMemory = {.reload = true, .erase = true, .verify = true};
    session.image.Assign(Bytes(100, 0xEE));
    session.image.SetBufferModified(true);
  }
  void TearDown() override {
    if (!file.empty()) std::filesystem::remove(file);
  }
  void WriteFile(const std::string& name, const std::string& content) {
    file = std::filesystem::path(::testing::TempDir()) / name;
    std::ofstream(file, std::ios::binary) << content;
    session.image.SetWorkingFileName(file.string());
  }
  // Only SelectChip went out, and the buffer is what the user had.
  void ExpectNothingButTheSelection() {
    EXPECT_EQ(QueuedOpcodes(), (Bytes{Select}));
    for (const std::string& text : view.statusHistory) EXPECT_NE(text, AllCorrectText);
    EXPECT_EQ(session.image.DataBuffer(), Bytes(100, 0xEE));
    EXPECT_TRUE(session.image.BufferModified());
  }
  std::filesystem::path file;
};

TEST_F(ReloadTest, LoadedFileIsWrittenAndTheBufferCountsAsUnmodified) {
  WriteFile("reload.bin", std::string(300, '\x5A'));
  Choose(10);
  EXPECT_EQ(session.image.DataBuffer(), Bytes(300, 0x5A));
  EXPECT_FALSE(session.image.BufferModified());
  EXPECT_EQ(QueuedOpcodes(), (Bytes{Select, 0x07, 0x0A, 0x0A, End, 0x0B, 0x0B, End}));
  EXPECT_EQ(Queued()[2], DataBlock(0x0A, 0, 224, session.image.DataBuffer()));
  EXPECT_EQ(view.StatusText(), AllCorrectText);
}

TEST_F(ReloadTest, NoWorkingFileOrAMissingOneWarnsAndNeverErases) {
  for (const std::string name : {"", "/nonexistent/kestrel-reload.bin"}) {
    session.queue.ClearCommandQueue();
    view.warnings.clear();
    session.image.SetWorkingFileName(name);
    Choose(10);
    ExpectNothingButTheSelection();
    EXPECT_EQ(view.warnings, (std::vector<std::string>{ReloadFailedText})) << "file '" << name << "'";
  }
}

TEST_F(ReloadTest, FileOverTheSizeLimitWarnsAndNeverErases) {
  WriteFile("reload-big.bin", std::string(MaxImageSize + 1, '\0'));
  Choose(10);
  ExpectNothingButTheSelection();
  ASSERT_FALSE(view.warnings.empty());
  EXPECT_EQ(view.warnings.back(), ReloadFailedText);
}

TEST_F(ReloadTest, MalformedHexFileEndsTheClickWithItsReport) {
  options.understandHex = true;
  WriteFile("reload-bad.hex", ":0400000001020304F2\n");  // no end record
  EXPECT_THROW(Choose(10), EAbort);
  ExpectNothingButTheSelection();
  EXPECT_EQ(view.StatusText(), "Ошибка в HEX-файле reload-bad.hex, строка 1: нет записи конца файла");
  EXPECT_TRUE(view.warnings.empty());
}

TEST(BitWrites, LockWritesOnlyCheckedBitsAndFuseWritesEveryBit) {
  FakeLink link;
  WriteLockBits(link.session, {true, false, true, false});
  WriteFuseBits(link.session, {false, true, false});
  WriteLockBits(link.session, {});
  WriteFuseBits(link.session, {});
  std::vector<Bytes> queued;
  for (const QueuedCommand& entry : link.session.queue.Entries())
    queued.emplace_back(entry.Data.get(), entry.Data.get() + entry.Length);
  EXPECT_EQ(queued, (std::vector<Bytes>{{0x06, 0}, {0x06, 2}, {0x04, 0, 0}, {0x04, 1, 1}, {0x04, 2, 0}}));
}

}  // namespace
