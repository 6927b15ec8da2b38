#include "cli/Result.h"

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
  }
  return 4;
}

}  // namespace

ExitStatus Worse(ExitStatus a, ExitStatus b) { return Rank(a) >= Rank(b) ? a : b; }

}  // namespace kestrel::cli
