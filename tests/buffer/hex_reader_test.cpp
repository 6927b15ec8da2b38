#include "buffer/HexReader.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "buffer/BinaryFile.h"
#include "link/Abort.h"
#include "tests/buffer/ScratchFiles.h"
#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

Bytes Image(const std::string& text) { return ReadHexImage(Text(text)); }

}  // namespace

TEST(HexReader, DataAtItsOffsetWithGapsFF) {
  const Bytes image = Image(":03001000010203E7\r\n:00000001FF\r\n");
  ASSERT_EQ(image.size(), 19u);
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 16), Bytes(16, 0xFF));
  EXPECT_EQ(Bytes(image.begin() + 16, image.end()), (Bytes{1, 2, 3}));
}

TEST(HexReader, MissingEndTruncatedOrEmptyTextsAbort) {
  for (const char* text : {"", ":", "\r\n", ":03001000010203E7\r\n", ":03001000010203E7\r\n:", ":0300100001",
                           ":000000", "no records"}) {
    EXPECT_THROW(Image(text), EAbort) << '"' << text << '"';
  }
  // A text that stops right after the end record's type is complete.
  EXPECT_TRUE(Image(":00000001").empty());
}

TEST(HexReader, AddressRecordsDoNotShiftData) {
  EXPECT_EQ(Image(":020000040001F9\n:02000000ABCD86\n:020000021000EC\n:01000100EF10\n:00000001FF\n"),
            (Bytes{0xAB, 0xEF}));
  // Start address records and unknown types are skipped too.
  EXPECT_EQ(Image(":0400000500001234B1\n:04000003AAAA0000AB\n:0100000042BD\n:0000000AF6\n:00000001FF"),
            (Bytes{0x42}));
}

TEST(HexReader, RecordShapes) {
  // A record of count 0 stores nothing, wherever it points.
  EXPECT_EQ(Image(":0100000042BD\n:00F00000F0\n:00000001FF\n"), (Bytes{0x42}));
  // A record running past 0xFFFF goes on at 0x10000; a full record from 0xFFFF reaches furthest.
  Bytes image = Image(":02FFFF001122CD\n:00000001FF\n");
  ASSERT_EQ(image.size(), 0x10001u);
  EXPECT_EQ(image[0xFFFF], 0x11);
  EXPECT_EQ(image[0x10000], 0x22);
  EXPECT_EQ(image[0], 0xFF);
  image = Image(":FFFFFF00" + std::string(510, '7') + "00\n:00000001FF\n");
  ASSERT_EQ(image.size(), 0xFFFFu + 255u);
  EXPECT_EQ(image.back(), 0x77);
  // Later records win; text around the records is ignored; nothing after the end record is read.
  EXPECT_EQ(Image("garbage first\n:020000001111DC\n:0100010022DC\nnoise :00000001FF\n:01000000EE11 ::"),
            (Bytes{0x11, 0x22}));
  // Lower-case digits read as their values, other characters in digit places count 0,
  // checksums are never examined.
  EXPECT_EQ(Image(":02000000abCD00\n:00000001FF"), (Bytes{0xAB, 0xCD}));
  EXPECT_EQ(Image(":0200000G1zx900\n:00000001FF"), (Bytes{0x10, 0x09}));
  // A record cut short by its line end reads the next characters as its digits.
  EXPECT_EQ(Image(":0200000001\nAB\n:00000001FF"), (Bytes{0x01, 0x0A}));
}

TEST(HexReader, LoadHandsTheImageToTheBufferAndKeepsItOnAbort) {
  FakeLink t;
  ASSERT_TRUE(LoadHexStream(t.session, Text(":03001000010203E7\n:00000001FF\n")));
  EXPECT_EQ(t.session.DataBuffer.size(), 19u);
  EXPECT_EQ(t.view.formatGridCalls, 1);
  EXPECT_THROW(LoadHexStream(t.session, Text(":0100000042BD\n")), EAbort);
  EXPECT_EQ(t.session.DataBuffer.size(), 19u);
  EXPECT_EQ(t.view.formatGridCalls, 1);
  EXPECT_TRUE(t.view.warnings.empty());
}

// Real files made by other tools: a small AVR firmware converted by the AVR binutils and by
// srecord at several record lengths; the image must equal the binary from address 0, gaps FF.
class ToolMadeHexFiles : public ::testing::Test {
 protected:
  static bool Run(const std::string& command) {
    return std::system(
               ("cd '" + dir_->Path().string() + "' && { " + command + "; } >/dev/null 2>&1").c_str()) == 0;
  }

  static void SetUpTestSuite() {
    dir_ = new ScratchDir;
    if (!Run("command -v avr-gcc && command -v avr-objcopy && command -v srec_cat")) {
      missing_ = "avr-gcc, avr-objcopy or srec_cat is not installed (scripts/setup.sh installs them)";
      return;
    }
    WriteFile(dir_->File("fw.c"), std::string(R"(
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <stdint.h>
#define ROW(n) n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7
static const uint8_t table[] PROGMEM = {ROW(1), ROW(17), ROW(90), ROW(200), [700] = 0xA5};
__attribute__((section(".boot"), used)) static const uint8_t boot[40] = {0xDE, 0xAD, 0xBE, 0xEF, [39] = 1};
volatile uint8_t initialised[6] = {9, 8, 7, 6, 5, 4};
int main(void) {
  for (uint16_t i = 0;; ++i) PORTB = pgm_read_byte(&table[i % sizeof table]) + initialised[i % 6];
}
)"));
    if (!Run("avr-gcc -mmcu=atmega328p -Os -o small.elf fw.c -Wl,--section-start=.boot=0x7000") ||
        !Run("avr-gcc -mmcu=atmega2560 -Os -o large.elf fw.c -Wl,--section-start=.boot=0x10800"))
      missing_ = "avr-gcc cannot build for the AVR (is avr-libc installed?)";
  }

  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    if (!missing_.empty()) GTEST_SKIP() << missing_;
  }

  static Bytes ImageOf(const std::string& name) { return ReadHexImage(ReadFile(dir_->File(name))); }
  static Bytes BinaryOf(const std::string& name) { return ReadFile(dir_->File(name)); }

  static inline ScratchDir* dir_ = nullptr;
  static inline std::string missing_;
};

TEST_F(ToolMadeHexFiles, ImagesUnder64KiBEqualTheGapFilledBinary) {
  ASSERT_TRUE(Run("avr-objcopy -O ihex small.elf small.hex"));
  ASSERT_TRUE(Run("avr-objcopy --gap-fill 0xFF -O binary small.elf small.bin"));
  const Bytes binary = BinaryOf("small.bin");
  ASSERT_EQ(binary.size(), 0x7028u);
  EXPECT_EQ(ImageOf("small.hex"), binary);

  for (const char* length : {"1", "16", "32", "64", "255"}) {
    const std::string name = std::string("srec") + length + ".hex";
    ASSERT_TRUE(
        Run(std::string("srec_cat small.hex -Intel -o ") + name + " -Intel -Output_Block_Size " + length));
    EXPECT_EQ(ImageOf(name), binary) << "record length " << length;
  }
  // Lower-case digits and DOS line ends read the same.
  ASSERT_TRUE(Run("tr 'A-F' 'a-f' < small.hex | sed 's/$/\\r/' > lower.hex"));
  EXPECT_EQ(ImageOf("lower.hex"), binary);
}

TEST_F(ToolMadeHexFiles, BytesBelowTheFirstAddressAreFF) {
  ASSERT_TRUE(Run("avr-objcopy -j .boot -O ihex small.elf boot.hex"));
  ASSERT_TRUE(Run("avr-objcopy -j .boot -O binary small.elf boot.bin"));
  Bytes expected(0x7000, 0xFF);
  const Bytes boot = BinaryOf("boot.bin");
  ASSERT_EQ(boot.size(), 40u);
  expected.insert(expected.end(), boot.begin(), boot.end());
  EXPECT_EQ(ImageOf("boot.hex"), expected);
}

TEST_F(ToolMadeHexFiles, RecordsAbove64KiBLandAtTheirSixteenBitOffset) {
  // The .boot section at 0x10800 follows an extended address record, which is skipped: its
  // bytes land at 0x0800, after the program, with FF between.
  ASSERT_TRUE(Run("avr-objcopy -O ihex large.elf large.hex"));
  ASSERT_TRUE(Run("avr-objcopy -R .boot --gap-fill 0xFF -O binary large.elf low.bin"));
  ASSERT_TRUE(Run("avr-objcopy -j .boot -O binary large.elf high.bin"));
  Bytes expected = BinaryOf("low.bin");
  ASSERT_LT(expected.size(), 0x800u);
  expected.resize(0x800, 0xFF);
  const Bytes high = BinaryOf("high.bin");
  expected.insert(expected.end(), high.begin(), high.end());
  EXPECT_EQ(ImageOf("large.hex"), expected);
}
