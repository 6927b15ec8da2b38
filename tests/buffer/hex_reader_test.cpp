#include "buffer/HexReader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "buffer/Abort.h"
#include "buffer/BinaryFile.h"
#include "buffer/HexWriter.h"
#include "tests/buffer/AvrPrograms.h"
#include "tests/buffer/RecordTexts.h"
#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

ImageReadResult Read(const std::string& text) { return ReadHexImage(Text(text)); }

Bytes Image(const std::string& text) { return ImageOf(ReadHexImage, text); }

// `count` bytes of `value` from `address`, FF below.
Bytes Filled(std::size_t address, std::size_t count, std::uint8_t value) {
  Bytes image(address, 0xFF);
  image.resize(address + count, value);
  return image;
}

}  // namespace

TEST(HexReader, AddressRecordsSetTheBaseOfTheDataThatFollows) {
  // Linear base 0x10000, then segment base 0x2000 * 16, then linear 0 again; start address
  // records change nothing; the later record for 0x20001 wins.
  const Bytes image = Image(
      ":020000040001F9\n:02000000ABCD86\n"
      ":020000022000DC\n:0400000500001234B1\n:020000001122CB\n:01000100EF0F\n"
      ":020000040000FA\n:0100000042BD\n:00000001FF\n");
  ASSERT_EQ(image.size(), 0x20002u);
  EXPECT_EQ(image[0], 0x42);
  EXPECT_EQ(image[1], 0xFF);
  EXPECT_EQ(image[0x10000], 0xAB);
  EXPECT_EQ(image[0x10001], 0xCD);
  EXPECT_EQ(image[0x20000], 0x11);
  EXPECT_EQ(image[0x20001], 0xEF);
  // A record running past its 64 KiB page goes on in the next one.
  EXPECT_EQ(Image(":02FFFF001122CD\n:00000001FF\n"), [] {
    Bytes expected = Filled(0xFFFF, 1, 0x11);
    expected.push_back(0x22);
    return expected;
  }());
  // A data record of count 0 stores nothing, wherever it points.
  EXPECT_EQ(Image(":0100000042BD\n:00F0000010\n:00000001FF\n"), (Bytes{0x42}));
}

TEST(HexReader, LineEndsDigitCaseAndTextAroundTheRecordsLoad) {
  Bytes expected(19, 0xFF);
  expected[16] = 1, expected[17] = 2, expected[18] = 3;
  for (const std::string end : {"\n", "\r\n", "\r"}) {
    EXPECT_EQ(
        Image("made by hand" + end + ":03001000010203E7" + end + ":00000001FF" + end + "after ::" + end),
        expected)
        << "line end " << int(end.back());
  }
  // Lower-case digits, blank lines, blanks around a record and no line end after the last one.
  EXPECT_EQ(Image("\n\n :02000000abcd86  \t\n\n\t:00000001ff"), (Bytes{0xAB, 0xCD}));
  // A line that does not start with ':' is no record, though it holds one; so is a byte order mark.
  EXPECT_EQ(Image("; Build: 2024-01-01\n# :0100000011EE\n:0100000042BD\n:00000001FF\n"), (Bytes{0x42}));
  EXPECT_EQ(Image("\xEF\xBB\xBF:0100000042BD\n:00000001FF\n"), (Bytes{0x42}));
}

TEST(HexReader, MalformedTextsNameTheFaultAndItsLine) {
  const MalformedText cases[] = {
      {"", ImageFault::NoRecords, 1},
      {"\r\n\r\n", ImageFault::NoRecords, 2},
      {"no records", ImageFault::NoRecords, 1},
      {"; Build: 2024-01-01\n", ImageFault::NoRecords, 1},
      {"; Build: 2024-01-01\r\n:03001000010203E7\r\n; :00000001FF\r\n", ImageFault::NoEndRecord, 3},
      {":03001000010203E7\r\n", ImageFault::NoEndRecord, 1},
      {":03001000010203E7\n\n", ImageFault::NoEndRecord, 2},
      {":0100000042BD\n:03001000010203E8\n:00000001FF\n", ImageFault::BadChecksum, 2},
      {":00000001FE\n", ImageFault::BadChecksum, 1},
      {"\r\n:0100000042BD\r\n:0300100001G203E7\r\n:00000001FF\r\n", ImageFault::BadDigit, 3},
      {":0100000042BD\r:01 000042BD\r:00000001FF\r", ImageFault::BadDigit, 2},
      {":0300100001020\n3E7\n:00000001FF\n", ImageFault::CutRecord, 1},
      {":0100000042BD\r\n:0300100001\r\n", ImageFault::CutRecord, 2},
      {":", ImageFault::CutRecord, 1},
      {":0000000", ImageFault::CutRecord, 1},
      {":0100000042BD00\n:00000001FF\n", ImageFault::TrailingText, 1},
      {":0100000042BD:00000001FF\n", ImageFault::TrailingText, 1},
      {":0100000042BD\n:00000001FF junk\n", ImageFault::TrailingText, 2},
      {":00000001FFFF", ImageFault::TrailingText, 1},
      {":03000004000100F8\n:00000001FF\n", ImageFault::BadAddressRecord, 1},
      {":0100000210ED\n:00000001FF\n", ImageFault::BadAddressRecord, 1},
  };
  ExpectRefused(ReadHexImage, cases);
}

TEST(HexReader, AnImageReachingTheSizeLimitIsRefusedWithoutBeingBuilt) {
  // The last byte an image may hold is at 0x7FFFE.
  const Bytes last = Image(":020000040007F3\n:01FFFE0011F1\n:00000001FF\n");
  ASSERT_EQ(last.size(), MaxImageSize - 1);
  EXPECT_EQ(last.back(), 0x11);
  for (const char* text :
       {":020000040007F3\n:01FFFF0011F0\n:00000001FF\n", ":020000040007F3\n:02FFFE001122CE\n:00000001FF\n",
        ":0200000480007A\n:0100000042BD\n:00000001FF\n",  // at 0x80000000
        ":02000002FFFFFE\n:01FFFF0011F0\n:00000001FF\n", ":02000004FFFFFC\n:01FFFF0011F0\n:00000001FF\n"}) {
    const ImageReadResult read = Read(text);
    EXPECT_EQ(read.fault, ImageFault::TooLarge) << text;
    EXPECT_EQ(read.line, 2u) << text;
  }
}

TEST(HexReader, LoadReportsAMalformedFileInTheStatusPanelAndKeepsTheBuffer) {
  FakeImage t;
  ASSERT_TRUE(
      LoadImageBytes(t.image, Text(":03001000010203E7\n:00000001FF\n"), FileFormat::IntelHex, "/a/b.hex"));
  EXPECT_EQ(t.image.DataBuffer().size(), 19u);
  EXPECT_EQ(t.view.formatGridCalls, 1);

  const std::string text = ":03001000010203E7\n" + std::string(10, '\n') + ":0100000042BC\n:00000001FF\n";
  EXPECT_THROW(LoadImageBytes(t.image, Text(text), FileFormat::IntelHex, "/work/fw/blink.hex"), EAbort);
  EXPECT_EQ(t.view.StatusText(), "Ошибка в HEX-файле blink.hex, строка 12: неверная контрольная сумма");
  // The name is UTF-8 on every system, Cyrillic included.
  EXPECT_THROW(
      LoadImageBytes(t.image, Text(":0100000042BD\n"), FileFormat::IntelHex, "/work/Прошивки/Обрыв.hex"),
      EAbort);
  EXPECT_EQ(t.view.StatusText(), "Ошибка в HEX-файле Обрыв.hex, строка 1: нет записи конца файла");
  EXPECT_EQ(t.image.DataBuffer().size(), 19u);
  EXPECT_EQ(t.view.formatGridCalls, 1);
  EXPECT_TRUE(t.view.warnings.empty());

  // An image too large for the program gets the size warning, not a report.
  EXPECT_FALSE(LoadImageBytes(t.image, Text(":020000040008F2\n:0100000042BD\n:00000001FF\n"),
                              FileFormat::IntelHex, "big.hex"));
  EXPECT_EQ(t.view.warnings,
            std::vector<std::string>{"Вряд ли Вы хотите запрограммировать\n\rфайл такой длины!"});
  EXPECT_EQ(t.image.DataBuffer().size(), 19u);
}

// Real files made by other tools from a small AVR firmware: for a chip of 32 KiB, and for one
// of 256 KiB with code placed above 64 KiB by the linker. Each image must equal what objcopy
// makes of the same file, with FF below its first address.
class ToolMadeHexFiles : public ::testing::Test {
 protected:
  static bool Run(const std::string& command) { return dir_->Run(command); }

  static void SetUpTestSuite() {
    dir_ = new ToolFolder;
    if (!Run("command -v avr-gcc && command -v avr-objcopy && command -v srec_cat && command -v objcopy")) {
      missing_ = "avr-gcc, avr-objcopy, srec_cat or objcopy is missing (scripts/setup.sh installs them)";
      return;
    }
    WriteFile(dir_->File("fw.c"), std::string(R"(
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <stdint.h>
#define ROW(n) n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7
static const uint8_t table[] PROGMEM = {ROW(1), ROW(17), ROW(90), ROW(200), [700] = 0xA5};
__attribute__((section(".boot"), used, noinline)) void boot(void) {
  for (uint8_t i = 0; i < 40; ++i) PORTC = i ^ 0x5A;
}
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

  static ImageReadResult ReadOf(const std::string& name) { return ReadHexImage(ReadFile(dir_->File(name))); }
  static Bytes ImageOf(const std::string& name) {
    const ImageReadResult read = ReadOf(name);
    EXPECT_EQ(read.fault, ImageFault::None) << name << " line " << read.line;
    return read.image;
  }
  // What objcopy makes of the HEX file, with `first` bytes of FF before it.
  static Bytes ObjcopyImage(const std::string& name, std::size_t first) {
    EXPECT_TRUE(Run("objcopy -I ihex -O binary --gap-fill 0xFF " + name + " " + name + ".bin"));
    Bytes image(first, 0xFF);
    const Bytes binary = ReadFile(dir_->File(name + ".bin"));
    image.insert(image.end(), binary.begin(), binary.end());
    return image;
  }
  static bool Holds(const std::string& name, const std::string& record) {
    const Bytes text = ReadFile(dir_->File(name));
    return std::search(text.begin(), text.end(), record.begin(), record.end()) != text.end();
  }

  static inline ToolFolder* dir_ = nullptr;
  static inline std::string missing_;
};

TEST_F(ToolMadeHexFiles, ImagesUnder64KiBEqualTheGapFilledBinary) {
  ASSERT_TRUE(Run("avr-objcopy -O ihex small.elf small.hex"));
  const Bytes binary = ObjcopyImage("small.hex", 0);
  ASSERT_GT(binary.size(), 0x7000u);
  EXPECT_EQ(ImageOf("small.hex"), binary);

  for (const char* length : {"1", "16", "32", "64", "255"}) {
    const std::string name = std::string("srec") + length + ".hex";
    ASSERT_TRUE(
        Run(std::string("srec_cat small.hex -Intel -o ") + name + " -Intel -Output_Block_Size " + length));
    EXPECT_EQ(ImageOf(name), binary) << "record length " << length;
  }
  // Lower-case digits and DOS or old Mac line ends read the same.
  ASSERT_TRUE(Run("tr 'A-F' 'a-f' < small.hex | sed 's/$/\\r/' > lower.hex"));
  EXPECT_EQ(ImageOf("lower.hex"), binary);
  ASSERT_TRUE(Run("tr '\\n' '\\r' < small.hex > cr.hex"));
  EXPECT_EQ(ImageOf("cr.hex"), binary);
  // A file that starts higher: FF below its first record.
  ASSERT_TRUE(Run("avr-objcopy -j .boot -O ihex small.elf boot.hex"));
  EXPECT_EQ(ImageOf("boot.hex"), ObjcopyImage("boot.hex", 0x7000));
}

TEST_F(ToolMadeHexFiles, CodeAbove64KiBLandsAtItsAddressWithSegmentAndLinearRecords) {
  // The AVR binutils address the code at 0x10800 with a segment record, srecord with a linear one.
  ASSERT_TRUE(Run("avr-objcopy -O ihex large.elf large.hex"));
  ASSERT_TRUE(Run("srec_cat large.hex -Intel -o linear.hex -Intel"));
  ASSERT_TRUE(Holds("large.hex", ":020000021000EC"));
  ASSERT_TRUE(Holds("linear.hex", ":020000040001F9"));
  const Bytes expected = ObjcopyImage("large.hex", 0);
  ASSERT_GT(expected.size(), 0x10800u);
  EXPECT_EQ(expected, ObjcopyImage("linear.hex", 0));
  EXPECT_EQ(ImageOf("large.hex"), expected);
  EXPECT_EQ(ImageOf("linear.hex"), expected);

  // The whole program moved up to 192 KiB: FF below it.
  ASSERT_TRUE(Run("srec_cat large.hex -Intel -offset 0x30000 -o moved.hex -Intel"));
  const Bytes moved = ImageOf("moved.hex");
  EXPECT_EQ(moved, ObjcopyImage("moved.hex", 0x30000));
  EXPECT_EQ(Bytes(moved.begin() + 0x30000, moved.end()), expected);

  // Moved to where its end would reach 512 KiB: the image is refused.
  ASSERT_TRUE(Run("srec_cat large.hex -Intel -offset " + std::to_string(MaxImageSize - expected.size()) +
                  " -o edge.hex -Intel"));
  EXPECT_EQ(ReadOf("edge.hex").fault, ImageFault::TooLarge);
  ASSERT_TRUE(Run("srec_cat large.hex -Intel -offset " + std::to_string(MaxImageSize - expected.size() - 1) +
                  " -o below.hex -Intel"));
  EXPECT_EQ(ImageOf("below.hex").size(), MaxImageSize - 1);
}

TEST_F(ToolMadeHexFiles, ObjcopyReadsWhatTheWriterWrites) {
  // Across two 64 KiB boundaries, with a short last record.
  Bytes image(0x20009);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 16));
  WriteFile(dir_->File("written.hex"), WriteHexImage(image));
  EXPECT_EQ(ObjcopyImage("written.hex", 0), image);
}
