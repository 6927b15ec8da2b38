#pragma once
// The port, rate and parity of a job: the command line's, else the desktop program's stored
// ones, else the defaults.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/Job.h"
#include "cli/StoredSettings.h"

namespace kestrel::cli {

inline constexpr char DefaultPort[] = "COM1";
inline constexpr std::uint32_t DefaultBaud = 56000;

// Gives the job the stored port, rate and parity where the command line named none, else the
// defaults (COM1, 56000, odd). Returns a warning line for each unusable stored value it needed.
std::vector<std::string> ApplyStoredSettings(Job& job, const StoredSettings& stored);

}  // namespace kestrel::cli
