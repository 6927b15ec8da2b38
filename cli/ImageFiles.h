#pragma once
// The files of read, write and verify: a name ending in ".hex" (any case) is Intel HEX (read by
// the buffer's reader, written by its writer with type 04 records), "-" is the standard input
// or output in raw binary, anything else raw binary. Any readable file is read (a FIFO, a
// device, /dev/fd/N as a stream); a device or FIFO written to is written in place. Errors are one
// English line naming the file and the cause (exit status 4).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/Job.h"

namespace kestrel::cli {

using Image = std::vector<std::uint8_t>;

struct LoadedImage {
  Image image;
  std::string error;  // empty when the image was read
};

LoadedImage LoadImage(const std::string& file);

// Writes the image; a file is replaced whole, or left as it was on failure. The error, if any:
// empty when the reader of the standard output has gone, which ends the run quietly.
std::optional<std::string> SaveImage(const std::string& file, std::span<const std::uint8_t> image);

// The image of each write and verify, by action index (empty for other actions). Every file is
// read once, before any port is opened, so that the standard input serves every port.
using InputImages = std::vector<Image>;

// The images of the job's inputs, or the error of the first that cannot be read.
struct LoadedInputs {
  InputImages images;
  std::string error;
};

LoadedInputs LoadInputImages(const Job& job);

}  // namespace kestrel::cli
