#pragma once
// The files of read, write and verify, in the format their names give them (FileFormatOf): Intel
// HEX, S-records, ELF (read only) or raw binary; "-" is the standard input or output in raw
// binary. Any readable file is read (a FIFO, a device, /dev/fd/N as a stream); a device or FIFO
// written to is written in place. Errors are one English line naming the file and the cause
// (exit status 4).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "buffer/ElfReader.h"
#include "cli/Job.h"

namespace kestrel::cli {

using Image = std::vector<std::uint8_t>;

struct LoadedImage {
  Image image;
  std::optional<SignatureBytes> signature;  // an AVR ELF file's .signature section
  std::string error;                        // empty when the image was read
};

// The image of `memory` (Flash or Eeprom) in `file`: an ELF file's program memory or EEPROM image
// (an error when it has none), any other file's only image.
LoadedImage LoadImage(const std::string& file, Memory memory);

// Writes the image; a file is replaced whole, or left as it was on failure. The error, if any:
// empty when the reader of the standard output has gone, which ends the run quietly.
std::optional<std::string> SaveImage(const std::string& file, std::span<const std::uint8_t> image);

// The image of each write and verify, by action index (empty for other actions). Every file is
// read once, before any port is opened, so that the standard input serves every port.
using InputImages = std::vector<Image>;

// The images of the job's inputs, or the error of the first that cannot be read or of the first
// read whose file cannot be written (an ELF name).
struct LoadedInputs {
  InputImages images;
  // By action index: the signature an AVR ELF file of a write or verify carries.
  std::vector<std::optional<SignatureBytes>> signatures;
  std::string error;
};

LoadedInputs LoadInputImages(const Job& job);

}  // namespace kestrel::cli
