// The device loop: poll when ready, take one command, carry it out, answer, poll again.

#include <poll.h>
#include <sys/prctl.h>

#include <algorithm>
#include <iostream>

#include "emulator/EmulatorImpl.h"
#include "emulator/StateFile.h"
#include "link/Frame.h"

namespace kestrel::emulator {

namespace {

using std::chrono::milliseconds;

// Unread bytes the program may leave behind before the device takes the line as unheard.
constexpr std::size_t UnreadLimit = 512;
constexpr auto SilentWait = milliseconds(100);
constexpr auto ReopenInterval = milliseconds(500);
// How long a vanishing device lets its last bytes reach the program.
constexpr auto DrainPatience = milliseconds(200);

// Waits for the descriptors up to `time`, to the microsecond: the line's pacing depends on it.
int WaitFor(pollfd* fds, nfds_t count, Clock::duration time) {
  const auto wait = std::clamp<Clock::duration>(time, Clock::duration::zero(), std::chrono::minutes(1));
  const auto seconds = std::chrono::floor<std::chrono::seconds>(wait);
  const timespec timeout{seconds.count(), std::chrono::nanoseconds(wait - seconds).count()};
  return ppoll(fds, count, &timeout, nullptr);
}

Bytes PollBytes() {
  const auto poll = PollFrame();
  return Bytes(poll.begin(), poll.end());
}

}  // namespace

void Emulator::Impl::Run() {
  // Pacing and the device's own times are kept to the microsecond, not the default 50 us slack.
  prctl(PR_SET_TIMERSLACK, 1UL);
  bool quiet = false;
  BecomeReady();
  while (!stop) {
    if (const auto gone = vanishRequest.exchange(-1); gone >= 0) Vanish(milliseconds(gone));
    if (lineFailed) {
      tracer.Note("line failed");
      Vanish(ReopenInterval);
    }
    const bool nowSilent = silent;
    if (quiet && !nowSilent) BecomeReady();
    quiet = nowSilent;

    const Event event = WaitForInput(quiet ? Clock::duration(SilentWait) : nextPoll - Clock::now());
    if (event == Event::Stop) break;
    if (event == Event::LineFailed) {
      lineFailed = true;
      continue;
    }
    if (event == Event::Input) {
      const auto arrived = Clock::now();
      Bytes bytes;
      lineFailed = !line.Read(bytes);
      if (quiet) continue;
      parser.Append(bytes);
      if (const auto payload = parser.NextPayload()) HandleCommand(*payload, arrived);
    }
    if (!silent && !stop && Clock::now() >= nextPoll) SendIdlePoll();
  }
  SaveIfChanged();
}

Emulator::Impl::Event Emulator::Impl::WaitForInput(Clock::duration timeout) {
  pollfd fds[2] = {{wake, POLLIN, 0}, {line.Fd(), POLLIN, 0}};
  const int ready = WaitFor(fds, 2, timeout);
  if (stop || (ready > 0 && fds[0].revents != 0)) return Event::Stop;
  if (ready <= 0) return Event::Timeout;
  if ((fds[1].revents & POLLIN) != 0) return Event::Input;
  return Event::LineFailed;
}

bool Emulator::Impl::Pause(Clock::duration time) {
  if (time > Clock::duration::zero()) {
    pollfd stopping{wake, POLLIN, 0};
    WaitFor(&stopping, 1, time);
  }
  return !stop;
}

void Emulator::Impl::BecomeReady() {
  line.DiscardInput();
  parser.Clear();
  SendIdlePoll();
}

void Emulator::Impl::SendIdlePoll() {
  SaveIfChanged();
  line.DropUnreadBeyond(UnreadLimit);
  Bytes out = plan.NoiseBeforePoll(++idlePolls);
  if (!out.empty()) tracer.Sent("noise", out);
  const Bytes poll = PollBytes();
  tracer.Sent("poll", poll);
  out.insert(out.end(), poll.begin(), poll.end());
  Transmit(out, Clock::now());
  nextPoll = Clock::now() + options.pollInterval;
}

void Emulator::Impl::HandleCommand(const Bytes& payload, Clock::time_point arrived) {
  const std::uint64_t command = ++commands;
  tracer.Received(payload);
  // Whatever came with the command is lost while the device works on it.
  parser.Clear();
  const FaultOptions& faults = options.faults;
  if (command == faults.silentFrom) {
    tracer.Note("silent from here on");
    silent = true;
    return;
  }

  std::optional<Bytes> reply;
  {
    std::lock_guard lock(mutex);
    reply = device.Execute(payload);
  }
  if (reply) NoteCarriedOut(payload);
  const auto arrivalEnd = pacer.ArrivalEnd(arrived, payload.size() + FrameOverhead);
  if (const auto crossing = plan.CrossingPoll(command)) {
    // The device had not seen the whole command yet when its idle poll went out.
    const auto crossAt =
        arrived + std::chrono::duration_cast<Clock::duration>((arrivalEnd - arrived) * *crossing);
    if (!Pause(crossAt - Clock::now())) return;
    tracer.Note("idle poll crossing the command");
    SendIdlePoll();
  }
  auto busyUntil = arrivalEnd;
  const Work work = WorkOf(payload[0]);
  if (work == Work::Write) busyUntil += options.writeTime;
  if (work == Work::Erase) busyUntil += options.eraseTime;
  if (command == faults.stallAfter) {
    tracer.Note("stall");
    busyUntil += faults.stallFor;
  }
  if (!Pause(busyUntil - Clock::now())) return;
  // Frames that arrived while the device was busy are not answered.
  line.DiscardInput();
  Answer(command, reply, busyUntil);
  if (command == faults.vanishAfter) Vanish(faults.vanishFor);
}

void Emulator::Impl::NoteCarriedOut(const Bytes& payload) {
  if (payload == lastCarriedOut) {
    ++repeated;
    tracer.Note("carried out twice in a row (" + std::to_string(repeated) + " so far)");
  }
  lastCarriedOut = payload;
}

void Emulator::Impl::Answer(std::uint64_t command, const std::optional<Bytes>& reply,
                            Clock::time_point ready) {
  const Bytes frame = reply ? ComposeFrame(*reply) : Bytes{};
  if (!reply) tracer.Note("refused");
  const ReplyFaults faults = plan.ForReply(command, frame.size());
  Bytes out = faults.noise;
  if (!out.empty()) tracer.Sent("noise", out);
  if (!frame.empty() && faults.drop) tracer.Note("reply dropped");
  if (!frame.empty() && !faults.drop) {
    Bytes sent = frame;
    std::string what = "reply";
    if (faults.badHeader) {
      sent[FrameHeaderSize - 1] ^= 0x5A;
      what += ", header sum spoiled";
    }
    if (faults.badPayload) {
      sent.back() ^= 0xA5;
      what += ", payload sum spoiled";
    }
    tracer.Sent(what, sent);
    out.insert(out.end(), sent.begin(), sent.end());
  }
  const Bytes poll = PollBytes();
  tracer.Sent("poll", poll);
  out.insert(out.end(), poll.begin(), poll.end());
  if (!faults.cuts.empty()) tracer.Note("written in " + std::to_string(faults.cuts.size() + 1) + " pieces");
  Transmit(out, ready, faults.cuts, faults.gap);
  nextPoll = Clock::now() + options.pollInterval;
}

void Emulator::Impl::Transmit(const Bytes& bytes, Clock::time_point from,
                              const std::vector<std::size_t>& cuts, milliseconds gap) {
  const auto write = [this](std::span<const std::uint8_t> piece) {
    if (!lineFailed) lineFailed = !line.Write(piece);
  };
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= cuts.size() && !stop; ++i) {
    const std::size_t end = i < cuts.size() ? std::min(cuts[i], bytes.size()) : bytes.size();
    if (i > 0) {
      if (!Pause(gap)) return;
      from = Clock::now();
    }
    if (end > begin) pacer.Send(std::span(bytes).subspan(begin, end - begin), write, stop, from);
    begin = std::max(begin, end);
  }
}

void Emulator::Impl::Vanish(milliseconds gone) {
  line.Drain(DrainPatience);
  tracer.Note("line closed");
  {
    std::lock_guard lock(mutex);
    alias.Remove();
    hostPath.clear();
  }
  line.Close();
  if (!Pause(gone)) return;
  Reopen();
  if (!stop) BecomeReady();
}

void Emulator::Impl::Reopen() {
  while (!stop) {
    try {
      OpenLine();
      tracer.Note("line open at " + line.HostPath());
      return;
    } catch (const std::exception& error) {
      tracer.Note(std::string("cannot reopen the line: ") + error.what());
      line.Close();
    }
    Pause(ReopenInterval);
  }
}

void Emulator::Impl::OpenLine() {
  line.Open();
  lineFailed = false;
  std::lock_guard lock(mutex);
  hostPath = line.HostPath();
  alias.Register(hostPath);
}

void Emulator::Impl::SaveIfChanged() {
  std::vector<ChipState> chips;
  {
    std::lock_guard lock(mutex);
    unsaved = device.TakeChanged() || unsaved;
    if (!unsaved || options.stateFile.empty()) return;
    chips = device.Chips();
  }
  try {
    SaveChipStates(options.stateFile, chips, device.Catalogue());
    unsaved = false;
    storeFailure.clear();
  } catch (const std::exception& error) {
    // Tried again at every poll; said once until it changes.
    if (storeFailure != error.what())
      std::cerr << "kestrel-emulator: cannot store the state: " << error.what() << '\n';
    storeFailure = error.what();
  }
}

}  // namespace kestrel::emulator
