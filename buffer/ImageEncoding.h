#pragma once
// The content of a memory image's file in the format it is written in.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "buffer/FileFormat.h"

namespace kestrel {

// ELF files are read, never written.
constexpr bool IsWritable(FileFormat format) { return format != FileFormat::Elf; }

// What a file of the writable `format` at `path` holds for `image`: its Intel HEX or S-record
// text (the S0 header names the file, without its folder), or the raw bytes.
std::vector<std::uint8_t> EncodeImage(FileFormat format, std::span<const std::uint8_t> image,
                                      const std::string& path);

}  // namespace kestrel
