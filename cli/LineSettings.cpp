#include "cli/LineSettings.h"

#include <array>

namespace kestrel::cli {

TParity ParityForListIndex(std::optional<std::int32_t> index) {
  static constexpr std::array<TParity, 5> parities{pNone, pOdd, pEven, pSpace, pMark};
  if (!index || *index < 0 || *index >= static_cast<std::int32_t>(parities.size())) return pOdd;
  return parities[*index];
}

std::vector<std::string> ApplyStoredSettings(Job& job, const StoredSettings& stored) {
  std::vector<std::string> warnings;
  const auto warn = [&](const char* name, const std::string& used) {
    if (stored.unreadable.contains(name))
      warnings.push_back("the stored " + std::string(name) + " in " + stored.where +
                         " cannot be used; using " + used);
  };
  if (job.ports.empty()) {
    job.ports.push_back(stored.comPort.value_or(DefaultPort));
    warn("ComPort", job.ports.front());
  }
  if (!job.baud) {
    job.baud = stored.bitrate ? static_cast<std::uint32_t>(*stored.bitrate) : DefaultBaud;
    warn("Bitrate", std::to_string(*job.baud));
  }
  if (!job.parity) {
    job.parity = ParityForListIndex(stored.parity);
    warn("Parity", "odd");
  }
  return warnings;
}

}  // namespace kestrel::cli
