#include "cli/Mismatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrel::cli;
using Bytes = std::vector<std::uint8_t>;

TEST(Mismatch, CountsRangesListsAndTellsWhatItLooksLike) {
  // 300 single bytes apart, each chip 7F against file FF: more than the listed 256.
  Bytes many(1000, 0xFF), manyChip = many;
  for (std::size_t at = 0; at < 600; at += 2) manyChip[at] = 0x7F;
  struct Case {
    const char* name;
    Bytes file, chip;
    std::size_t count;
    std::vector<AddressRange> ranges;
    std::size_t listed;
    MismatchLook look;
  };
  const std::vector<Case> cases{
      {"not erased",
       {0x0F, 0xFF, 0xFF, 0x12},
       {0x0F, 0x00, 0x35, 0x12},
       2,
       {{1, 2}},
       2,
       MismatchLook::NotErased},
      {"not written",
       {0x00, 0x12, 0x34},
       {0xFF, 0x12, 0xFF},
       2,
       {{0, 0}, {2, 2}},
       2,
       MismatchLook::NotWritten},
      {"mixed in one byte", {0x0F}, {0xF0}, 1, {{0, 0}}, 1, MismatchLook::Mixed},
      {"mixed over two", {0xFF, 0x00}, {0x00, 0xFF}, 2, {{0, 1}}, 2, MismatchLook::Mixed},
      {"a read cut short", {0x00, 0x11, 0x22}, {0x01}, 1, {{0, 0}}, 1, MismatchLook::NotWritten},
      {"the chip past the image", {0x00}, {0x00, 0x55}, 0, {}, 0, MismatchLook::Mixed},
      {"over 256", many, manyChip, 300, {}, 256, MismatchLook::NotErased},
  };
  for (const Case& each : cases) {
    const Mismatch mismatch = CompareWithChip(each.file, each.chip);
    EXPECT_EQ(mismatch.count, each.count) << each.name;
    if (mismatch.count < MaxListedBytes) {
      EXPECT_EQ(mismatch.ranges, each.ranges) << each.name;
    }
    EXPECT_EQ(mismatch.bytes.size(), each.listed) << each.name;
    EXPECT_EQ(mismatch.look, each.look) << each.name;
  }
  const Mismatch large = CompareWithChip(many, manyChip);
  EXPECT_EQ(large.ranges.size(), 300u);
  EXPECT_EQ(large.ranges.back(), (AddressRange{598, 598}));
  EXPECT_EQ(large.bytes.back(), (DifferingByte{510, 0x7F, 0xFF}));

  EXPECT_EQ(MismatchLines(CompareWithChip(Bytes{0x0F, 0xFF, 0xFF, 0x12}, Bytes{0x0F, 0x00, 0x35, 0x12})),
            (std::vector<std::string>{"2 bytes differ, in 0x0001-0x0002", "0x0001: chip 00, file FF",
                                      "0x0002: chip 35, file FF", "the chip looks not erased (use -e)"}));
  const std::vector<std::string> lines = MismatchLines(large);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0],
            "300 bytes differ, in 0x0000, 0x0002, 0x0004, 0x0006, 0x0008, 0x000A, 0x000C, 0x000E and 292 "
            "more ranges");
  EXPECT_EQ(lines[8], "0x000E: chip 7F, file FF");
}
