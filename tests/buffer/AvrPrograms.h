#pragma once
// Real AVR programs made by the toolchain the set-up installs (avr-gcc, avr-libc, the AVR
// binutils, srecord), in a scratch folder, with the reference images the binutils make of them.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/buffer/ScratchFiles.h"

namespace kestrel {

class ToolFolder {
 public:
  // Runs a shell command in the folder, its output dropped; whether it succeeded.
  bool Run(const std::string& command) const {
    return std::system(
               ("cd '" + dir_.Path().string() + "' && { " + command + "; } >/dev/null 2>&1").c_str()) == 0;
  }
  std::string File(const std::string& name) const { return dir_.File(name); }
  Bytes Read(const std::string& name) const { return ReadFile(dir_.File(name)); }
  // What objcopy makes of an Intel HEX or S-record file whose data start at address 0, gaps FF.
  Bytes Image(const std::string& name, const char* format = "ihex") const {
    if (!Run(std::string("objcopy -I ") + format + " -O binary --gap-fill 0xFF " + name + " " + name +
             ".bin"))
      return {};
    return Read(name + ".bin");
  }

 private:
  ScratchDir dir_;
};

// One program for each chip, with a PROGMEM table, initialised data, code placed by the linker at
// `far`, EEMEM data, FUSES, LOCKBITS and the signature section: CHIP.elf, and as the binutils split
// it, CHIP-flash.hex (the program memory) and CHIP-eeprom.hex (the EEPROM from address 0).
struct AvrProgram {
  const char* chip;
  const char* far;
  std::array<std::uint8_t, 3> signature;  // as the chip reads it out

  std::string Elf() const { return std::string(chip) + ".elf"; }
  std::string FlashHex() const { return std::string(chip) + "-flash.hex"; }
  std::string EepromHex() const { return std::string(chip) + "-eeprom.hex"; }
};

// A 32 KiB chip and a 256 KiB one with code above 64 KiB.
inline constexpr AvrProgram AvrPrograms[] = {{"atmega328p", "0x7000", {0x1E, 0x95, 0x0F}},
                                             {"atmega2560", "0x10800", {0x1E, 0x98, 0x01}}};

// Builds every program and its references; empty, or why the tools could not.
inline std::string BuildAvrPrograms(const ToolFolder& folder) {
  if (!folder.Run(
          "command -v avr-gcc && command -v avr-objcopy && command -v srec_cat && command -v objcopy"))
    return "avr-gcc, avr-objcopy, srec_cat or objcopy is missing (scripts/setup.sh installs them)";
  WriteFile(folder.File("fw.c"), std::string(R"(
#include <avr/eeprom.h>
#include <avr/fuse.h>
#include <avr/io.h>
#include <avr/lock.h>
#include <avr/pgmspace.h>
#include <avr/signature.h>
#include <stdint.h>
#define ROW(n) n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7
FUSES = {.low = 0xE2, .high = 0xD9, .extended = 0xFD};
LOCKBITS = 0xFC;
static const uint8_t table[] PROGMEM = {ROW(1), ROW(17), ROW(90), ROW(200), [700] = 0xA5};
uint8_t EEMEM settings[24] = {ROW(3), ROW(40), ROW(128)};
uint16_t EEMEM serial = 0xBEEF;
__attribute__((section(".far"), used, noinline)) void far(void) {
  for (uint8_t i = 0; i < 40; ++i) PORTC = i ^ 0x5A;
}
volatile uint8_t initialised[6] = {9, 8, 7, 6, 5, 4};
int main(void) {
  for (uint16_t i = 0;; ++i)
    PORTB = pgm_read_byte(&table[i % sizeof table]) + initialised[i % 6] + eeprom_read_byte(&settings[i % 24]);
}
)"));
  for (const AvrProgram& program : AvrPrograms) {
    const std::string elf = program.Elf();
    if (!folder.Run("avr-gcc -mmcu=" + std::string(program.chip) + " -Os -o " + elf +
                    " fw.c -Wl,--section-start=.far=" + program.far))
      return "avr-gcc cannot build for the AVR (is avr-libc installed?)";
    if (!folder.Run("avr-objcopy -O ihex -R .eeprom -R .fuse -R .lock -R .signature " + elf + " " +
                    program.FlashHex()) ||
        !folder.Run("avr-objcopy -O ihex -j .eeprom --change-section-lma .eeprom=0 " + elf + " " +
                    program.EepromHex()))
      return "avr-objcopy cannot split " + elf;
  }
  return {};
}

// A suite over the programs, built once for it; its tests are skipped where the tools are missing.
class AvrProgramsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new ToolFolder;
    missing_ = BuildAvrPrograms(*folder_);
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    if (!missing_.empty()) GTEST_SKIP() << missing_;
  }

  static inline ToolFolder* folder_ = nullptr;
  static inline std::string missing_;
};

}  // namespace kestrel
