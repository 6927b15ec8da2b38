#pragma once
// Loading the working file into the memory image: raw binary, or Intel HEX when the name ends in
// ".hex" (in any case) and HEX files are understood (the settings' CheckBox4).

#include <cstdint>
#include <span>
#include <string>

namespace kestrel {

class MemoryImage;

// The size limit of an image: images of this size or more are refused.
inline constexpr std::uint64_t MaxImageSize = 524288;
inline constexpr char SizeWarningText[] = "Вряд ли Вы хотите запрограммировать\n\rфайл такой длины!";

// The extension rule: ".hex" in any case after the last dot of the file's name.
bool IsHexFileName(const std::string& path);
// Whether the file at `path` is loaded and saved as Intel HEX: a HEX name while HEX is understood.
bool IsHexFile(const std::string& path, bool understandHex);

// Makes `bytes` the image and formats the grid; an image of MaxImageSize bytes or more gets the
// size warning and leaves the buffer untouched. Returns whether the buffer took the bytes.
bool LoadBinaryStream(MemoryImage& image, std::span<const std::uint8_t> bytes);

// Empties the buffer and the grid, then loads WorkingFileName. Returns whether a file was loaded:
// false when no such file exists (silently), or a binary file or HEX image would reach the size
// limit or a HEX text is over MaxHexTextSize (with the size warning). Raises EAbort for a
// malformed HEX file (its report in the status panel) and FileError for a file that exists but
// cannot be read; the buffer then stays empty.
bool LoadFile(MemoryImage& image, bool understandHex);

// The same load without emptying the buffer first: a refused file leaves the old buffer.
bool LoadWorkingFileIntoBuffer(MemoryImage& image, bool understandHex);

}  // namespace kestrel
