#pragma once
// The emulator's inside: the device loop that runs on its own thread, and the state it shares
// with the hooks that other threads call.

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "emulator/Emulator.h"
#include "emulator/FrameParser.h"
#include "emulator/Line.h"
#include "emulator/Pacer.h"
#include "emulator/PortAlias.h"
#include "emulator/Tracer.h"

namespace kestrel::emulator {

struct Emulator::Impl {
  explicit Impl(EmulatorOptions options);
  ~Impl();

  void Run();

  // Loop steps, all on the device thread.
  void BecomeReady();
  void SendIdlePoll();
  void HandleCommand(const Bytes& payload, Clock::time_point arrived);
  // Counts a command carried out twice in a row.
  void NoteCarriedOut(const Bytes& payload);
  // Sends the reply (if any) and the poll, the device being ready from `ready` on.
  void Answer(std::uint64_t command, const std::optional<Bytes>& reply, Clock::time_point ready);
  // Writes `bytes` from `from` on, in the pieces that begin at `cuts`, `gap` apart, paced when
  // asked to.
  void Transmit(const Bytes& bytes, Clock::time_point from, const std::vector<std::size_t>& cuts = {},
                std::chrono::milliseconds gap = {});
  void Vanish(std::chrono::milliseconds gone);
  // Opens the line and registers the alias, retrying every half second until stopped.
  void Reopen();
  void OpenLine();
  void SaveIfChanged();
  // Waits `time` unless stopped first; false when stopped.
  bool Pause(Clock::duration time);
  enum class Event { Input, Timeout, Stop, LineFailed };
  Event WaitForInput(Clock::duration timeout);

  const EmulatorOptions options;
  const FaultPlan plan;
  Line line;
  PortAlias alias;
  Pacer pacer;
  Tracer tracer;
  FrameParser parser;

  // Guards `device` and `hostPath` against the hooks.
  mutable std::mutex mutex;
  Device device;
  std::string hostPath;

  Bytes lastCarriedOut;  // the last command the device carried out
  std::atomic<bool> unsaved{false};
  std::string storeFailure;  // the last failure to store the state said, empty after a success
  bool lineFailed = false;
  std::uint64_t idlePolls = 0;
  Clock::time_point nextPoll{};

  std::atomic<bool> stop{false};
  std::atomic<bool> silent{false};
  std::atomic<std::int64_t> vanishRequest{-1};  // milliseconds; -1 when none
  std::atomic<std::uint64_t> commands{0};
  std::atomic<std::uint64_t> repeated{0};
  int wake = -1;  // eventfd, readable once stopping
  std::thread thread;
};

}  // namespace kestrel::emulator
