#pragma once
// What can be told about a job once the chip is chosen, before anything else is sent: the
// chip's number for -c, the commands each action needs, whether the chip offers them, whether
// the BITS and the images fit.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/ImageFiles.h"
#include "cli/Job.h"
#include "cli/Result.h"
#include "link/CommandCatalogue.h"
#include "operations/ChipMemory.h"
#include "operations/Session.h"

namespace kestrel::cli {

// The chip list's number (row) that -c names: a number below the list's length, or a name
// equal to a listed one without regard to ASCII case (the first such). Else the error text,
// listing the choices.
std::variant<int, std::string> ChooseChip(const std::vector<std::string>& chips, std::string_view wanted);

// The chip memory an action's memory names; flash, and erase's "all", are the program memory,
// whose erase is EraseAll.
const ChipMemory& MemoryOf(Memory memory);

// The chip commands an action sends, given -e and -V: the operation that runs it, and the erase
// and verify its sequence then needs. None for info and chip.
std::vector<ChipCommand> RequiredCommands(const Action& action, bool erase, bool verify);

struct Refusal {
  ExitStatus status;
  std::string message;
};

// The first reason the job cannot run on the chip: a command it does not offer (status 2),
// BITS not one per bit (2), an image of a write or verify larger than its memory (4).
// `images` come from LoadInputImages.
std::optional<Refusal> CheckJobAgainstChip(const Job& job, const InputImages& images,
                                           const ChipProperties& chip);

}  // namespace kestrel::cli
