#include "link/Frame.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestrel;
using Bytes = std::vector<std::uint8_t>;

TEST(Frame, ComposesTheDocumentedByteSequences) {
  EXPECT_EQ(ComposeFrame(Bytes{0xFF}), (Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x01, 0x8B, 0xFF, 0xFF}));
  EXPECT_EQ(ComposeFrame(Bytes{0xF9, 0x02}), (Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x02, 0x8C, 0xF9, 0x02, 0xFB}));
  EXPECT_EQ(ComposeFrame(Bytes{0x09, 0x00, 0x01, 0x00, 0x00, 0xE0}),
            (Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x06, 0x90, 0x09, 0x00, 0x01, 0x00, 0x00, 0xE0, 0xEA}));
  // An opcode of zero is valid and sums to zero.
  EXPECT_EQ(ComposeFrame(Bytes{0x00}), (Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x01, 0x8B, 0x00, 0x00}));
  const auto poll = PollFrame();
  EXPECT_EQ(Bytes(poll.begin(), poll.end()), (Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x00, 0x8A}));
}

TEST(Frame, SumsWrapAndTheLargestFramesFit) {
  Bytes block(230, 0xAB);
  block[0] = 0x0A;
  const Bytes frame = ComposeFrame(block);
  ASSERT_EQ(frame.size(), 237u);
  EXPECT_EQ(frame[5], static_cast<std::uint8_t>(0x8A + 230));
  EXPECT_EQ(frame.back(), static_cast<std::uint8_t>(0x0A + 229 * 0xAB));
  EXPECT_TRUE(HeaderValid(frame.data()));
  EXPECT_TRUE(PayloadValid(frame.data()));

  const Bytes largest = ComposeFrame(Bytes(MaxPayloadSize, 0xFF));
  EXPECT_EQ(largest.size(), MaxFrameSize);
  EXPECT_EQ(largest[5], static_cast<std::uint8_t>(0x8A + 0xFF));
}

TEST(Frame, ChecksRejectAnyCorruptedByte) {
  const Bytes good = ComposeFrame(Bytes{0xFE, 0x01, 0x02});
  ASSERT_TRUE(IsMarkerAt(good.data()));
  for (std::size_t i = 0; i < good.size(); ++i) {
    Bytes bad = good;
    bad[i] ^= 0x10;
    const bool accepted = IsMarkerAt(bad.data()) && HeaderValid(bad.data()) && PayloadValid(bad.data());
    EXPECT_FALSE(accepted) << "byte " << i;
  }
}
