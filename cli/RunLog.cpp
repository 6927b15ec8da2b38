#include "cli/RunLog.h"

#include "cli/JsonReport.h"

namespace kestrel::cli {

std::optional<std::string> RunLog::Append(const PortResult& result) {
  const std::lock_guard lock(mutex_);
  if (AppendLine(JsonReport(result)) != 0) return path_ + ": the run's record cannot be written";
  return std::nullopt;
}

}  // namespace kestrel::cli
