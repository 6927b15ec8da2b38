#include "buffer/ElfReader.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/buffer/AvrPrograms.h"

using namespace kestrel;

namespace {

constexpr std::uint16_t MachineAvr = 83, MachineArm = 40;

struct Segment {
  std::uint32_t address;
  Bytes data;
  std::uint32_t type = 1;  // loadable
};

// A 32-bit executable: the header, the segment table right after it, then each segment's data.
class ElfFile {
 public:
  ElfFile(bool bigEndian, std::uint16_t machine, const std::vector<Segment>& segments)
      : bigEndian_(bigEndian) {
    bytes_.resize(52 + 32 * segments.size());
    const std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', 1, static_cast<std::uint8_t>(bigEndian ? 2 : 1), 1};
    std::copy(std::begin(ident), std::end(ident), bytes_.begin());
    Put(16, 2, 2);  // executable
    Put(18, 2, machine);
    Put(20, 4, 1);
    Put(28, 4, 52);
    Put(40, 2, 52);
    Put(42, 2, 32);
    Put(44, 2, segments.size());
    for (std::size_t i = 0; i < segments.size(); ++i) {
      const std::size_t entry = 52 + 32 * i;
      Put(entry, 4, segments[i].type);
      Put(entry + 4, 4, bytes_.size());
      Put(entry + 8, 4, 0x800100);  // the run address, which the reader must not take
      Put(entry + 12, 4, segments[i].address);
      Put(entry + 16, 4, segments[i].data.size());
      Put(entry + 20, 4, segments[i].data.size());
      bytes_.insert(bytes_.end(), segments[i].data.begin(), segments[i].data.end());
    }
  }

  // Sets the `size`-byte field at `at` in the file's byte order.
  ElfFile& Put(std::size_t at, std::size_t size, std::uint64_t value) {
    for (std::size_t i = 0; i < size; ++i)
      bytes_[at + (bigEndian_ ? size - 1 - i : i)] = static_cast<std::uint8_t>(value >> (8 * i));
    return *this;
  }
  Bytes& bytes() { return bytes_; }

 private:
  bool bigEndian_;
  Bytes bytes_;
};

Bytes Filled(std::size_t address, const Bytes& data) {
  Bytes image(address, 0xFF);
  image.insert(image.end(), data.begin(), data.end());
  return image;
}

}  // namespace

TEST(ElfReader, SegmentsLandAtTheirLoadAddressInEitherByteOrder) {
  for (const bool bigEndian : {false, true}) {
    // The later of two segments for the same address wins; gaps are FF; a segment without file
    // data and one that is not loadable add nothing.
    const ElfImages other =
        ReadElfImages(ElfFile(bigEndian, MachineArm,
                              {{0x10, {1, 2, 3, 4}}, {0x12, {9}}, {0x40, {}}, {0x80, {7, 7}, /*note*/ 4}})
                          .bytes());
    ASSERT_EQ(other.fault, ImageFault::None) << bigEndian;
    EXPECT_EQ(other.program, Filled(0x10, {1, 2, 9, 4})) << bigEndian;
    EXPECT_TRUE(other.eeprom.empty()) << bigEndian;
    EXPECT_FALSE(other.signature) << bigEndian;

    // AVR: program memory, and EEPROM from 0x810000 on; of the RAM, the fuses, the lock and the
    // signature nothing is an image, but the signature's bytes are kept, last first in the file.
    // A segment across the end of the RAM gives the EEPROM only what lies in it.
    const ElfImages avr = ReadElfImages(ElfFile(bigEndian, MachineAvr,
                                                {{0x10, {0xC1, 0xC2}},
                                                 {0x800100, {0xDA}},
                                                 {0x810004, {0xE4, 0xE5}},
                                                 {0x80FFFF, {0xAA, 0xBB}},
                                                 {0x820000, {0xE2, 0xD9, 0xFD}},
                                                 {0x830000, {0xFC}},
                                                 {0x840000, {0x0F, 0x95, 0x1E}}})
                                            .bytes());
    ASSERT_EQ(avr.fault, ImageFault::None) << bigEndian;
    EXPECT_EQ(avr.program, Filled(0x10, {0xC1, 0xC2})) << bigEndian;
    EXPECT_EQ(avr.eeprom, (Bytes{0xBB, 0xFF, 0xFF, 0xFF, 0xE4, 0xE5})) << bigEndian;
    EXPECT_EQ(avr.signature, (SignatureBytes{0x1E, 0x95, 0x0F})) << bigEndian;
  }
}

TEST(ElfReader, RefusedFilesSayWhy) {
  // Field offsets: the header's type 16, machine 18, table offset 28, entry size 42, entries 44;
  // the first entry's type 52, offset 56, load address 64, file size 68, memory size 72.
  const struct {
    const char* what;
    std::function<void(ElfFile&)> change;
    ImageFault fault;
  } cases[] = {
      {"empty", [](ElfFile& f) { f.bytes().clear(); }, ImageFault::NotElf},
      {"magic", [](ElfFile& f) { f.Put(3, 1, 'G'); }, ImageFault::NotElf},
      {"header cut", [](ElfFile& f) { f.bytes().resize(51); }, ImageFault::BadElfHeader},
      {"64-bit", [](ElfFile& f) { f.Put(4, 1, 2); }, ImageFault::Elf64},
      {"class", [](ElfFile& f) { f.Put(4, 1, 3); }, ImageFault::BadElfHeader},
      {"byte order", [](ElfFile& f) { f.Put(5, 1, 0); }, ImageFault::BadElfHeader},
      {"version", [](ElfFile& f) { f.Put(6, 1, 0); }, ImageFault::BadElfHeader},
      {"relocatable", [](ElfFile& f) { f.Put(16, 2, 1); }, ImageFault::NotExecutable},
      {"shared object", [](ElfFile& f) { f.Put(16, 2, 3); }, ImageFault::NotExecutable},
      {"table past the end", [](ElfFile& f) { f.Put(28, 4, 88); }, ImageFault::BadElfHeader},
      {"table offset wraps", [](ElfFile& f) { f.Put(28, 4, 0xFFFFFFF0); }, ImageFault::BadElfHeader},
      {"entries too small", [](ElfFile& f) { f.Put(42, 2, 16); }, ImageFault::BadElfHeader},
      {"too many entries", [](ElfFile& f) { f.Put(44, 2, 0xFFFF); }, ImageFault::BadElfHeader},
      {"data past the end", [](ElfFile& f) { f.Put(56, 4, 86); }, ImageFault::BadElfHeader},
      {"data offset wraps", [](ElfFile& f) { f.Put(56, 4, 0xFFFFFFFF); }, ImageFault::BadElfHeader},
      {"data size wraps", [](ElfFile& f) { f.Put(68, 4, 0xFFFFFFFF).Put(72, 4, 0xFFFFFFFF); },
       ImageFault::BadElfHeader},
      {"file size over memory size", [](ElfFile& f) { f.Put(72, 4, 2); }, ImageFault::BadElfHeader},
      {"no segments", [](ElfFile& f) { f.Put(44, 2, 0); }, ImageFault::NoProgramData},
      {"not loadable", [](ElfFile& f) { f.Put(52, 4, 4); }, ImageFault::NoProgramData},
      {"no file data", [](ElfFile& f) { f.Put(68, 4, 0); }, ImageFault::NoProgramData},
      {"fuses only", [](ElfFile& f) { f.Put(64, 4, 0x820000); }, ImageFault::NoProgramData},
      {"RAM only", [](ElfFile& f) { f.Put(64, 4, 0x800100); }, ImageFault::NoProgramData},
      // The last byte an image may hold is at 0x7FFFE.
      {"past 512 KiB", [](ElfFile& f) { f.Put(64, 4, 0x7FFFD); }, ImageFault::TooLarge},
      {"high address", [](ElfFile& f) { f.Put(18, 2, MachineArm).Put(64, 4, 0x08000000); },
       ImageFault::TooLarge},
      {"top of the address space", [](ElfFile& f) { f.Put(18, 2, MachineArm).Put(64, 4, 0xFFFFFFFF); },
       ImageFault::TooLarge},
  };
  for (const bool bigEndian : {false, true}) {
    ElfFile valid(bigEndian, MachineAvr, {{0x7FFFC, {1, 2, 3}}});
    ASSERT_EQ(ReadElfImages(valid.bytes()).program, Filled(0x7FFFC, {1, 2, 3})) << bigEndian;
    for (const auto& c : cases) {
      ElfFile file = valid;
      c.change(file);
      const ElfImages images = ReadElfImages(file.bytes());
      EXPECT_EQ(images.fault, c.fault) << c.what << (bigEndian ? ", big-endian" : "");
      EXPECT_TRUE(images.program.empty() && images.eeprom.empty() && !images.signature) << c.what;
    }
  }
}

// Files the toolchains make: the AVR programs against the images the binutils split from them,
// an object file, a 64-bit host program and a big-endian ARM program.
using ToolMadeElfFiles = AvrProgramsTest;

TEST_F(ToolMadeElfFiles, AvrProgramsSplitAsTheBinutilsSplitThem) {
  for (const AvrProgram& program : AvrPrograms) {
    const ElfImages images = ReadElfImages(folder_->Read(program.Elf()));
    ASSERT_EQ(images.fault, ImageFault::None) << program.chip;
    const Bytes flash = folder_->Image(program.FlashHex());
    ASSERT_GT(flash.size(), 0x7000u) << program.chip;
    EXPECT_EQ(images.program, flash) << program.chip;
    EXPECT_EQ(images.eeprom, folder_->Image(program.EepromHex())) << program.chip;
    EXPECT_EQ(images.eeprom.size(), 26u) << program.chip;
    EXPECT_EQ(images.signature, program.signature) << program.chip;
  }
}

TEST_F(ToolMadeElfFiles, ObjectFilesAndSixtyFourBitProgramsAreRefused) {
  ASSERT_TRUE(folder_->Run("avr-gcc -mmcu=atmega328p -Os -c fw.c -o fw.o"));
  EXPECT_EQ(ReadElfImages(folder_->Read("fw.o")).fault, ImageFault::NotExecutable);
  if (!folder_->Run("echo 'int main(void) { return 0; }' | cc -x c - -o host"))
    GTEST_SKIP() << "no host C compiler";
  EXPECT_EQ(ReadElfImages(folder_->Read("host")).fault,
            sizeof(void*) == 8 ? ImageFault::Elf64 : ImageFault::None);
}

TEST_F(ToolMadeElfFiles, BigEndianProgramLoadsAsObjcopyLaysItOut) {
  if (!folder_->Run("command -v clang && command -v ld.lld && command -v llvm-objcopy"))
    GTEST_SKIP() << "clang, ld.lld or llvm-objcopy is missing";
  // Constant data after the code, the initialised data loaded behind them but run from RAM.
  WriteFile(folder_->File("be.c"), std::string(R"(
const unsigned char table[40] = {1, 2, 3, 4, 5, 6, 7, 8, [39] = 0xA5};
int counter = 0x12345678;
void _start(void) { for (;;) counter += table[counter % 40]; }
)"));
  WriteFile(folder_->File("be.ld"), std::string(R"(
SECTIONS {
  . = 0;
  .text : { *(.text*) *(.rodata*) }
  .data 0x20000000 : AT(LOADADDR(.text) + SIZEOF(.text)) { *(.data*) }
  .bss : { *(.bss*) }
}
)"));
  ASSERT_TRUE(folder_->Run("clang --target=armeb-none-eabi -mcpu=cortex-m3 -O1 -c be.c -o be.o"));
  ASSERT_TRUE(folder_->Run("ld.lld -T be.ld be.o -o be.elf && llvm-objcopy -O binary be.elf be.bin"));
  const ElfImages images = ReadElfImages(folder_->Read("be.elf"));
  ASSERT_EQ(images.fault, ImageFault::None);
  const Bytes expected = folder_->Read("be.bin");
  ASSERT_GT(expected.size(), 44u);
  EXPECT_EQ(images.program, expected);
  // The initialised word is stored most significant byte first.
  EXPECT_EQ(Bytes(expected.end() - 4, expected.end()), (Bytes{0x12, 0x34, 0x56, 0x78}));
}
