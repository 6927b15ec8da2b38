#pragma once
// Which format a memory image's file is read and written in, told by the extension of its name.

#include <cstddef>
#include <string>

namespace kestrel {

enum class FileFormat { Binary, IntelHex, SRecord, Elf };

// The format of the file at `path` while the formats are understood (the settings' "понимать
// HEX-файлы"; kestrel-cli always): .hex, .ihx and .ihex are Intel HEX; .srec, .s19, .s28, .s37
// and .mot Motorola S-records; .elf ELF; any letter case, after the last dot of the file's name.
// Every other file, and every file while the formats are not understood, is raw binary.
FileFormat FileFormatOf(const std::string& path, bool understandFormats);

// The largest HEX or S-record text read: a full image of MaxImageSize bytes in 16-byte records fits.
inline constexpr std::size_t MaxRecordTextSize = 4 * 1024 * 1024;
// The largest ELF file read: room for debugging information beside the program.
inline constexpr std::size_t MaxElfFileSize = 64 * 1024 * 1024;

// The largest file of `format` that is read; a raw binary file's limit is the caller's.
std::size_t MaxFileSize(FileFormat format, std::size_t binaryLimit);

}  // namespace kestrel
