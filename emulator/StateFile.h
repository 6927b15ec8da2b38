#pragma once
// Keeps what the chips hold between runs: memories, fuse and lock bits and signatures, per chip
// name. RAM is volatile and not kept. The file is replaced in one step (a temporary file beside
// it, then a rename), so a crash never leaves half of it.

#include <filesystem>
#include <string>
#include <vector>

#include "emulator/Device.h"

namespace kestrel::emulator {

// `chips` are those of `catalogue`, in its order. Throws std::system_error when the file cannot
// be written.
void SaveChipStates(const std::filesystem::path& file, const std::vector<ChipState>& chips,
                    const std::vector<ChipType>& catalogue = ChipCatalogue());

// Throws std::runtime_error naming the folder unless the folder the file is stored in (where
// its links lead) exists and may be written to, so that a state that could not be kept is
// refused at the start rather than lost at the end.
void CheckStateFolder(const std::filesystem::path& file);

// Fills `chips` (catalogue order) from the file. Entries of chips the catalogue lacks and
// memories whose size no longer matches it are skipped. False, with `chips` untouched, when the
// file cannot be read or is damaged.
bool LoadChipStates(const std::filesystem::path& file, std::vector<ChipState>& chips,
                    const std::vector<ChipType>& catalogue = ChipCatalogue());

}  // namespace kestrel::emulator
