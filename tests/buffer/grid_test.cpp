#include "buffer/Grid.h"

#include <gtest/gtest.h>

#include "tests/buffer/ScratchFiles.h"
#include "tests/support/FakeView.h"

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

TEST(GridCommit, StoresTheLowByteSetsTheFlagAndMovesRight) {
  FakeLink t;
  t.session.DataBuffer.assign(17, 0xAA);
  const std::uint64_t rows = GridRowCount(17);  // 3: two data rows

  EXPECT_EQ(CommitCell(t.session, {1, 1}, "5", rows), (GridCell{1, 2}));
  EXPECT_EQ(t.session.DataBuffer[0], 0x05);
  EXPECT_TRUE(t.session.BufferModified);

  EXPECT_EQ(CommitCell(t.session, {1, 2}, "ff", rows), (GridCell{1, 3}));
  EXPECT_EQ(t.session.DataBuffer[1], 0xFF);
  EXPECT_EQ(CommitCell(t.session, {1, 3}, "", rows), (GridCell{1, 4}));
  EXPECT_EQ(t.session.DataBuffer[2], 0x00);

  // The column headed F wraps to the column headed 0 of the next row, and on the last row to
  // the same row.
  EXPECT_EQ(CommitCell(t.session, {1, 16}, "7", rows), (GridCell{2, 1}));
  EXPECT_EQ(t.session.DataBuffer[15], 0x07);
  EXPECT_EQ(CommitCell(t.session, {2, 16}, "1", rows), (GridCell{2, 1}));
  EXPECT_EQ(t.session.DataBuffer, Bytes({5, 0xFF, 0, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA,
                                         0xAA, 0xAA, 0xAA, 7, 0xAA}));
}

TEST(GridCommit, PastTheEndNothingIsWrittenAndTheFlagStays) {
  FakeLink t;
  t.session.DataBuffer.assign(5, 0x11);
  EXPECT_EQ(CommitCell(t.session, {1, 6}, "ff", GridRowCount(5)), (GridCell{1, 7}));
  EXPECT_EQ(t.session.DataBuffer, Bytes(5, 0x11));
  EXPECT_FALSE(t.session.BufferModified);

  // The single empty data row of an empty buffer.
  FakeLink empty;
  EXPECT_EQ(CommitCell(empty.session, {1, 1}, "12", GridRowCount(0)), (GridCell{1, 2}));
  EXPECT_TRUE(empty.session.DataBuffer.empty());
  EXPECT_FALSE(empty.session.BufferModified);
}

TEST(GridViewCache, ChangesAreSeenOnceAndInvalidationForcesARefresh) {
  ViewCache cache;
  EXPECT_TRUE(cache.Update(1, 20));
  EXPECT_FALSE(cache.Update(1, 20));
  EXPECT_TRUE(cache.Update(2, 20));
  EXPECT_TRUE(cache.Update(2, 21));
  cache.InvalidateTop();
  EXPECT_TRUE(cache.Update(2, 21));
  cache.Invalidate();
  EXPECT_TRUE(cache.Update(2, 21));
  EXPECT_FALSE(cache.Update(2, 21));
}
