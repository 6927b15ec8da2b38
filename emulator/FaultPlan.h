#pragma once
// Faults the emulator injects on purpose. Every decision is a pure function of the seed and of
// the number of the command (or of the idle poll) it concerns, so a run with the same seed and
// the same commands meets the same faults, however the timing falls.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrel::emulator {

struct FaultOptions {
  std::uint64_t seed = 1;
  // Shares from 0 to 1.
  double noise = 0;       // frames preceded by 1..16 random bytes
  double badHeader = 0;   // replies sent with a wrong header sum
  double badPayload = 0;  // replies sent with a wrong payload sum
  double split = 0;       // replies (with the poll behind them) written in 2..6 pieces, 2..6 ms apart
  double drop = 0;        // replies not sent at all; the poll still goes out
  double cross = 0;       // commands during whose arrival the device sends an idle poll
  // Commands are counted from 1; 0 turns a fault off.
  std::uint64_t stallAfter = 0;  // this command is answered only after `stallFor`
  std::chrono::milliseconds stallFor{0};
  // This command is not answered, and from it on the device sends nothing, not even polls,
  // until Emulator::SetSilent(false).
  std::uint64_t silentFrom = 0;
  std::uint64_t vanishAfter = 0;           // after answering this command the line goes away...
  std::chrono::milliseconds vanishFor{0};  // ...and comes back this much later
};

// What happens to the bytes sent after one command.
struct ReplyFaults {
  std::vector<std::uint8_t> noise;  // sent before the reply
  bool drop = false;
  bool badHeader = false;
  bool badPayload = false;
  std::vector<std::size_t> cuts;     // offsets in the written bytes where a new piece starts
  std::chrono::milliseconds gap{0};  // pause between the pieces
};

class FaultPlan {
 public:
  explicit FaultPlan(const FaultOptions& options) : options_(options) {}

  // `replySize`: the length of the reply frame, 0 when the command is refused. The cuts fall
  // inside what is then written: the noise, the reply unless dropped, and the poll.
  ReplyFaults ForReply(std::uint64_t command, std::size_t replySize) const;
  // Noise ahead of the idle poll with this number (counted from 1).
  std::vector<std::uint8_t> NoiseBeforePoll(std::uint64_t poll) const;
  // Where in the command's arrival (0 at its first byte, up to 1 at its last) an idle poll
  // crosses it; nothing for most commands.
  std::optional<double> CrossingPoll(std::uint64_t command) const;

 private:
  const FaultOptions options_;
};

}  // namespace kestrel::emulator
