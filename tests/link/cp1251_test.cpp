#include "link/Cp1251.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestrel;
using Bytes = std::vector<std::uint8_t>;

TEST(Cp1251, DecodesCyrillicAndTheIrregularUpperHalf) {
  // "Программатор" as the device sends it.
  const Bytes name{0xCF, 0xF0, 0xEE, 0xE3, 0xF0, 0xE0, 0xEC, 0xEC, 0xE0, 0xF2, 0xEE, 0xF0};
  EXPECT_EQ(Cp1251ToUtf8(name), "Программатор");
  EXPECT_EQ(Cp1251ToUtf8(Bytes{0xC0, 0xFF, 0xA8, 0xB8}), "АяЁё");
  EXPECT_EQ(Cp1251ToUtf8(Bytes{0x88, 0xB9, 0x96, 0x97, 0xAB, 0xBB}), "€№–—«»");
  EXPECT_EQ(Cp1251ToUtf8(Bytes{0x80, 0x8F, 0x90, 0x9F, 0xA5, 0xB4}), "ЂЏђџҐґ");
  EXPECT_EQ(Cp1251ToUtf8(Bytes{0xA0, 0xAD}), "\u00A0\u00AD");
  // The byte without a letter keeps its value rather than vanishing.
  EXPECT_EQ(Cp1251ToUtf8(Bytes{0x98}), "\u0098");
  // ASCII, control characters and NUL pass unchanged.
  EXPECT_EQ(Cp1251ToUtf8(Bytes{'A', 0x00, '\n', 0x7F}), std::string("A\0\n\x7F", 4));
  EXPECT_EQ(Cp1251ToUtf8(Bytes{}), "");
}

TEST(Cp1251, EveryByteRoundTrips) {
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(Cp1251, EncodesRussianAndReplacesWhatTheCodePageLacks) {
  EXPECT_EQ(Utf8ToCp1251("Микросхема"), (Bytes{0xCC, 0xE8, 0xEA, 0xF0, 0xEE, 0xF1, 0xF5, 0xE5, 0xEC, 0xE0}));
  EXPECT_EQ(Utf8ToCp1251("ATmega8 №1"), (Bytes{'A', 'T', 'm', 'e', 'g', 'a', '8', ' ', 0xB9, '1'}));
  // Characters outside the code page: Latin-1 é, CJK, an emoji (4-byte sequence).
  EXPECT_EQ(Utf8ToCp1251("é中😀x"), (Bytes{'?', '?', '?', 'x'}));
  // Malformed UTF-8: a stray continuation byte, an overlong NUL, an encoded surrogate, a sequence
  // cut by the next ASCII byte, a sequence cut by the end of the text.
  EXPECT_EQ(Utf8ToCp1251("\x80"), (Bytes{'?'}));
  EXPECT_EQ(Utf8ToCp1251("\xC0\x80"), (Bytes{'?', '?'}));
  EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), (Bytes{'?'}));
  EXPECT_EQ(Utf8ToCp1251("\xD0"
                         "A"),
            (Bytes{'?', 'A'}));
  EXPECT_EQ(Utf8ToCp1251("Я\xE2\x82"), (Bytes{0xDF, '?'}));
}
