#include "cli/Result.h"

#include "cli/Text.h"

namespace kestrel::cli {

namespace {

int Rank(ExitStatus status) {
  switch (status) {
    case ExitStatus::Done:
      return 0;
    case ExitStatus::DeviceFailure:
      return 1;
    case ExitStatus::Link:
      return 2;
    case ExitStatus::File:
      return 3;
    case ExitStatus::Usage:
      return 4;
    case ExitStatus::Interrupted:
    case ExitStatus::Terminated:
      return 5;
  }
  return 4;
}

// What an action stopped midway leaves behind.
const char* Remains(const Action& action) {
  switch (action.kind) {
    case ActionKind::Write:
      return "the chip is partly written";
    case ActionKind::Erase:
      return "the chip is partly erased";
    case ActionKind::Fuses:
    case ActionKind::Lock:
      if (!action.bits.empty()) return "the bits are partly written";
      break;
    case ActionKind::Read:
      return "the chip is unchanged, nothing saved";
    default:
      break;
  }
  return "the chip is unchanged";
}

}  // namespace

ExitStatus Worse(ExitStatus a, ExitStatus b) { return Rank(a) >= Rank(b) ? a : b; }

std::string InterruptionText(const Interruption& interruption) {
  std::string text = ActionTitle(interruption.action) + " interrupted";
  if (interruption.total != 0)
    text += " at " + HexAddress(interruption.done) + " of " + HexAddress(interruption.total);
  return text + ": " + Remains(interruption.action);
}

}  // namespace kestrel::cli
