#pragma once
// The chips the emulated programmer knows: memory sizes, signature, fuse and lock bits and the
// commands it offers for each. The device's own name and information lines live here too.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::emulator {

// One fuse bit: its name and whether it is programmed when the chip leaves the factory.
struct FuseBit {
  std::string name;
  bool programmed = false;
};

struct ChipType {
  std::string name;
  std::uint32_t flashSize = 0;
  std::uint32_t eepromSize = 0;
  std::uint32_t ramSize = 0;
  std::vector<std::uint8_t> signature;
  std::vector<FuseBit> fuses;
  std::vector<std::string> locks;
  // Bit j set: chip command j is offered.
  std::uint32_t commandMask = 0;
};

const std::vector<ChipType>& ChipCatalogue();
// A catalogue of `count` chips for tests that need a long chip list: the catalogue's chips over
// and over, each repetition's names numbered (" #2", " #3", ...). Never fewer than the catalogue.
std::vector<ChipType> ChipCatalogue(std::size_t count);

// Texts are UTF-8 here; the device sends them in code page 1251.
const std::string& ProgrammerName();
// The information lines of a device that knows `chipCount` chips.
std::vector<std::string> ProgrammerInfoLines(std::size_t chipCount = ChipCatalogue().size());

}  // namespace kestrel::emulator
