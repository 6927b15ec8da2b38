#pragma once
// Serial numbers as bytes of a memory image: their encodings and their place in the images of a
// job's writes and verifies.

#include <cstdint>
#include <string>
#include <vector>

#include "cli/ImageFiles.h"
#include "cli/Job.h"

namespace kestrel::cli {

// The largest number `bytes` bytes of `format` hold.
std::uint64_t SerialMaximum(int bytes, SerialFormat format);

// "N does not fit B bytes of FORMAT (at most M)", or an empty text when it fits.
std::string SerialMisfit(std::uint64_t number, int bytes, SerialFormat format);

// The `bytes` bytes of `number` in `format`; the number must fit them.
std::vector<std::uint8_t> EncodeSerial(std::uint64_t number, int bytes, SerialFormat format);

// The job's input images with the number's bytes at the serial's address in the image of every
// write and verify of the serial's memory, so that the verify checks them too. An image that
// ends before the address is filled up with FF, as an erased chip reads. Other images stay as
// they are.
InputImages WithSerial(const Job& job, const InputImages& images, std::uint64_t number);

}  // namespace kestrel::cli
