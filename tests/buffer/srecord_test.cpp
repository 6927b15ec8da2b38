#include <gtest/gtest.h>

#include "buffer/BinaryFile.h"
#include "buffer/SRecordReader.h"
#include "buffer/SRecordWriter.h"
#include "tests/buffer/AvrPrograms.h"
#include "tests/buffer/RecordTexts.h"

using namespace kestrel;

namespace {

Bytes Image(const std::string& text) { return ImageOf(ReadSRecordImage, text); }

}  // namespace

TEST(SRecordReader, DataRecordsOfEveryWidthBuildOneImage) {
  // S1, S2 and S3 data at 16-, 24- and 32-bit addresses; gaps FF; the later record for address 1
  // wins; the header and a matching count are passed over; other lines are no records.
  Bytes expected(0x10002, 0xFF);
  expected[0] = 0xAB, expected[1] = 0xEF, expected[0x10] = 1, expected[0x11] = 2, expected[0x12] = 3;
  expected[0x10000] = 0xAB, expected[0x10001] = 0xCD;
  EXPECT_EQ(Image("S0070000484452001A\r\n; made by hand: S1 and S3\r\nS1040000AB50\r\n"
                  "S1040001CD2D\r\nS1060010010203E3\r\n  S30700010000ABCD7F\r\nS1040001EF0B\r\n"
                  "S5030005F7\r\nS9030000FC\r\nafter the end: S1 garbage\r\n"),
            expected);
  // A record running past 0xFFFF goes on at 0x10000; lower-case digits; S2 with S8, S3 with S7.
  Bytes past(0xFFFF, 0xFF);
  past.push_back(0x11), past.push_back(0x22);
  EXPECT_EQ(Image("s105FFFF1122C9\nS105ffff1122c9\nS804000000FB"), past);
  EXPECT_EQ(Image("S20500000055A5\nS804000000FB\n"), (Bytes{0x55}));
  EXPECT_EQ(Image("S306000000006693\nS70500000000FA\n"), (Bytes{0x66}));
  // Without a terminator the text may end right after a count record: S5 or S6.
  EXPECT_EQ(Image("S104000042B9\nS5030001FB\n"), (Bytes{0x42}));
  EXPECT_EQ(Image("S104000042B9\nS604000001FA"), (Bytes{0x42}));
}

TEST(SRecordReader, MalformedTextsNameTheFaultAndItsLine) {
  const MalformedText cases[] = {
      {"", ImageFault::NoRecords, 1},
      {"no records\n", ImageFault::NoRecords, 1},
      {"S0070000484452001A\n", ImageFault::NoEndRecord, 1},
      {"S104000042B9\nS5030001FB\nS1040001CD2D\n", ImageFault::NoEndRecord, 3},
      {"S104000042B9\r\n\r\n", ImageFault::NoEndRecord, 2},
      {"S104000042B8\nS9030000FC\n", ImageFault::BadChecksum, 1},
      {"S104000042B9\nS9030000FD\n", ImageFault::BadChecksum, 2},
      {"S1040000G2B9\nS9030000FC\n", ImageFault::BadDigit, 1},
      {"S104000042\nS9030000FC\n", ImageFault::CutRecord, 1},
      {"S", ImageFault::CutRecord, 1},
      {"S1", ImageFault::CutRecord, 1},
      {"S40300FC\nS9030000FC\n", ImageFault::BadRecordType, 1},
      {"S104000042B9\nSX030000FC\n", ImageFault::BadRecordType, 2},
      {"S1020000FD\nS9030000FC\n", ImageFault::BadRecordLength, 1},
      {"S104000042B9\nS90400000BF0\n", ImageFault::BadRecordLength, 2},
      {"S50400000BF0\nS9030000FC\n", ImageFault::BadRecordLength, 1},
      {"S104000042B9\nS5030002FA\nS9030000FC\n", ImageFault::BadRecordCount, 2},
      {"S104000042B9 x\nS9030000FC\n", ImageFault::TrailingText, 1},
      {"S104000042B9\nS9030000FCFC\n", ImageFault::TrailingText, 2},
      // The last byte an image may hold is at 0x7FFFE.
      {"S20507FFFE11E5\nS20507FFFF11E4\nS804000000FB\n", ImageFault::TooLarge, 2},
      {"S30780000000ABCD00\nS70500000000FA\n", ImageFault::TooLarge, 1},
  };
  ExpectRefused(ReadSRecordImage, cases);
}

TEST(SRecordWriter, WidthAndTerminatorFollowTheLastAddressAndTheTextReadsBack) {
  const struct {
    std::size_t size;
    const char* data;
    const char* end;  // the count record and the terminator
  } cases[] = {{0, "", "S5030000FC\r\nS9030000FC\r\n"},
               {1, "S104", "S5030001FB\r\nS9030000FC\r\n"},
               {0x10000, "S113", "S5031000EC\r\nS9030000FC\r\n"},
               {0x10001, "S214", "S5031001EB\r\nS804000000FB\r\n"},
               {MaxImageSize - 1, "S214", "S50380007C\r\nS804000000FB\r\n"}};
  for (const auto& c : cases) {
    Bytes image(c.size);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + (i >> 12));
    const Bytes bytes = WriteSRecordImage(image, "fw.s19");
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_TRUE(text.starts_with(std::string("S009000066772E7331390E\r\n") + c.data)) << c.size;
    EXPECT_TRUE(text.ends_with(c.end)) << c.size;
    EXPECT_EQ(Image(text), image) << c.size;
  }
  // A header longer than a record holds is cut to fill one.
  const Bytes named = WriteSRecordImage(Bytes{7}, std::string(600, 'n'));
  std::string header = "S0FF0000";
  for (int i = 0; i < 252; ++i) header += "6E";
  EXPECT_EQ(std::string(named.begin(), named.begin() + 4 + 2 * 255 + 2), header + "B8\r\n");
  EXPECT_EQ(ReadSRecordImage(named).image, Bytes{7});
}

// Files made by the AVR binutils and srecord from real programs read as the program memory and
// EEPROM images objcopy makes; what the writer writes objcopy reads back.
class ToolMadeSRecords : public AvrProgramsTest {
 protected:
  static Bytes ImageOf(const std::string& name) {
    const ImageReadResult read = ReadSRecordImage(folder_->Read(name));
    EXPECT_EQ(read.fault, ImageFault::None) << name << " line " << read.line;
    return read.image;
  }
};

TEST_F(ToolMadeSRecords, EveryRecordWidthLoadsTheProgramAndTheEeprom) {
  for (const AvrProgram& program : AvrPrograms) {
    const std::string chip = program.chip;
    const std::string split = " -R .eeprom -R .fuse -R .lock -R .signature " + program.Elf() + " ";
    const Bytes flash = folder_->Image(program.FlashHex());
    ASSERT_GT(flash.size(), 0x7000u) << chip;
    // avr-objcopy: S1 or S2 with the terminator, and S3 when forced; srecord: S1 (S2 where the
    // address needs it), S2 or S3 with a count record and no terminator, records of 1 to 250 bytes.
    const std::string fromHex = "srec_cat " + program.FlashHex() + " -Intel -o ";
    const struct {
      std::string command;
      std::string file;
    } made[] = {
        {"avr-objcopy -O srec" + split, chip + ".srec"},
        {"avr-objcopy -O srec --srec-forceS3" + split, chip + "-forced.s37"},
        {fromHex, chip + "-s1.s19 -Motorola -address-length=2"},
        {fromHex, chip + "-s2.S28 -Motorola -address-length=3 -Output_Block_Size 1"},
        {fromHex, chip + "-s3.mot -Motorola -address-length=4 -Output_Block_Size 250"},
    };
    for (const auto& [command, file] : made) {
      ASSERT_TRUE(folder_->Run(command + file)) << command << file;
      EXPECT_EQ(ImageOf(file.substr(0, file.find(' '))), flash) << command << file;
    }
    ASSERT_TRUE(folder_->Run("avr-objcopy -O srec -j .eeprom --change-section-lma .eeprom=0 " +
                             program.Elf() + " " + chip + "-eeprom.srec"));
    const Bytes eeprom = folder_->Image(program.EepromHex());
    ASSERT_EQ(eeprom.size(), 26u) << chip;
    EXPECT_EQ(ImageOf(chip + "-eeprom.srec"), eeprom) << chip;
  }
}

TEST_F(ToolMadeSRecords, ObjcopyReadsWhatTheWriterWrites) {
  for (const std::size_t size : {std::size_t{0x9}, std::size_t{0x20009}}) {
    Bytes image(size);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 16));
    WriteFile(folder_->File("written.srec"), WriteSRecordImage(image, "written.srec"));
    EXPECT_EQ(folder_->Image("written.srec", "srec"), image) << size;
  }
}
