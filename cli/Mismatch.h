#pragma once
// What differs between a file's image and the chip's memory read back after a failed verify:
// every differing byte counted, their address ranges, the first ones listed, and whether the
// difference looks like a chip left unerased or unwritten.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrel::cli {

struct DifferingByte {
  std::uint32_t address = 0;
  std::uint8_t chip = 0;
  std::uint8_t file = 0;
  bool operator==(const DifferingByte&) const = default;
};

struct AddressRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;  // included
  bool operator==(const AddressRange&) const = default;
};

// Flash and EEPROM only clear bits when written, and erasing sets them all.
enum class MismatchLook {
  Mixed,       // bits differ both ways
  NotErased,   // every differing bit clear on the chip and set in the file
  NotWritten,  // every differing bit set on the chip and clear in the file
};

// The most differing bytes a report lists one by one.
inline constexpr std::size_t MaxListedBytes = 256;

struct Mismatch {
  std::size_t count = 0;
  std::vector<AddressRange> ranges;  // all of them, in address order
  std::vector<DifferingByte> bytes;  // the first MaxListedBytes
  MismatchLook look = MismatchLook::Mixed;
  bool operator==(const Mismatch&) const = default;
};

// Compares over the file's image from address 0; chip bytes past it are not looked at, and file
// bytes past the end of `chip` (a read cut short) are not counted.
Mismatch CompareWithChip(std::span<const std::uint8_t> file, std::span<const std::uint8_t> chip);

// The report's lines: "N bytes differ, in 0x09A3-0x09A4, 0x0C00" (at most 8 ranges named), the
// first 8 bytes as "0x09A3: chip 00, file FF", then what the difference looks like, if anything.
std::vector<std::string> MismatchLines(const Mismatch& mismatch);

}  // namespace kestrel::cli
