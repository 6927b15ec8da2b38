#pragma once
// Keeps what the chips hold between runs: memories, fuse and lock bits and signatures, per chip
// name. RAM is volatile and not kept. The file is replaced in one step (a temporary file beside
// it, then a rename), so a crash never leaves half of it.

#include <filesystem>
#include <string>
#include <vector>

#include "emulator/Device.h"

namespace kestrel::emulator {

// Throws std::system_error when the file cannot be written.
void SaveChipStates(const std::filesystem::path& file, const std::vector<ChipState>& chips);

// Fills `chips` (catalogue order) from the file. Entries of unknown chips and memories whose
// size no longer matches the catalogue are skipped. False, with `chips` untouched, when the
// file cannot be read or is damaged.
bool LoadChipStates(const std::filesystem::path& file, std::vector<ChipState>& chips);

}  // namespace kestrel::emulator
