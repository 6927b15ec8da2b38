#include "buffer/Grid.h"
#include "buffer/HexDigits.h"

#include <gtest/gtest.h>

using namespace kestrel;

TEST(GridTexts, HexadecimalIsUpperCaseWithoutPrefixOrPadding) {
  EXPECT_EQ(HexText(0), "0");
  EXPECT_EQ(HexText(0xF), "F");
  EXPECT_EQ(HexText(0x10), "10");
  EXPECT_EQ(HexText(0x100), "100");
  EXPECT_EQ(HexText(0x7FFF), "7FFF");
  EXPECT_EQ(HexText(0xFFFFFFFFu), "FFFFFFFF");
  EXPECT_EQ(ByteToHex(0x00), "00");
  EXPECT_EQ(ByteToHex(0x05), "05");
  EXPECT_EQ(ByteToHex(0xAB), "AB");
  EXPECT_EQ(ByteToHex(0xFF), "FF");
}

TEST(GridTexts, CellTextReadsAsHexInEitherCase) {
  EXPECT_EQ(HexTextToInt(""), 0u);
  EXPECT_EQ(HexTextToInt("5"), 5u);
  EXPECT_EQ(HexTextToInt("ff"), 0xFFu);
  EXPECT_EQ(HexTextToInt("Fa"), 0xFAu);
  EXPECT_EQ(HexTextToInt("1F"), 0x1Fu);
  // Pasted letters beyond F count as the digit 0, keeping their place.
  EXPECT_EQ(HexTextToInt("zz"), 0u);
  EXPECT_EQ(HexTextToInt("G1"), 0x01u);
  EXPECT_EQ(HexTextToInt("1G"), 0x10u);
}

TEST(GridRows, RowCountRule) {
  EXPECT_EQ(GridRowCount(0), 2u);
  EXPECT_EQ(GridRowCount(1), 3u);
  EXPECT_EQ(GridRowCount(5), 3u);
  EXPECT_EQ(GridRowCount(15), 3u);
  EXPECT_EQ(GridRowCount(16), 2u);
  EXPECT_EQ(GridRowCount(17), 3u);
  EXPECT_EQ(GridRowCount(32), 3u);
  EXPECT_EQ(GridRowCount(33), 4u);
  EXPECT_EQ(GridRowCount(524287), 32769u);
  EXPECT_EQ(CellByteIndex(1, 1), 0u);
  EXPECT_EQ(CellByteIndex(1, 16), 15u);
  EXPECT_EQ(CellByteIndex(2, 1), 16u);
  EXPECT_EQ(CellByteIndex(257, 1), 4096u);
}

TEST(GridKeys, OnlyHexadecimalDigitsPass) {
  for (char32_t c : std::u32string_view(U"0123456789ABCDEFabcdef"))
    EXPECT_TRUE(PassesKeyFilter(c)) << static_cast<int>(c);
  for (char32_t c : std::u32string_view(U"GgzZ -.,;:\r\n\x1b/@[`{\u0444\u0410"))
    EXPECT_FALSE(PassesKeyFilter(c)) << static_cast<int>(c);
}
