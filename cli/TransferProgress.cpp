#include "cli/TransferProgress.h"

#include <algorithm>

#include "operations/ChipMemory.h"

namespace kestrel::cli {

namespace {

int Blocks(std::uint32_t bytes) { return static_cast<int>((bytes + MaxBlockSize - 1) / MaxBlockSize); }

}  // namespace

void TransferProgress::Start(const Action& action, std::uint32_t bytes, bool erase, bool verify) {
  const bool write = action.kind == ActionKind::Write;
  // SelectChip goes first, and a write's erase before its blocks.
  const int before = 1 + (write && erase ? 1 : 0);
  phases_ = {{action, before, bytes}};
  if (write && verify)
    phases_.push_back(
        {Action(ActionKind::Verify, action.memory, action.file), before + Blocks(bytes) + 1, bytes});
  current_ = 0;
  phaseStart_ = Clock::now();
}

std::optional<TransferProgress::Step> TransferProgress::At(int done) {
  if (phases_.empty()) return std::nullopt;
  std::size_t phase = 0;
  while (phase + 1 < phases_.size() && done > phases_[phase + 1].before) ++phase;
  if (phase != current_) {
    current_ = phase;
    phaseStart_ = Clock::now();
  }
  const Phase& p = phases_[phase];
  const auto blocksDone = static_cast<std::uint32_t>(std::clamp(done - p.before, 0, Blocks(p.bytes)));
  return Step{p.action, std::min(blocksDone * MaxBlockSize, p.bytes), p.bytes, Clock::now() - phaseStart_};
}

}  // namespace kestrel::cli
