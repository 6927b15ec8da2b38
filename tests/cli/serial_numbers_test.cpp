#include "cli/SerialNumbers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/SerialCheck.h"

using namespace kestrel::cli;
using Bytes = std::vector<std::uint8_t>;

TEST(SerialNumbers, EncodingsAndTheirLimits) {
  struct Case {
    std::uint64_t number;
    int bytes;
    SerialFormat format;
    Bytes encoded;  // empty: does not fit
  };
  const std::vector<Case> cases{
      {0x12345678, 4, SerialFormat::Le, {0x78, 0x56, 0x34, 0x12}},
      {0x12345678, 4, SerialFormat::Be, {0x12, 0x34, 0x56, 0x78}},
      {0x0102, 3, SerialFormat::Le, {0x02, 0x01, 0x00}},
      {0x0102, 3, SerialFormat::Be, {0x00, 0x01, 0x02}},
      {255, 1, SerialFormat::Le, {0xFF}},
      {256, 1, SerialFormat::Be, {}},
      {UINT64_MAX, 8, SerialFormat::Le, Bytes(8, 0xFF)},
      {1234567, 4, SerialFormat::Bcd, {0x01, 0x23, 0x45, 0x67}},
      {9, 2, SerialFormat::Bcd, {0x00, 0x09}},
      {99, 1, SerialFormat::Bcd, {0x99}},
      {100, 1, SerialFormat::Bcd, {}},
      {9999999999999999, 8, SerialFormat::Bcd, Bytes(8, 0x99)},
      {10000000000000000, 8, SerialFormat::Bcd, {}},
      {42, 5, SerialFormat::Ascii, {'0', '0', '0', '4', '2'}},
      {0, 1, SerialFormat::Ascii, {'0'}},
      {99999999, 8, SerialFormat::Ascii, Bytes(8, '9')},
      {100000000, 8, SerialFormat::Ascii, {}},
  };
  for (const Case& each : cases) {
    const std::string misfit = SerialMisfit(each.number, each.bytes, each.format);
    EXPECT_EQ(misfit.empty(), !each.encoded.empty()) << each.number << " " << misfit;
    if (!each.encoded.empty()) {
      EXPECT_EQ(EncodeSerial(each.number, each.bytes, each.format), each.encoded);
    }
  }
  EXPECT_EQ(SerialMisfit(100, 1, SerialFormat::Bcd), "100 does not fit 1 byte of bcd (at most 99)");
  EXPECT_EQ(SerialMisfit(65536, 2, SerialFormat::Le), "65536 does not fit 2 bytes of le (at most 65535)");
}

TEST(SerialNumbers, PatchedIntoTheWritesAndVerifiesOfItsMemoryWithinTheChip) {
  Job job;
  job.serial.emplace();
  job.serial->memory = Memory::Eeprom;
  job.serial->address = 6;
  job.serial->bytes = 2;
  job.serial->format = SerialFormat::Be;
  job.actions = {
      Action(ActionKind::Write, Memory::Eeprom, "e.bin"), Action(ActionKind::Write, Memory::Flash, "f.bin"),
      Action(ActionKind::Verify, Memory::Eeprom, "long.bin"), Action(ActionKind::Erase, Memory::All)};
  const InputImages images{Bytes{1, 2, 3}, Bytes{4, 5, 6}, Bytes(10, 0x11), Bytes()};
  const InputImages patched = WithSerial(job, images, 0xABCD);
  EXPECT_EQ(patched[0], (Bytes{1, 2, 3, 0xFF, 0xFF, 0xFF, 0xAB, 0xCD}));  // grown as erased
  EXPECT_EQ(patched[1], images[1]);
  EXPECT_EQ(patched[2], (Bytes{0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0xAB, 0xCD, 0x11, 0x11}));
  EXPECT_EQ(patched[3], images[3]);

  // The field's last byte is the memory's last: it fits; one further does not.
  kestrel::ChipProperties chip;
  chip.ProgramMemorySize = 1024;
  chip.EepromSize = 8;
  EXPECT_FALSE(CheckSerialAgainstChip(job, chip));
  job.serial->address = 7;
  const auto refusal = CheckSerialAgainstChip(job, chip);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->status, ExitStatus::Usage);
  EXPECT_EQ(refusal->message, "--serial: 2 bytes at 0x0007 reach past the chip's 8 bytes of eeprom");
  chip.EepromSize = 0;
  job.serial->address = 0;
  EXPECT_TRUE(CheckSerialAgainstChip(job, chip));
}
