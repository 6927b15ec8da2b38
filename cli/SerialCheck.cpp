#include "cli/SerialCheck.h"

#include <string>

#include "cli/Text.h"

namespace kestrel::cli {

std::optional<Refusal> CheckSerialAgainstChip(const Job& job, const ChipProperties& chip) {
  if (!job.serial) return std::nullopt;
  const SerialOptions& serial = *job.serial;
  const std::uint32_t size = chip.*MemoryOf(serial.memory).size;
  if (std::uint64_t{serial.address} + static_cast<std::uint64_t>(serial.bytes) <= size) return std::nullopt;
  return Refusal{ExitStatus::Usage, "--serial: " + std::to_string(serial.bytes) + " bytes at " +
                                        HexAddress(serial.address) + " reach past the chip's " +
                                        std::to_string(size) + " bytes of " +
                                        std::string(MemoryName(serial.memory))};
}

}  // namespace kestrel::cli
