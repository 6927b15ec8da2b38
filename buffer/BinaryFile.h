#pragma once
// Loading the working file into the memory image: raw binary, or Intel HEX when the name ends in
// ".hex" (in any case) and the HEX option (switch 4) is on.

#include <cstdint>
#include <span>
#include <string>

namespace kestrel {

struct Session;

// The size limit of an image: images of this size or more are refused.
inline constexpr std::uint64_t MaxImageSize = 524288;
inline constexpr int HexOption = 4;
inline constexpr char SizeWarningText[] = "Вряд ли Вы хотите запрограммировать\n\rфайл такой длины!";

// The extension rule: ".hex" in any case after the last dot of the file's name.
bool IsHexFileName(const std::string& path);
// Whether the file at `path` is loaded and saved as Intel HEX: a HEX name while the option is on.
bool IsHexFile(const Session& session, const std::string& path);

// Makes `image` the buffer and formats the grid; an image of MaxImageSize bytes or more gets the
// size warning and leaves the buffer untouched. Returns whether the buffer took the image.
bool LoadBinaryStream(Session& session, std::span<const std::uint8_t> image);

// Empties the buffer and the grid, then loads WorkingFileName. Returns whether a file was loaded:
// false when no such file exists (silently), or a binary file or HEX image would reach the size
// limit or a HEX text is over MaxHexTextSize (with the size warning). Raises EAbort for a
// malformed HEX file (its report in the status panel) and FileError for a file that exists but
// cannot be read; the buffer then stays empty.
bool LoadFile(Session& session);

// The same load without emptying the buffer first: a refused file leaves the old buffer.
bool LoadWorkingFileIntoBuffer(Session& session);

}  // namespace kestrel
