// The start of the exchange and the choice of a chip, driven through the session's interface
// against a scripted device.

#include <gtest/gtest.h>

#include "link/CommandCatalogue.h"
#include "operations/Session.h"
#include "tests/support/FakeLink.h"

using namespace kestrel;

namespace {

// A device with three chips; the second has two lock bits and five fuse bits.
ScriptedDevice Device() {
  ScriptedDevice device;
  device.name = "P1";
  device.infoLines = {"v2"};
  device.chips = {{.name = "C0"},
                  {.name = "C1",
                   .commands = {ChipCommand::ReadSignature, ChipCommand::ReadProgramMemory},
                   .fuseBits = {"a", "b", "c", "d", "e"},
                   .lockBits = {"a", "b"},
                   .programMemorySize = 0x4000,
                   .eepromSize = 0x200,
                   .ramSize = 0x400},
                  {.name = "C2"}};
  return device;
}

}  // namespace

TEST(ChipSelection, StartUpAsksInOrderAndFillsTheChipList) {
  FakeLink link;
  link.session.Start();
  link.Serve(Device());
  EXPECT_EQ(link.written.Opcodes(),
            (Bytes{OpEndOperation, OpGetProgrammerName, OpGetInfoLineCount, OpGetChipCount, OpGetInfoLine,
                   OpGetChipName, OpGetChipName, OpGetChipName}));
  EXPECT_EQ(link.view.caption, "P1");
  EXPECT_EQ(link.view.infoLines, std::vector<std::string>{"v2"});
  EXPECT_EQ(link.view.chips, (std::vector<std::string>{"C0", "C1", "C2"}));
  EXPECT_FALSE(link.view.queueWindowVisible);

  const ProgrammerInfo& programmer = link.session.Programmer();
  EXPECT_TRUE(programmer.Introduced);
  EXPECT_EQ(programmer.Name, "P1");
  EXPECT_EQ(programmer.InfoLines, std::vector<std::string>{"v2"});
  EXPECT_EQ(programmer.Chips, link.view.chips);
}

TEST(ChipSelection, ChoosingAChipAsksForItsPropertiesAndTheRepliesApplyThem) {
  FakeLink link;
  link.session.Start();
  link.Serve(Device());
  link.written.frames.clear();
  link.session.SelectChip(1);
  link.Serve(Device());

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

  const ChipProperties& chip = link.session.Chip();
  EXPECT_EQ(chip.Number, 1);
  EXPECT_EQ(chip.Name, "C1");
  EXPECT_EQ(chip.RowCommands,
            (std::vector<ChipCommand>{ChipCommand::ReadSignature, ChipCommand::ReadProgramMemory}));
  EXPECT_EQ(chip.LockBitNames, link.view.lockDialog.Names());
  EXPECT_EQ(chip.FuseBitNames, link.view.fuseDialog.Names());
  EXPECT_EQ(chip.ProgramMemorySize, 0x4000u);
  EXPECT_EQ(chip.EepromSize, 0x200u);
  EXPECT_EQ(chip.RamSize, 0x400u);
}

TEST(ChipSelection, WithNoRowSelectedChip255IsAskedFor) {
  FakeLink link;
  link.session.SelectChip(-1);
  EXPECT_EQ(link.view.queueMaximum, 7);
  link.Poll();
  ASSERT_EQ(link.written.frames.size(), 1u);
  EXPECT_EQ(link.written.Payloads()[0], (Bytes{OpSelectChip, 0xFF}));
  EXPECT_EQ(link.session.Chip().Number, -1);
  EXPECT_EQ(link.session.Chip().Name, "");
}
