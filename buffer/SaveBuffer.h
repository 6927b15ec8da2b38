#pragma once
// Saving the memory image, while the formats are understood, in the format the chosen name gives
// it (FileFormatOf): Intel HEX or S-records, so that the file loads back as the same image; an
// ELF name is refused, ELF files being read only. Otherwise as raw binary.

#include <functional>
#include <optional>
#include <string>

namespace kestrel {

class MemoryImage;

inline constexpr char OverwriteQuestion[] = "Перезаписать существующий файл?";
inline constexpr char ElfNotWrittenWarning[] =
    "Сохранить в формате ELF нельзя.\n\rВыберите имя с расширением .hex, .srec или .bin.";

// The save dialog: shows `proposed` and returns the chosen name, or nothing when cancelled.
using AskFileNameFn = std::function<std::optional<std::string>(const std::string& proposed)>;

// Proposes WorkingFileName, asks before replacing an existing file and writes the whole buffer.
// Returns false when the dialog was cancelled, the user declined to overwrite or an ELF name got
// its warning; raises FileError when the file cannot be written, leaving any old file as it was.
// Changes neither WorkingFileName nor BufferModified.
bool SaveBufferAs(MemoryImage& image, bool understandHex, const AskFileNameFn& askFileName);

}  // namespace kestrel
