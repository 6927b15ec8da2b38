#include "buffer/ElfReader.h"

#include <algorithm>

#include "buffer/ImageBuilder.h"

namespace kestrel {

namespace {

constexpr std::uint8_t Magic[] = {0x7F, 'E', 'L', 'F'};
constexpr std::uint8_t Class32 = 1, Class64 = 2;
constexpr std::uint8_t LittleEndian = 1, BigEndian = 2;
constexpr std::uint8_t CurrentVersion = 1;
constexpr std::uint16_t TypeExecutable = 2;
constexpr std::uint16_t MachineAvr = 83;
constexpr std::uint32_t SegmentLoad = 1;
constexpr std::size_t HeaderSize = 52;
constexpr std::size_t SegmentEntrySize = 32;

enum class Memory { Program, Eeprom, Signature };

// A range of load addresses and the memory it holds, the first address being that memory's 0.
struct Region {
  std::uint64_t begin;
  std::uint64_t end;
  Memory memory;
};

constexpr Region AvrRegions[] = {
    {0, 0x800000, Memory::Program},
    {0x810000, 0x820000, Memory::Eeprom},
    {0x840000, 0x850000, Memory::Signature},
};
constexpr Region OtherRegions[] = {{0, std::uint64_t{1} << 32, Memory::Program}};

// The file's integers in its byte order, at offsets the caller has checked.
class Fields {
 public:
  Fields(std::span<const std::uint8_t> file, bool bigEndian) : file_(file), bigEndian_(bigEndian) {}

  std::uint32_t Read(std::size_t at, std::size_t size) const {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value = value << 8 | file_[at + (bigEndian_ ? i : size - 1 - i)];
    return value;
  }
  std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(Read(at, 2)); }
  std::uint32_t U32(std::size_t at) const { return Read(at, 4); }

  // Whether `size` bytes from `offset` lie inside the file.
  bool Holds(std::uint64_t offset, std::uint64_t size) const {
    return offset <= file_.size() && size <= file_.size() - offset;
  }

 private:
  std::span<const std::uint8_t> file_;
  bool bigEndian_;
};

struct Segment {
  std::uint32_t type;
  std::uint32_t offset;
  std::uint32_t address;  // physical
  std::uint32_t fileSize;
  std::uint32_t memorySize;
};

Segment SegmentAt(const Fields& fields, std::size_t at) {
  return {.type = fields.U32(at),
          .offset = fields.U32(at + 4),
          .address = fields.U32(at + 12),
          .fileSize = fields.U32(at + 16),
          .memorySize = fields.U32(at + 20)};
}

ElfImages NoImages(ImageFault fault) {
  return {.program = {}, .eeprom = {}, .signature = {}, .fault = fault};
}

class Loader {
 public:
  explicit Loader(std::span<const Region> regions) : regions_(regions) {}

  // The part of `data`, loaded from `address` on, that falls in each region goes to its memory.
  ImageFault Place(std::uint64_t address, std::span<const std::uint8_t> data) {
    for (const Region& region : regions_) {
      const std::uint64_t begin = std::max(address, region.begin);
      const std::uint64_t end = std::min(address + data.size(), region.end);
      if (begin >= end) continue;
      const auto part =
          data.subspan(static_cast<std::size_t>(begin - address), static_cast<std::size_t>(end - begin));
      if (const ImageFault fault = Builder(region.memory).Place(begin - region.begin, part);
          fault != ImageFault::None)
        return fault;
    }
    return ImageFault::None;
  }

  ElfImages Take() {
    ElfImages images{.program = program_.Take(), .eeprom = eeprom_.Take(), .signature = {}, .fault = {}};
    if (images.program.empty() && images.eeprom.empty()) return NoImages(ImageFault::NoProgramData);
    if (const auto bytes = signature_.Take(); bytes.size() >= 3)
      images.signature = {bytes[2], bytes[1], bytes[0]};
    return images;
  }

 private:
  ImageBuilder& Builder(Memory memory) {
    switch (memory) {
      case Memory::Eeprom:
        return eeprom_;
      case Memory::Signature:
        return signature_;
      case Memory::Program:
        break;
    }
    return program_;
  }

  std::span<const Region> regions_;
  ImageBuilder program_;
  ImageBuilder eeprom_;
  ImageBuilder signature_;
};

}  // namespace

ElfImages ReadElfImages(std::span<const std::uint8_t> file) {
  if (file.size() < sizeof Magic || !std::equal(std::begin(Magic), std::end(Magic), file.begin()))
    return NoImages(ImageFault::NotElf);
  if (file.size() < HeaderSize) return NoImages(ImageFault::BadElfHeader);
  if (file[4] == Class64) return NoImages(ImageFault::Elf64);
  if (file[4] != Class32 || (file[5] != LittleEndian && file[5] != BigEndian) || file[6] != CurrentVersion)
    return NoImages(ImageFault::BadElfHeader);
  const Fields fields(file, file[5] == BigEndian);
  if (fields.U16(16) != TypeExecutable) return NoImages(ImageFault::NotExecutable);

  const std::uint32_t tableOffset = fields.U32(28);
  const std::uint16_t entrySize = fields.U16(42);
  const std::uint16_t entries = fields.U16(44);
  if (entries != 0 &&
      (entrySize < SegmentEntrySize || !fields.Holds(tableOffset, std::uint64_t{entrySize} * entries)))
    return NoImages(ImageFault::BadElfHeader);

  Loader loader(fields.U16(18) == MachineAvr ? std::span<const Region>(AvrRegions)
                                             : std::span<const Region>(OtherRegions));
  for (std::size_t i = 0; i < entries; ++i) {
    const Segment segment = SegmentAt(fields, tableOffset + i * entrySize);
    if (segment.type != SegmentLoad || segment.fileSize == 0) continue;
    if (segment.fileSize > segment.memorySize || !fields.Holds(segment.offset, segment.fileSize))
      return NoImages(ImageFault::BadElfHeader);
    const ImageFault fault = loader.Place(segment.address, file.subspan(segment.offset, segment.fileSize));
    if (fault != ImageFault::None) return NoImages(fault);
  }
  return loader.Take();
}

}  // namespace kestrel
