#pragma once
// Loading the working file into the memory image: raw binary, or Intel HEX when the name's
// extension is exactly ".hex" or ".HEX" and the HEX option (switch 4) is on.

#include <cstdint>
#include <span>
#include <string>

namespace kestrel {

struct Session;

// The size limit of an image: images of this size or more are refused.
inline constexpr std::uint64_t MaxImageSize = 524288;
inline constexpr int HexOption = 4;
inline constexpr char SizeWarningText[] = "Вряд ли Вы хотите запрограммировать\n\rфайл такой длины!";

// The extension rule: ".hex" or ".HEX" after the last dot of the file's name; any other spelling
// (".Hex") is not a HEX name.
bool IsHexFileName(const std::string& path);

// Makes `image` the buffer and formats the grid; an image of MaxImageSize bytes or more gets the
// size warning and leaves the buffer untouched. Returns whether the buffer took the image.
bool LoadBinaryStream(Session& session, std::span<const std::uint8_t> image);

// Empties the buffer and the grid, then loads WorkingFileName. Returns whether a file was loaded:
// false when no such file exists (silently) or it is over the size limit (with the size warning,
// also for a HEX file, whose image would be small). Raises EAbort for a malformed HEX file and
// FileError for a file that exists but cannot be read; the buffer then stays empty.
bool LoadFile(Session& session);

// The same load without emptying the buffer first: a refused file leaves the old buffer.
bool LoadWorkingFileIntoBuffer(Session& session);

}  // namespace kestrel
