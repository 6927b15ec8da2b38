#pragma once
// Whether the serial number fits the chosen chip, told before anything is sent to it.

#include <optional>

#include "cli/ChipCheck.h"
#include "cli/Job.h"

namespace kestrel::cli {

// A refusal (status 2) when the job's serial number would reach past its memory on the chip;
// none when it fits or the job has no serial number.
std::optional<Refusal> CheckSerialAgainstChip(const Job& job, const ChipProperties& chip);

}  // namespace kestrel::cli
