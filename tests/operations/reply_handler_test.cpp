#include "operations/ReplyHandler.h"

#include <gtest/gtest.h>

#include <functional>

#include "link/CommandQueue.h"
#include "link/Commands.h"
#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

// Queues `request`, lets the device ask for it and answers with `reply`.
void Exchange(FakeLink& link, const std::function<void(Session&)>& request, const Bytes& reply) {
  request(link.session);
  while (link.session.queue.Size() > 1) {
    // Earlier entries are not what the test is about.
    link.session.queue.DequeueCommand();
  }
  link.Poll();
  link.Reply(reply);
}

// The same for a command that needs no more than the queue.
void Exchange(FakeLink& link, void (*request)(CommandQueue&), const Bytes& reply) {
  Exchange(
      link, [request](Session& s) { request(s.queue); }, reply);
}

// The opcodes waiting in the queue, head first.
Bytes QueuedOpcodes(const Session& s) {
  Bytes opcodes;
  for (const QueuedCommand& c : s.queue.Entries()) opcodes.push_back(c.Data[0]);
  return opcodes;
}

std::vector<Bytes> QueuedPayloads(const Session& s) {
  std::vector<Bytes> payloads;
  for (const QueuedCommand& c : s.queue.Entries())
    payloads.emplace_back(c.Data.get(), c.Data.get() + c.Length);
  return payloads;
}

}  // namespace

TEST(ReplyHandler, SignatureTextShowsTheBytesAndTheDevicesVerdict) {
  FakeLink link;
  Exchange(link, ReadSignature, {0x00, 3, 0x1E, 0x95, 0x0F, 1});
  EXPECT_EQ(link.view.StatusText(), "Сигнатура: 1E 95 F верна");
  Exchange(link, ReadSignature, {0x00, 3, 0x1E, 0x95, 0x0F, 0});
  EXPECT_EQ(link.view.StatusText(), "Сигнатура: 1E 95 F не верна!");
  Exchange(link, ReadSignature, {0x00, 0, 0x02});
  EXPECT_EQ(link.view.StatusText(), "Сигнатура: верна");
  // Cut before the verdict: the bytes that came, and no verdict.
  Exchange(link, ReadSignature, {0x00, 3, 0xAB, 0x00});
  EXPECT_EQ(link.view.StatusText(), "Сигнатура: AB 0");
  const auto shown = link.view.statusHistory.size();
  Exchange(link, ReadSignature, {0x00});
  EXPECT_EQ(link.view.statusHistory.size(), shown);
}

TEST(ReplyHandler, BitStatesTickTheBoxesOfTheirDialog) {
  FakeLink link;
  link.view.fuseDialog.CreateBitBoxes(3);
  link.view.lockDialog.CreateBitBoxes(2);
  Exchange(link, ReadFuseBits, {0x03, 3, 0x00, 0x01, 0xFF});
  EXPECT_EQ(link.view.fuseDialog.States(), (std::vector<bool>{false, true, true}));
  EXPECT_EQ(link.view.lockDialog.States(), (std::vector<bool>{false, false}));
  // More states than boxes, and a count the reply does not hold.
  Exchange(link, ReadLockBits, {0x05, 9, 0x01, 0x01, 0x01});
  EXPECT_EQ(link.view.lockDialog.States(), (std::vector<bool>{true, true}));
}

TEST(ReplyHandler, ReadBlocksLandInTheBufferAtTheirAddress) {
  FakeLink link;
  link.session.image.Assign(Bytes(0x400, 0xEE));
  link.view.formatGridCalls = 0;
  Bytes reply{0x09, 0xC0, 0x01, 0x00, 0x00, 224};
  for (int i = 0; i < 224; ++i) reply.push_back(static_cast<std::uint8_t>(i));
  Exchange(
      link, [](Session& s) { ReadProgramMemory(s.queue, 0x1C0, 224); }, reply);
  const Bytes& buffer = link.session.image.DataBuffer();
  EXPECT_EQ(buffer[0x1BF], 0xEE);
  for (int i = 0; i < 224; ++i) ASSERT_EQ(buffer[0x1C0 + i], i);
  EXPECT_EQ(buffer[0x2A0], 0xEE);
  // Only the block's bytes are redrawn; the image's length is unchanged.
  EXPECT_EQ(link.view.formatGridCalls, 0);
  EXPECT_EQ(link.view.bytesChanged, (std::vector<std::pair<std::size_t, std::size_t>>{{0x1C0, 224}}));
  EXPECT_FALSE(link.session.image.BufferModified());

  Exchange(link, [](Session& s) { ReadEeprom(s.queue, 0, 2); }, {0x0D, 0, 0, 0, 0, 2, 0x12, 0x34});
  EXPECT_EQ(buffer[0], 0x12);
  EXPECT_EQ(buffer[1], 0x34);
}

TEST(ReplyHandler, ReadBlocksOutsideTheBufferOrCutShortKeepToWhatIsThere) {
  FakeLink link;
  link.session.image.Assign(Bytes(8, 0xEE));
  // Runs past the end: the bytes inside are stored.
  Exchange(link, [](Session& s) { ReadEeprom(s.queue, 6, 4); }, {0x0D, 6, 0, 0, 0, 4, 1, 2, 3, 4});
  EXPECT_EQ(link.session.image.DataBuffer(), (Bytes{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 1, 2}));
  EXPECT_EQ(link.view.bytesChanged.back(), (std::pair<std::size_t, std::size_t>{6, 2}));
  // Starts past the end, or at an address that wraps: nothing.
  Exchange(link, [](Session& s) { ReadEeprom(s.queue, 8, 1); }, {0x0D, 8, 0, 0, 0, 1, 9});
  Exchange(link, [](Session& s) { ReadEeprom(s.queue, 0, 1); },
           {0x0D, 0xFF, 0xFF, 0xFF, 0xFF, 4, 9, 9, 9, 9});
  // Says 200 bytes, brings 2.
  Exchange(link, [](Session& s) { ReadEeprom(s.queue, 0, 200); }, {0x0D, 0, 0, 0, 0, 200, 5, 6});
  EXPECT_EQ(link.session.image.DataBuffer(), (Bytes{5, 6, 0xEE, 0xEE, 0xEE, 0xEE, 1, 2}));
  // No count: nothing is stored, nothing redrawn.
  const std::size_t redraws = link.view.bytesChanged.size();
  Exchange(link, [](Session& s) { ReadEeprom(s.queue, 0, 1); }, {0x0D, 0, 0, 0});
  EXPECT_EQ(link.view.bytesChanged.size(), redraws);
  EXPECT_EQ(link.session.image.DataBuffer().size(), 8u);
}

TEST(ReplyHandler, AVerifyMismatchNamesTheAddressAndAbandonsTheOperation) {
  FakeLink link;
  link.session.image.Assign(Bytes(0x400, 0));
  VerifyProgramMemory(link.session.queue, 0x1A0, 16, link.session.image.DataBuffer());
  VerifyProgramMemory(link.session.queue, 0x1B0, 16, link.session.image.DataBuffer());
  EndOperation(link.session.queue);
  link.Poll();
  link.Reply({0x0B, 0xA0, 0x01, 0, 0, 16, 0});
  EXPECT_EQ(link.view.StatusText(), "Ошибка по адресу 1A0. Попробуйте программировать снова!");
  EXPECT_TRUE(link.session.queue.Empty());
  EXPECT_FALSE(link.view.queueWindowVisible);
  EXPECT_TRUE(link.view.warnings.empty());
}

TEST(ReplyHandler, AVerifyMatchChangesNothingAndACutOneConfirmsNothing) {
  FakeLink link;
  link.session.image.Assign(Bytes(0x400, 0));
  link.view.SetStatusText("Все верно.");
  VerifyEeprom(link.session.queue, 0x10, 16, link.session.image.DataBuffer());
  EndOperation(link.session.queue);
  link.Poll();
  link.Reply({0x0F, 0x10, 0, 0, 0, 16, 1});
  EXPECT_EQ(link.view.StatusText(), "Все верно.");
  EXPECT_EQ(QueuedOpcodes(link.session), Bytes{OpEndOperation});

  // A reply that ends before its verdict counts as a mismatch of the block asked for.
  link.session.queue.ClearCommandQueue();
  VerifyEeprom(link.session.queue, 0x3F0, 16, link.session.image.DataBuffer());
  EndOperation(link.session.queue);
  link.Poll();
  link.Reply({0x0F});
  EXPECT_EQ(link.view.StatusText(), "Ошибка по адресу 3F0. Попробуйте программировать снова!");
  EXPECT_TRUE(link.session.queue.Empty());
}

TEST(ReplyHandler, SizesUpTo16MiBAreStoredWhenTheReplyHoldsThem) {
  FakeLink link;
  Exchange(link, GetProgramMemorySize, {0xF3, 0x00, 0x20, 0x00, 0x00});
  Exchange(link, GetEepromSize, {0xF2, 0x00, 0x02, 0x00, 0x00});
  Exchange(link, GetRamSize, {0xF1, 0x00, 0x00, 0x00, 0x01});
  EXPECT_EQ(link.session.Chip.ProgramMemorySize, 0x2000u);
  EXPECT_EQ(link.session.Chip.EepromSize, 0x200u);
  EXPECT_EQ(link.session.Chip.RamSize, 0x1000000u);
  Exchange(link, GetRamSize, {0xF1, 0x01, 0x02});
  EXPECT_EQ(link.session.Chip.RamSize, 0x1000000u);
  EXPECT_TRUE(link.view.statusHistory.empty());
}

TEST(ReplyHandler, AnImpossibleSizeCountsAsNoMemoryAndIsReported) {
  FakeLink link;
  Exchange(link, GetProgramMemorySize, {0xF3, 0x00, 0x20, 0x00, 0x00});
  Exchange(link, GetProgramMemorySize, {0xF3, 0x01, 0x00, 0x00, 0x01});
  EXPECT_EQ(link.session.Chip.ProgramMemorySize, 0u);
  EXPECT_EQ(link.view.StatusText(), "Программатор сообщил невозможный размер памяти программ: 16777217 байт");
  Exchange(link, GetEepromSize, {0xF2, 0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(link.session.Chip.EepromSize, 0u);
  EXPECT_EQ(link.view.StatusText(), "Программатор сообщил невозможный размер EEPROM: 4294967295 байт");
  Exchange(link, GetRamSize, {0xF1, 0x78, 0x56, 0x34, 0x12});
  EXPECT_EQ(link.session.Chip.RamSize, 0u);
  EXPECT_EQ(link.view.StatusText(), "Программатор сообщил невозможный размер ОЗУ: 305419896 байт");
}

TEST(ReplyHandler, BitCountsRebuildTheBoxesAndAskForTheNames) {
  FakeLink link;
  Exchange(link, GetLockBitCount, {0xF5, 2});
  EXPECT_EQ(link.view.lockDialog.boxes.size(), 2u);
  EXPECT_EQ(QueuedPayloads(link.session), (std::vector<Bytes>{{0xF4, 0}, {0xF4, 1}}));
  link.session.queue.ClearCommandQueue();

  Exchange(link, GetFuseBitCount, {0xF7, 3});
  EXPECT_EQ(link.view.fuseDialog.boxes.size(), 3u);
  EXPECT_EQ(QueuedPayloads(link.session), (std::vector<Bytes>{{0xF6, 0}, {0xF6, 1}, {0xF6, 2}}));
  Exchange(link, [](Session& s) { GetFuseBitName(s.queue, 1); }, {0xF6, 1, 4, 0xD1, 0xCF, 0xC8, 0xC5});
  Exchange(link, [](Session& s) { GetLockBitName(s.queue, 0); }, {0xF4, 0, 3, 'L', 'B', '1'});
  // Past the boxes, and a name longer than the reply.
  Exchange(link, [](Session& s) { GetFuseBitName(s.queue, 7); }, {0xF6, 7, 2, 'X', 'Y'});
  Exchange(link, [](Session& s) { GetFuseBitName(s.queue, 2); }, {0xF6, 2, 50, 'Z'});
  EXPECT_EQ(link.view.fuseDialog.Names(), (std::vector<std::string>{"", "СПИЕ", "Z"}));
  EXPECT_EQ(link.view.lockDialog.Names(), (std::vector<std::string>{"LB1", ""}));

  // A count of zero leaves a dialog without boxes and asks nothing.
  link.session.queue.ClearCommandQueue();
  Exchange(link, GetFuseBitCount, {0xF7, 0});
  EXPECT_TRUE(link.view.fuseDialog.boxes.empty());
  EXPECT_TRUE(link.session.queue.Empty());
}

TEST(ReplyHandler, TheMaskFillsTheCommandListInCodeOrder) {
  FakeLink link;
  link.session.RowCommands.fill(0x77);
  Exchange(link, GetCommandMask, {0xF8, 0x09, 0x0E, 0x00, 0x00});
  EXPECT_EQ(link.view.commandRows,
            (std::vector<std::string>{"Читать сигнатуру", "Читать FUSE биты", "Читать память программ",
                                      "Записать память программ", "Сверить память программ"}));
  EXPECT_EQ(Bytes(link.session.RowCommands.begin(), link.session.RowCommands.begin() + 6),
            (Bytes{0, 3, 9, 10, 11, 0x77}));

  // Bits 20 to 31 give empty rows; the list is rebuilt, not appended to.
  FillCommandList(link.session, 0x80100000u);
  EXPECT_EQ(link.view.commandRows, (std::vector<std::string>{"", ""}));
  EXPECT_EQ(link.session.RowCommands[0], 20);
  EXPECT_EQ(link.session.RowCommands[1], 31);

  // A mask cut short leaves the list as it was.
  Exchange(link, GetCommandMask, {0xF8, 0xFF, 0xFF});
  EXPECT_EQ(link.view.commandRows.size(), 2u);
}

TEST(ReplyHandler, TheProgrammerIntroducesItselfAndTheListsAreAskedFor) {
  FakeLink link;
  link.view.caption = "Программатор не подключен";
  // "Программатор" in code page 1251.
  Exchange(link, GetProgrammerName,
           {0xFE, 12, 0xCF, 0xF0, 0xEE, 0xE3, 0xF0, 0xE0, 0xEC, 0xEC, 0xE0, 0xF2, 0xEE, 0xF0});
  EXPECT_EQ(link.view.caption, "Программатор");
  EXPECT_EQ(QueuedOpcodes(link.session), (Bytes{OpGetInfoLineCount, OpGetChipCount}));

  link.session.queue.ClearCommandQueue();
  Exchange(link, GetProgrammerName, {0xFE, 0});
  EXPECT_EQ(link.view.caption, "");
  EXPECT_EQ(QueuedOpcodes(link.session), (Bytes{OpGetInfoLineCount, OpGetChipCount}));
}

TEST(ReplyHandler, InfoLinesAreRebuiltAndFilledByIndex) {
  FakeLink link;
  Exchange(link, GetInfoLineCount, {0xFD, 2});
  EXPECT_EQ(link.view.infoLines, (std::vector<std::string>{NewInfoLineText, NewInfoLineText}));
  EXPECT_EQ(QueuedPayloads(link.session), (std::vector<Bytes>{{0xFC, 0}, {0xFC, 1}}));
  Exchange(link, [](Session& s) { GetInfoLine(s.queue, 1); }, {0xFC, 1, 3, 'v', '1', '.'});
  Exchange(link, [](Session& s) { GetInfoLine(s.queue, 2); }, {0xFC, 2, 1, '!'});
  Exchange(link, [](Session& s) { GetInfoLine(s.queue, 0); }, {0xFC});
  EXPECT_EQ(link.view.infoLines, (std::vector<std::string>{NewInfoLineText, "v1."}));
}

TEST(ReplyHandler, TheChipCountRefillsTheChipListUnlessItIsZero) {
  FakeLink link;
  link.view.chips = {"old"};
  Exchange(link, GetChipCount, {0xFB, 0});
  EXPECT_EQ(link.view.chips, std::vector<std::string>{"old"});
  EXPECT_TRUE(link.session.queue.Empty());

  Exchange(link, GetChipCount, {0xFB, 3});
  EXPECT_TRUE(link.view.chips.empty());
  EXPECT_EQ(QueuedPayloads(link.session), (std::vector<Bytes>{{0xFA, 0}, {0xFA, 1}, {0xFA, 2}}));
  link.Serve([](const Bytes& command) {
    return Bytes{0xFA, 2, 'M', static_cast<std::uint8_t>('0' + command[1])};
  });
  EXPECT_EQ(link.view.chips, (std::vector<std::string>{"M0", "M1", "M2"}));

  // A name reply without its length still takes its row.
  Exchange(link, [](Session& s) { GetChipName(s.queue, 3); }, {0xFA});
  EXPECT_EQ(link.view.chips.size(), 4u);
  EXPECT_EQ(link.view.chips.back(), "");
}

TEST(ReplyHandler, ConfirmationsAndUnknownCodesOnlyAdvanceTheQueue) {
  FakeLink link;
  link.session.image.Assign(Bytes(16, 1));
  link.view.formatGridCalls = 0;
  link.session.queue.SendAttempts = 5;
  Exchange(link, [](Session& s) { WriteProgramMemory(s.queue, 0, 16, s.image.DataBuffer()); },
           {0x0A, 0xDE, 0xAD});
  EXPECT_EQ(link.session.queue.SendAttempts, 0);
  EXPECT_TRUE(link.session.queue.Empty());
  Exchange(link, [](Session& s) { s.queue.EnqueueCommand(Bytes{0x13}.data(), 1); },
           {0x13, 0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_TRUE(link.session.queue.Empty());
  EXPECT_TRUE(link.view.statusHistory.empty());
  EXPECT_EQ(link.view.formatGridCalls, 0);
  EXPECT_TRUE(link.view.bytesChanged.empty());
  EXPECT_EQ(link.session.image.DataBuffer(), Bytes(16, 1));
}
