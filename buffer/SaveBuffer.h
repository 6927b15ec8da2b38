#pragma once
// Saving the memory image: as Intel HEX to a name ending in ".hex" (any case) while HEX files are
// understood, so that the file loads back as the same image; otherwise as raw binary.

#include <functional>
#include <optional>
#include <string>

namespace kestrel {

class MemoryImage;

inline constexpr char OverwriteQuestion[] = "Перезаписать существующий файл?";

// The save dialog: shows `proposed` and returns the chosen name, or nothing when cancelled.
using AskFileNameFn = std::function<std::optional<std::string>(const std::string& proposed)>;

// Proposes WorkingFileName, asks before replacing an existing file and writes the whole buffer.
// Returns false when the dialog was cancelled or the user declined to overwrite; raises
// FileError when the file cannot be written, leaving any old file as it was. Changes neither
// WorkingFileName nor BufferModified.
bool SaveBufferAs(MemoryImage& image, bool understandHex, const AskFileNameFn& askFileName);

}  // namespace kestrel
