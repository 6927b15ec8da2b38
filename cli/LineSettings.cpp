#include "cli/LineSettings.h"

#include "operations/ParityList.h"

namespace kestrel::cli {

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
    // A stored row outside the list counts as none.
    job.parity = ParityForListIndex(stored.parity.value_or(-1)).value_or(pOdd);
    warn("Parity", "odd");
  }
  return warnings;
}

}  // namespace kestrel::cli
