#pragma once
// Loading the working file into the memory image, in the format its name gives it (FileFormatOf)
// while the formats are understood (the settings' CheckBox4), else as raw binary.

#include <cstdint>
#include <span>
#include <string>

#include "buffer/FileFormat.h"

namespace kestrel {

class MemoryImage;

// The size limit of an image: images of this size or more are refused.
inline constexpr std::uint64_t MaxImageSize = 524288;
inline constexpr char SizeWarningText[] = "Вряд ли Вы хотите запрограммировать\n\rфайл такой длины!";

// Makes `bytes` the image and formats the grid; an image of MaxImageSize bytes or more gets the
// size warning and leaves the buffer untouched. Returns whether the buffer took the bytes.
bool LoadBinaryStream(MemoryImage& image, std::span<const std::uint8_t> bytes);

// Makes the image that `bytes`, the content of the file at `path`, hold in `format` the memory
// image through LoadBinaryStream; an ELF file gives its program memory image, and when it holds
// EEPROM data too the status panel says so after the working file's name. An image that would
// reach the size limit gets the size warning and returns false. A malformed file puts its report
// (ImageFaultMessage) into the status panel and raises EAbort. Either way the buffer is left as
// it was.
bool LoadImageBytes(MemoryImage& image, std::span<const std::uint8_t> bytes, FileFormat format,
                    const std::string& path);

// Empties the buffer and the grid, then loads WorkingFileName. Returns whether a file was loaded:
// false when no such file exists (silently), or a binary file or an image would reach the size
// limit or a file is over its format's MaxFileSize (with the size warning). Raises EAbort for a
// malformed file (its report in the status panel) and FileError for a file that exists but
// cannot be read; the buffer then stays empty.
bool LoadFile(MemoryImage& image, bool understandHex);

// The same load without emptying the buffer first: a refused file leaves the old buffer.
bool LoadWorkingFileIntoBuffer(MemoryImage& image, bool understandHex);

}  // namespace kestrel
