#include "cli/ChipCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/CommandCatalogue.h"

using namespace kestrel;
using namespace kestrel::cli;

TEST(ChipCheck, ChipsAreChosenByNumberOrByNameInAnyCase) {
  const std::vector<std::string> chips{"AT90S2313", "ATmega8", "ATmega328P"};
  EXPECT_EQ(std::get<int>(ChooseChip(chips, "atmega328p")), 2);
  EXPECT_EQ(std::get<int>(ChooseChip(chips, "1")), 1);
  EXPECT_EQ(std::get<std::string>(ChooseChip(chips, "3")),
            "no chip 3 in the list: 0 AT90S2313, 1 ATmega8, 2 ATmega328P");
  EXPECT_EQ(std::get<std::string>(ChooseChip(chips, "ATmega")),
            "no chip ATmega in the list: 0 AT90S2313, 1 ATmega8, 2 ATmega328P");
  EXPECT_EQ(std::get<std::string>(ChooseChip({}, "0")), "the programmer lists no chips");
}

TEST(ChipCheck, RefusesBeforeAnythingIsSent) {
  // A chip that can write and read flash but neither erase nor verify it.
  ChipProperties chip;
  chip.RowCommands = {ChipCommand::ReadFuseBits, ChipCommand::WriteFuseBits, ChipCommand::ReadProgramMemory,
                      ChipCommand::WriteProgramMemory, ChipCommand::VerifyEeprom};
  chip.ProgramMemorySize = 1024;
  chip.EepromSize = 64;
  chip.FuseBitNames = {"F0", "F1", "F2"};
  chip.LockBitNames = {"L0", "L1"};
  Job job;
  job.actions = {Action{ActionKind::Read, Memory::Flash, "out.bin"},
                 Action{ActionKind::Write, Memory::Flash, "fw.bin"}};
  const InputImages images{{}, Image(1024, 0xAB)};
  EXPECT_FALSE(CheckJobAgainstChip(job, images, chip));

  job.erase = true;  // -e needs EraseAll
  auto refusal = CheckJobAgainstChip(job, images, chip);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->status, ExitStatus::Usage);
  EXPECT_EQ(refusal->message, "write flash: the chip does not offer erase all");

  job.erase = false;
  job.actions.push_back(Action{ActionKind::Fuses, Memory::Flash, "", "01"});
  refusal = CheckJobAgainstChip(job, images, chip);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->status, ExitStatus::Usage);
  EXPECT_EQ(refusal->message, "fuses: the chip has 3 bits, BITS gives 2");

  // An image past the memory's size is refused, not clipped.
  job.actions = {Action{ActionKind::Verify, Memory::Eeprom, "ee.hex"}};
  refusal = CheckJobAgainstChip(job, {Image(65, 0)}, chip);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->status, ExitStatus::File);
  EXPECT_EQ(refusal->message, "verify eeprom: ee.hex holds 65 bytes, more than the 64 of the memory");
  EXPECT_FALSE(CheckJobAgainstChip(job, {Image(64, 0)}, chip));
}
