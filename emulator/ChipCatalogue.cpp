#include "emulator/ChipCatalogue.h"

#include <array>
#include <string_view>

namespace kestrel::emulator {

namespace {

// Command masks by opcode bit.
constexpr std::uint32_t Bit(int opcode) { return 1u << opcode; }
constexpr std::uint32_t SignatureOnly = Bit(0x00);
constexpr std::uint32_t FuseCommands = Bit(0x03) | Bit(0x04);
constexpr std::uint32_t LockCommands = Bit(0x05) | Bit(0x06);
constexpr std::uint32_t FlashCommands = Bit(0x07) | Bit(0x09) | Bit(0x0A) | Bit(0x0B);
constexpr std::uint32_t EepromCommands = Bit(0x0C) | Bit(0x0D) | Bit(0x0E) | Bit(0x0F);
constexpr std::uint32_t StandardMask =
    SignatureOnly | FuseCommands | LockCommands | FlashCommands | EepromCommands;
// Programming enable/disable, program-memory erase and the RAM commands, which the
// program never sends but some device firmware announces.
constexpr std::uint32_t ExtraCommands =
    Bit(0x01) | Bit(0x02) | Bit(0x08) | Bit(0x10) | Bit(0x11) | Bit(0x12) | Bit(0x13);

using ByteNames = std::array<std::string_view, 8>;  // bit 0 first; empty = unused bit

// A fuse byte in the chip's own convention: a bit that reads 0 is programmed.
void AddFuseByte(std::vector<FuseBit>& fuses, std::uint8_t factoryValue, const ByteNames& names) {
  for (int bit = 0; bit < 8; ++bit) {
    if (names[bit].empty()) continue;
    fuses.push_back({std::string(names[bit]), (factoryValue >> bit & 1) == 0});
  }
}

const ByteNames MegaLowByte{"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL"};
const ByteNames NewMegaLowByte{"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8"};
const ByteNames JtagHighByte{"BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "JTAGEN", "OCDEN"};
const std::vector<std::string> TwoLockBits{"LB1", "LB2"};
const std::vector<std::string> SixLockBits{"LB1", "LB2", "BLB01", "BLB02", "BLB11", "BLB12"};

std::vector<ChipType> BuildCatalogue() {
  std::vector<ChipType> chips;

  ChipType tiny13{"ATtiny13A", 1024, 64, 64, {0x1E, 0x90, 0x07}, {}, TwoLockBits, StandardMask};
  AddFuseByte(tiny13.fuses, 0x6A, {"CKSEL0", "CKSEL1", "SUT0", "SUT1", "CKDIV8", "WDTON", "EESAVE", "SPIEN"});
  AddFuseByte(tiny13.fuses, 0xFF, {"RSTDISBL", "BODLEVEL0", "BODLEVEL1", "DWEN", "SELFPRGEN"});
  chips.push_back(tiny13);

  // No EEPROM: its mask offers no EEPROM command.
  ChipType tiny10{"ATtiny10",         1024, 0,           32,
                  {0x1E, 0x90, 0x03}, {},   TwoLockBits, StandardMask & ~EepromCommands};
  AddFuseByte(tiny10.fuses, 0xFF, {"RSTDISBL", "WDTON", "CKOUT"});
  chips.push_back(tiny10);

  // No fuse bits reachable by the programmer.
  chips.push_back(
      {"AT90S8515", 8192, 512, 512, {0x1E, 0x93, 0x01}, {}, TwoLockBits, StandardMask & ~FuseCommands});

  ChipType mega8{"ATmega8A", 8192, 512, 1024, {0x1E, 0x93, 0x07}, {}, SixLockBits, StandardMask};
  AddFuseByte(mega8.fuses, 0xE1, MegaLowByte);
  AddFuseByte(mega8.fuses, 0xD9,
              {"BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "WDTON", "RSTDISBL"});
  chips.push_back(mega8);

  // Announces every command the device has, including those the program never sends.
  ChipType mega16{"ATmega16A",        16384, 512,         1024,
                  {0x1E, 0x94, 0x03}, {},    SixLockBits, StandardMask | ExtraCommands};
  AddFuseByte(mega16.fuses, 0xE1, MegaLowByte);
  AddFuseByte(mega16.fuses, 0x99, JtagHighByte);
  chips.push_back(mega16);

  ChipType mega328{"ATmega328P", 32768, 1024, 2048, {0x1E, 0x95, 0x0F}, {}, SixLockBits, StandardMask};
  AddFuseByte(mega328.fuses, 0x62, NewMegaLowByte);
  AddFuseByte(mega328.fuses, 0xD9,
              {"BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL"});
  AddFuseByte(mega328.fuses, 0xFF, {"BODLEVEL0", "BODLEVEL1", "BODLEVEL2"});
  chips.push_back(mega328);

  ChipType mega128{"ATmega128A", 131072, 4096, 4096, {0x1E, 0x97, 0x02}, {}, SixLockBits, StandardMask};
  AddFuseByte(mega128.fuses, 0xE1, MegaLowByte);
  AddFuseByte(mega128.fuses, 0x99, JtagHighByte);
  AddFuseByte(mega128.fuses, 0xFD, {"WDTON", "M103C"});
  chips.push_back(mega128);

  ChipType mega2560{"ATmega2560", 262144, 4096, 8192, {0x1E, 0x98, 0x01}, {}, SixLockBits, StandardMask};
  AddFuseByte(mega2560.fuses, 0x62, NewMegaLowByte);
  AddFuseByte(mega2560.fuses, 0x99,
              {"BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN"});
  AddFuseByte(mega2560.fuses, 0xFF, {"BODLEVEL0", "BODLEVEL1", "BODLEVEL2"});
  chips.push_back(mega2560);

  return chips;
}

}  // namespace

const std::vector<ChipType>& ChipCatalogue() {
  static const std::vector<ChipType> chips = BuildCatalogue();
  return chips;
}

const std::string& ProgrammerName() {
  static const std::string name = "Программатор ПР-2М (эмулятор)";
  return name;
}

std::vector<ChipType> ChipCatalogue(std::size_t count) {
  const std::vector<ChipType>& base = ChipCatalogue();
  std::vector<ChipType> chips = base;
  while (chips.size() < count) {
    ChipType chip = base[chips.size() % base.size()];
    chip.name += " #" + std::to_string(chips.size() / base.size() + 1);
    chips.push_back(std::move(chip));
  }
  return chips;
}

std::vector<std::string> ProgrammerInfoLines(std::size_t chipCount) {
  return {
      "Эмулятор программатора для отладки и испытаний",
      "Версия прошивки 2.1",
      "Микросхем в каталоге: " + std::to_string(chipCount),
      "Линия: 8 бит данных, нечётность, 1 стоп-бит",
  };
}

}  // namespace kestrel::emulator
