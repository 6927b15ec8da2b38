// What the device's replies do to the session and the view, each trusted only as far as it
// reaches. The session is driven through its interface against a scripted device.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "link/CommandCatalogue.h"
#include "operations/Session.h"
#include "tests/support/FakeLink.h"

using namespace kestrel;

namespace {

using Answer = std::function<std::optional<Bytes>(const Bytes& command)>;

// `reply` to every command with `opcode`; the device's own answer to the others.
Answer Answering(std::uint8_t opcode, Bytes reply) {
  return [opcode, reply](const Bytes& command) -> std::optional<Bytes> {
    if (command[0] == opcode) return reply;
    return std::nullopt;
  };
}

std::uint32_t AddressOf(const Bytes& block) {
  return block[1] | block[2] << 8 | block[3] << 16 | static_cast<std::uint32_t>(block[4]) << 24;
}

// What the scripted chip holds at `address`.
std::uint8_t ChipByte(std::uint32_t address) {
  return static_cast<std::uint8_t>(address * 7 + address / 256);
}

Bytes Opcodes(const std::vector<Bytes>& payloads) {
  Bytes opcodes;
  for (const Bytes& payload : payloads) opcodes.push_back(payload.front());
  return opcodes;
}

class ReplyHandlerTest : public ::testing::Test {
 protected:
  // Asks about chip 0 and plays the device until every answer is in.
  void SelectChip() {
    link.session.SelectChip(0);
    link.Serve(device);
  }
  // Runs `operation` on chip 0 and plays the device through it.
  void Run(ChipCommand operation) {
    link.session.Run(0, operation);
    link.Serve(device);
  }
  // The frames sent since the last call.
  std::vector<Bytes> Sent() { return link.written.TakePayloads(); }

  FakeLink link;
  FakeView& view = link.view;
  ScriptedDevice device;
};

}  // namespace

TEST_F(ReplyHandlerTest, SignatureTextShowsTheBytesAndTheDevicesVerdict) {
  const std::pair<Bytes, std::string> cases[] = {
      {{0x00, 3, 0x1E, 0x95, 0x0F, 1}, "Сигнатура: 1E 95 F верна"},
      {{0x00, 3, 0x1E, 0x95, 0x0F, 0}, "Сигнатура: 1E 95 F не верна!"},
      {{0x00, 0, 0x02}, "Сигнатура: верна"},
      // Cut before the verdict: the bytes that came, and no verdict.
      {{0x00, 3, 0xAB, 0x00}, "Сигнатура: AB 0"},
  };
  for (const auto& [reply, text] : cases) {
    device.answer = Answering(OpReadSignature, reply);
    Run(ChipCommand::ReadSignature);
    EXPECT_EQ(view.StatusText(), text);
  }
  // Without its count the reply shows nothing.
  device.answer = Answering(OpReadSignature, {0x00});
  link.session.Run(0, ChipCommand::ReadSignature);
  const std::vector<std::string> shown = view.statusHistory;
  link.Serve(device);
  EXPECT_EQ(view.statusHistory, shown);
}

TEST_F(ReplyHandlerTest, BitStatesTickTheBoxesOfTheirDialog) {
  device.chips = {{.fuseBits = {"f0", "f1", "f2"}, .lockBits = {"l0", "l1"}}};
  SelectChip();
  device.answer = Answering(OpReadFuseBits, {0x03, 3, 0x00, 0x01, 0xFF});
  Run(ChipCommand::ReadFuseBits);
  EXPECT_EQ(view.fuseDialog.States(), (std::vector<bool>{false, true, true}));
  EXPECT_EQ(view.lockDialog.States(), (std::vector<bool>{false, false}));
  // More states than boxes, and a count the reply does not hold.
  device.answer = Answering(OpReadLockBits, {0x05, 9, 0x01, 0x01, 0x01});
  Run(ChipCommand::ReadLockBits);
  EXPECT_EQ(view.lockDialog.States(), (std::vector<bool>{true, true}));
}

TEST_F(ReplyHandlerTest, ReadBlocksLandInTheImageAtTheirAddress) {
  device.chips = {{.programMemorySize = 0x400, .eepromSize = 0x1C2}};
  device.answer = [](const Bytes& command) -> std::optional<Bytes> {
    if (command[0] != OpReadProgramMemory && command[0] != OpReadEeprom) return std::nullopt;
    Bytes reply = command;
    for (std::uint32_t i = 0; i < command[5]; ++i) reply.push_back(ChipByte(AddressOf(command) + i));
    return reply;
  };
  SelectChip();
  using Redrawn = std::vector<std::pair<std::size_t, std::size_t>>;
  const std::tuple<ChipCommand, std::uint32_t, Redrawn> reads[] = {
      {ChipCommand::ReadProgramMemory, 0x400, {{0, 224}, {224, 224}, {448, 224}, {672, 224}, {896, 128}}},
      {ChipCommand::ReadEeprom, 0x1C2, {{0, 224}, {224, 224}, {448, 2}}}};
  for (const auto& [read, size, redrawn] : reads) {
    link.session.Run(0, read);
    // The replies alone neither resize the image nor mark it modified.
    const int formats = view.formatGridCalls;
    link.session.Image().SetBufferModified(false);
    view.bytesChanged.clear();
    link.Serve(device);
    Bytes chip(size);
    for (std::uint32_t a = 0; a < size; ++a) chip[a] = ChipByte(a);
    EXPECT_EQ(link.session.Image().DataBuffer(), chip);
    EXPECT_EQ(view.bytesChanged, redrawn) << "only each block's bytes are redrawn";
    EXPECT_EQ(view.formatGridCalls, formats);
    EXPECT_FALSE(link.session.Image().BufferModified());
  }
}

// The image can change while a read runs (a file is opened meanwhile): a block keeps to what
// the image holds then, and to the bytes its reply brings.
TEST_F(ReplyHandlerTest, ReadBlocksOutsideTheImageOrCutShortKeepToWhatIsThere) {
  device.chips = {{.eepromSize = 8}};
  SelectChip();
  const Bytes whole{0x0D, 0, 0, 0, 0, 8, 1, 2, 3, 4, 5, 6, 7, 8};
  struct Case {
    std::size_t imageSize;
    Bytes reply;
    Bytes image;
    std::vector<std::pair<std::size_t, std::size_t>> redrawn;
  };
  const Case cases[] = {
      // Runs past the end: the bytes inside are stored.
      {6, whole, {1, 2, 3, 4, 5, 6}, {{0, 6}}},
      // Starts at the end: nothing.
      {0, whole, {}, {}},
      // Says 8 bytes, brings 2.
      {8, {0x0D, 0, 0, 0, 0, 8, 5, 6}, {5, 6, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}, {{0, 2}}},
      // No count: nothing is stored, nothing redrawn.
      {8, {0x0D, 0, 0, 0}, Bytes(8, 0xEE), {}},
  };
  for (const Case& c : cases) {
    link.session.Run(0, ChipCommand::ReadEeprom);
    link.session.Image().Assign(Bytes(c.imageSize, 0xEE));
    view.bytesChanged.clear();
    device.answer = Answering(OpReadEeprom, c.reply);
    link.Serve(device);
    EXPECT_EQ(link.session.Image().DataBuffer(), c.image) << ::testing::PrintToString(c.reply);
    EXPECT_EQ(view.bytesChanged, c.redrawn) << ::testing::PrintToString(c.reply);
  }
}

TEST_F(ReplyHandlerTest, AVerifyMismatchNamesTheAddressAndAbandonsTheOperation) {
  device.chips = {{.programMemorySize = 0x400}};
  SelectChip();
  link.session.Image().Assign(Bytes(0x400, 0));
  device.answer = [](const Bytes& command) -> std::optional<Bytes> {
    if (command[0] == OpVerifyProgramMemory && AddressOf(command) == 0x1C0)
      return Bytes{0x0B, 0xC0, 0x01, 0, 0, 224, 0};
    return std::nullopt;
  };
  Sent();
  Run(ChipCommand::VerifyProgramMemory);
  EXPECT_EQ(view.StatusText(), "Ошибка по адресу 1C0. Попробуйте программировать снова!");
  EXPECT_EQ(Opcodes(Sent()),
            (Bytes{OpSelectChip, OpVerifyProgramMemory, OpVerifyProgramMemory, OpVerifyProgramMemory}))
      << "the blocks after it and the end are dropped";
  EXPECT_FALSE(link.session.Busy());
  EXPECT_FALSE(view.queueWindowVisible);
  EXPECT_TRUE(view.warnings.empty());
}

TEST_F(ReplyHandlerTest, AVerifyMatchChangesNothingAndACutOneConfirmsNothing) {
  device.chips = {{.eepromSize = 0x400}};
  SelectChip();
  link.session.Image().Assign(Bytes(0x400, 0));
  Sent();
  Run(ChipCommand::VerifyEeprom);
  EXPECT_EQ(view.StatusText(), "Все верно.");
  EXPECT_EQ(Opcodes(Sent()), (Bytes{OpSelectChip, OpVerifyEeprom, OpVerifyEeprom, OpVerifyEeprom,
                                    OpVerifyEeprom, OpVerifyEeprom, OpEndOperation}));

  // A reply that ends before its verdict counts as a mismatch of the block asked for.
  device.answer = [](const Bytes& command) -> std::optional<Bytes> {
    if (command[0] == OpVerifyEeprom && AddressOf(command) == 0x380) return Bytes{0x0F};
    return std::nullopt;
  };
  Run(ChipCommand::VerifyEeprom);
  EXPECT_EQ(view.StatusText(), "Ошибка по адресу 380. Попробуйте программировать снова!");
  EXPECT_EQ(Opcodes(Sent()), (Bytes{OpSelectChip, OpVerifyEeprom, OpVerifyEeprom, OpVerifyEeprom,
                                    OpVerifyEeprom, OpVerifyEeprom}));
  EXPECT_FALSE(link.session.Busy());
}

TEST_F(ReplyHandlerTest, SizesUpTo16MiBAreStoredWhenTheReplyHoldsThem) {
  device.chips = {{.programMemorySize = 0x2000, .eepromSize = 0x200, .ramSize = 0x1000000}};
  SelectChip();
  EXPECT_EQ(link.session.Chip().ProgramMemorySize, 0x2000u);
  EXPECT_EQ(link.session.Chip().EepromSize, 0x200u);
  EXPECT_EQ(link.session.Chip().RamSize, 0x1000000u);
  device.answer = Answering(OpGetRamSize, {0xF1, 0x01, 0x02});
  SelectChip();
  EXPECT_EQ(link.session.Chip().RamSize, 0x1000000u);
  EXPECT_TRUE(view.statusHistory.empty());
}

TEST_F(ReplyHandlerTest, AnImpossibleSizeCountsAsNoMemoryAndIsReported) {
  device.chips = {{.programMemorySize = 0x2000, .eepromSize = 0x200, .ramSize = 0x400}};
  SelectChip();
  device.chips = {{.programMemorySize = 0x01000001, .eepromSize = 0xFFFFFFFF, .ramSize = 0x12345678}};
  SelectChip();
  EXPECT_EQ(link.session.Chip().ProgramMemorySize, 0u);
  EXPECT_EQ(link.session.Chip().EepromSize, 0u);
  EXPECT_EQ(link.session.Chip().RamSize, 0u);
  EXPECT_EQ(view.statusHistory, (std::vector<std::string>{
                                    "Программатор сообщил невозможный размер памяти программ: 16777217 байт",
                                    "Программатор сообщил невозможный размер EEPROM: 4294967295 байт",
                                    "Программатор сообщил невозможный размер ОЗУ: 305419896 байт"}));
}

TEST_F(ReplyHandlerTest, BitCountsRebuildTheBoxesAndAskForTheNames) {
  device.chips = {{.fuseBits = {"f0", "f1", "f2"}, .lockBits = {"LB1", "LB2"}}};
  device.answer = [](const Bytes& command) -> std::optional<Bytes> {
    if (command[0] != OpGetFuseBitName) return std::nullopt;
    switch (command[1]) {
      case 0:
        return Bytes{0xF6, 0};  // no text
      case 1:
        return Bytes{0xF6, 1, 4, 0xD1, 0xCF, 0xC8, 0xC5};  // "СПИЕ" in code page 1251
      default:
        return Bytes{0xF6, 2, 50, 'Z'};  // a name longer than the reply
    }
  };
  Sent();
  SelectChip();
  const std::vector<Bytes> sent = Sent();
  EXPECT_EQ(std::vector<Bytes>(sent.end() - 5, sent.end()),
            (std::vector<Bytes>{{0xF4, 0}, {0xF4, 1}, {0xF6, 0}, {0xF6, 1}, {0xF6, 2}}));
  const std::vector<std::string> fuses{"", "СПИЕ", "Z"};
  const std::vector<std::string> locks{"LB1", "LB2"};
  EXPECT_EQ(view.fuseDialog.Names(), fuses);
  EXPECT_EQ(view.lockDialog.Names(), locks);
  EXPECT_EQ(link.session.Chip().FuseBitNames, fuses);
  EXPECT_EQ(link.session.Chip().LockBitNames, locks);

  // A count of zero leaves a dialog without boxes and asks nothing.
  device.chips[0].fuseBits.clear();
  SelectChip();
  EXPECT_TRUE(view.fuseDialog.boxes.empty());
  EXPECT_TRUE(link.session.Chip().FuseBitNames.empty());
  EXPECT_EQ(Opcodes(Sent()).back(), OpGetLockBitName);

  // Two chips chosen in quick succession: the first one's names are asked for after the second
  // one's count has rebuilt the boxes, and the replies past its boxes are dropped.
  device.chips = {{.fuseBits = {"a", "b", "c", "d", "e"}}, {.fuseBits = {"x", "y"}}};
  device.answer = [](const Bytes& command) -> std::optional<Bytes> {
    if (command[0] == OpGetFuseBitName && command[1] >= 2) return Bytes{0xF6, command[1], 1, 'Q'};
    return std::nullopt;
  };
  link.session.SelectChip(0);
  link.session.SelectChip(1);
  link.Serve(device);
  const std::vector<Bytes> raced = Sent();
  EXPECT_EQ(
      std::vector<Bytes>(raced.end() - 7, raced.end()),
      (std::vector<Bytes>{{0xF6, 0}, {0xF6, 1}, {0xF6, 2}, {0xF6, 3}, {0xF6, 4}, {0xF6, 0}, {0xF6, 1}}));
  EXPECT_EQ(view.fuseDialog.Names(), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(link.session.Chip().FuseBitNames, (std::vector<std::string>{"x", "y"}));
}

TEST_F(ReplyHandlerTest, TheMaskFillsTheCommandListInCodeOrder) {
  device.chips = {{.commands = {ChipCommand::VerifyProgramMemory, ChipCommand::ReadSignature,
                                ChipCommand::WriteProgramMemory, ChipCommand::ReadFuseBits,
                                ChipCommand::ReadProgramMemory}}};
  SelectChip();
  EXPECT_EQ(view.commandRows,
            (std::vector<std::string>{"Читать сигнатуру", "Читать FUSE биты", "Читать память программ",
                                      "Записать память программ", "Сверить память программ"}));
  EXPECT_EQ(link.session.Chip().RowCommands,
            (std::vector<ChipCommand>{ChipCommand::ReadSignature, ChipCommand::ReadFuseBits,
                                      ChipCommand::ReadProgramMemory, ChipCommand::WriteProgramMemory,
                                      ChipCommand::VerifyProgramMemory}));

  // Bits 20 to 31 give empty rows; the list is rebuilt, not appended to.
  const std::vector<ChipCommand> unknown{static_cast<ChipCommand>(20), static_cast<ChipCommand>(31)};
  device.chips[0].commands = unknown;
  SelectChip();
  EXPECT_EQ(view.commandRows, (std::vector<std::string>{"", ""}));
  EXPECT_EQ(link.session.Chip().RowCommands, unknown);

  // A mask cut short leaves the list as it was.
  device.answer = Answering(OpGetCommandMask, {0xF8, 0xFF, 0xFF});
  SelectChip();
  EXPECT_EQ(view.commandRows.size(), 2u);
  EXPECT_EQ(link.session.Chip().RowCommands, unknown);
}

TEST_F(ReplyHandlerTest, TheProgrammerIntroducesItselfAndTheListsAreAskedFor) {
  // "Программатор" in code page 1251.
  device.answer = Answering(OpGetProgrammerName, {0xFE, 12, 0xCF, 0xF0, 0xEE, 0xE3, 0xF0, 0xE0, 0xEC, 0xEC,
                                                  0xE0, 0xF2, 0xEE, 0xF0});
  link.session.Start();
  link.Serve(device);
  EXPECT_EQ(view.caption, "Программатор");
  EXPECT_EQ(link.session.Programmer().Name, "Программатор");
  EXPECT_TRUE(link.session.Programmer().Introduced);
  EXPECT_EQ(Opcodes(Sent()),
            (Bytes{OpEndOperation, OpGetProgrammerName, OpGetInfoLineCount, OpGetChipCount}));

  device.answer = Answering(OpGetProgrammerName, {0xFE, 0});
  link.session.Rediscover();
  link.Serve(device);
  EXPECT_EQ(view.caption, "");
  EXPECT_TRUE(link.session.Programmer().Introduced);
  EXPECT_EQ(Opcodes(Sent()), (Bytes{OpGetProgrammerName, OpGetInfoLineCount, OpGetChipCount}));
}

// Two introductions in a row: the second count shrinks the lines before the lines of the first
// are asked for.
TEST_F(ReplyHandlerTest, InfoLinesAreRebuiltAndFilledByIndex) {
  device.infoLines = {"v0", "v1.", "v2"};
  device.answer = [](const Bytes& command) -> std::optional<Bytes> {
    if (command[0] != OpGetInfoLine || command[1] == 1) return std::nullopt;
    if (command[1] == 0) return Bytes{0xFC};  // no index
    return Bytes{0xFC, command[1], 1, '!'};
  };
  link.session.Start();
  link.session.Start();
  link.Serve(device, 5);  // up to the first count: three lines
  device.infoLines.pop_back();
  link.Serve(device);
  const std::vector<Bytes> sent = Sent();
  EXPECT_EQ(std::vector<Bytes>(sent.end() - 5, sent.end()),
            (std::vector<Bytes>{{0xFC, 0}, {0xFC, 1}, {0xFC, 2}, {0xFC, 0}, {0xFC, 1}}));
  EXPECT_EQ(view.infoLines, (std::vector<std::string>{NewInfoLineText, "v1."}));
  EXPECT_EQ(link.session.Programmer().InfoLines, (std::vector<std::string>{"", "v1."}));
}

TEST_F(ReplyHandlerTest, TheChipCountRefillsTheChipListUnlessItIsZero) {
  device.chips = {{.name = "old"}};
  link.session.Start();
  link.Serve(device);
  device.chips.clear();
  Sent();
  link.session.Start();
  link.Serve(device);
  EXPECT_EQ(view.chips, std::vector<std::string>{"old"});
  EXPECT_EQ(link.session.Programmer().Chips, std::vector<std::string>{"old"});
  EXPECT_EQ(Opcodes(Sent()).back(), OpGetChipCount) << "no name is asked for";

  // A name reply without its length still takes its row.
  device.chips = {{.name = "M0"}, {.name = "M1"}, {.name = "M2"}};
  device.answer = [](const Bytes& command) -> std::optional<Bytes> {
    if (command[0] == OpGetChipName && command[1] == 1) return Bytes{0xFA};
    return std::nullopt;
  };
  link.session.Start();
  link.Serve(device);
  const std::vector<std::string> chips{"M0", "", "M2"};
  EXPECT_EQ(view.chips, chips);
  EXPECT_EQ(link.session.Programmer().Chips, chips);
}

TEST_F(ReplyHandlerTest, ConfirmationsOnlyAdvanceTheQueue) {
  device.chips = {
      {.commands = {ChipCommand::EraseAll, ChipCommand::WriteProgramMemory}, .programMemorySize = 16}};
  SelectChip();
  link.session.Image().Assign(Bytes(16, 1));
  Sent();
  // Every command is confirmed with bytes behind its opcode.
  device.answer = [](const Bytes& command) -> std::optional<Bytes> { return Bytes{command[0], 0xDE, 0xAD}; };
  WriteOptions options;
  options.programMemory.erase = true;
  link.session.Run(0, ChipCommand::WriteProgramMemory, options);
  link.session.WriteFuseBits({true});
  link.session.WriteLockBits({true});
  const std::vector<std::string> shown = view.statusHistory;
  const int formats = view.formatGridCalls;
  link.Serve(device);
  EXPECT_FALSE(link.session.Busy());
  Bytes block{OpWriteProgramMemory, 0, 0, 0, 0, 16};
  block.insert(block.end(), 16, 1);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{OpSelectChip, 0},
                                        {OpEraseAll},
                                        block,
                                        {OpEndOperation},
                                        {OpWriteFuseBit, 0, 1},
                                        {OpWriteLockBit, 0}}))
      << "each goes out once";
  EXPECT_EQ(view.statusHistory, shown);
  EXPECT_EQ(view.formatGridCalls, formats);
  EXPECT_TRUE(view.bytesChanged.empty());
  EXPECT_TRUE(view.warnings.empty());
  EXPECT_EQ(link.session.Image().DataBuffer(), Bytes(16, 1));
}
