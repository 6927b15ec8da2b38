#include "operations/ChipSelection.h"

#include <gtest/gtest.h>

#include "link/Commands.h"
#include "operations/Connection.h"
#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

// A device with three chips; the second has two lock bits and five fuse bits.
Bytes Device(const Bytes& command) {
  switch (command[0]) {
    case OpGetProgrammerName:
      return {0xFE, 2, 'P', '1'};
    case OpGetInfoLineCount:
      return {0xFD, 1};
    case OpGetInfoLine:
      return {0xFC, command[1], 2, 'v', '2'};
    case OpGetChipCount:
      return {0xFB, 3};
    case OpGetChipName:
      return {0xFA, 2, 'C', static_cast<std::uint8_t>('0' + command[1])};
    case OpGetCommandMask:
      return {0xF8, 0x01, 0x02, 0x00, 0x00};
    case OpGetLockBitCount:
      return {0xF5, 2};
    case OpGetFuseBitCount:
      return {0xF7, 5};
    case OpGetLockBitName:
    case OpGetFuseBitName:
      return {command[0], command[1], 1, static_cast<std::uint8_t>('a' + command[1])};
    case OpGetProgramMemorySize:
      return {0xF3, 0x00, 0x40, 0x00, 0x00};
    case OpGetEepromSize:
      return {0xF2, 0x00, 0x02, 0x00, 0x00};
    case OpGetRamSize:
      return {0xF1, 0x00, 0x04, 0x00, 0x00};
    default:
      return {command[0]};
  }
}

}  // namespace

TEST(ChipSelection, StartUpAsksInOrderAndFillsTheChipList) {
  FakeLink link;
  FormShow(link.session);
  link.Serve(Device);
  EXPECT_EQ(link.written.Opcodes(),
            (Bytes{OpEndOperation, OpGetProgrammerName, OpGetInfoLineCount, OpGetChipCount, OpGetInfoLine,
                   OpGetChipName, OpGetChipName, OpGetChipName}));
  EXPECT_EQ(link.view.caption, "P1");
  EXPECT_EQ(link.view.infoLines, std::vector<std::string>{"v2"});
  EXPECT_EQ(link.view.chips, (std::vector<std::string>{"C0", "C1", "C2"}));
  EXPECT_FALSE(link.view.queueWindowVisible);
}

TEST(ChipSelection, ChoosingAChipAsksForItsPropertiesAndTheRepliesApplyThem) {
  FakeLink link;
  link.view.chips = {"C0", "C1", "C2"};
  ListBox1Click(link.session, 1);
  link.Serve(Device);

  const auto payloads = link.written.Payloads();
  ASSERT_EQ(payloads.size(), 14u);
  EXPECT_EQ(payloads[0], (Bytes{OpSelectChip, 1}));
  EXPECT_EQ(
      link.written.Opcodes(),
      (Bytes{OpSelectChip, OpGetCommandMask, OpGetLockBitCount, OpGetFuseBitCount, OpGetProgramMemorySize,
             OpGetEepromSize, OpGetRamSize, OpGetLockBitName, OpGetLockBitName, OpGetFuseBitName,
             OpGetFuseBitName, OpGetFuseBitName, OpGetFuseBitName, OpGetFuseBitName}));
  EXPECT_EQ(payloads[8], (Bytes{OpGetLockBitName, 1}));
  EXPECT_EQ(payloads[13], (Bytes{OpGetFuseBitName, 4}));

  EXPECT_EQ(link.view.commandRows, (std::vector<std::string>{"Читать сигнатуру", "Читать память программ"}));
  EXPECT_EQ(link.view.lockDialog.Names(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(link.view.fuseDialog.Names(), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(link.session.Chip.ProgramMemorySize, 0x4000u);
  EXPECT_EQ(link.session.Chip.EepromSize, 0x200u);
  EXPECT_EQ(link.session.Chip.RamSize, 0x400u);
}

TEST(ChipSelection, WithNoRowSelectedChip255IsAskedFor) {
  FakeLink link;
  ListBox1Click(link.session, -1);
  ASSERT_EQ(link.session.queue.Size(), 7u);
  const QueuedCommand& head = link.session.queue.Entries().front();
  EXPECT_EQ(Bytes(head.Data.get(), head.Data.get() + head.Length), (Bytes{OpSelectChip, 0xFF}));
}
