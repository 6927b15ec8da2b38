#include "emulator/FaultPlan.h"

#include <algorithm>

#include "link/Frame.h"

namespace kestrel::emulator {

namespace {

// SplitMix64: small, fast and the same on every platform.
class Random {
 public:
  Random(std::uint64_t seed, std::uint64_t stream, std::uint64_t index)
      : state_(seed ^ Mix(stream * 0x9E3779B97F4A7C15ull + index)) {}

  std::uint64_t Next() { return Mix(state_ += 0x9E3779B97F4A7C15ull); }
  bool Chance(double share) { return static_cast<double>(Next() >> 11) * 0x1p-53 < share; }
  // From `low` to `high`, both included.
  std::uint64_t Between(std::uint64_t low, std::uint64_t high) { return low + Next() % (high - low + 1); }

 private:
  static std::uint64_t Mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  std::uint64_t state_;
};

enum Stream : std::uint64_t { ReplyStream = 1, PollStream = 2, CrossStream = 3 };

std::vector<std::uint8_t> DrawNoise(Random& random, double share) {
  std::vector<std::uint8_t> noise;
  if (random.Chance(share)) {
    noise.resize(random.Between(1, 16));
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random.Next());
  }
  return noise;
}

}  // namespace

ReplyFaults FaultPlan::ForReply(std::uint64_t command, std::size_t replySize) const {
  Random random(options_.seed, ReplyStream, command);
  ReplyFaults faults;
  faults.noise = DrawNoise(random, options_.noise);
  faults.drop = random.Chance(options_.drop);
  faults.badHeader = random.Chance(options_.badHeader);
  faults.badPayload = random.Chance(options_.badPayload);
  const std::size_t size = faults.noise.size() + (faults.drop ? 0 : replySize) + FrameHeaderSize;
  if (random.Chance(options_.split) && size > 1) {
    const auto pieces = random.Between(2, std::min<std::uint64_t>(6, size));
    while (faults.cuts.size() + 1 < pieces) {
      const std::size_t cut = random.Between(1, size - 1);
      if (std::find(faults.cuts.begin(), faults.cuts.end(), cut) == faults.cuts.end())
        faults.cuts.push_back(cut);
    }
    std::sort(faults.cuts.begin(), faults.cuts.end());
    faults.gap = std::chrono::milliseconds(random.Between(2, 6));
  }
  return faults;
}

std::vector<std::uint8_t> FaultPlan::NoiseBeforePoll(std::uint64_t poll) const {
  Random random(options_.seed, PollStream, poll);
  return DrawNoise(random, options_.noise);
}

std::optional<double> FaultPlan::CrossingPoll(std::uint64_t command) const {
  Random random(options_.seed, CrossStream, command);
  if (!random.Chance(options_.cross)) return std::nullopt;
  return static_cast<double>(random.Next() >> 11) * 0x1p-53;
}

}  // namespace kestrel::emulator
