#pragma once
// How far a memory action has got, from the number of its commands that have left the port's
// queue. A read, write or verify sends SelectChip, maybe an erase, its blocks and EndOperation; a
// write with -V then verifies in blocks of its own. Each run of blocks is a phase with its own
// title and bytes, so a write and its verify are counted apart.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/Job.h"

namespace kestrel::cli {

class TransferProgress {
 public:
  using Clock = std::chrono::steady_clock;

  struct Step {
    Action action;  // the phase's: a write's verify is a verify
    std::uint32_t done = 0;
    std::uint32_t total = 0;
    Clock::duration elapsed{};  // since the phase began
  };

  // The phases of `action` over `bytes` of the image (a read: the whole memory), with -e and -V.
  void Start(const Action& action, std::uint32_t bytes, bool erase, bool verify);
  // No memory action runs.
  void Stop() { phases_.clear(); }

  // Where the action stands once `done` of its commands have left the queue; none when no
  // memory action runs.
  std::optional<Step> At(int done);

 private:
  struct Phase {
    Action action;
    int before = 0;  // commands ahead of its first block
    std::uint32_t bytes = 0;
  };

  std::vector<Phase> phases_;
  std::size_t current_ = 0;
  Clock::time_point phaseStart_;
};

}  // namespace kestrel::cli
