// The link's speed through the real core and serial component against the emulated device on a
// pseudo-terminal at full speed: commands per second for a queue of 2000 GetRamSize, the host's
// turnaround (the device's poll written, the head frame's first byte in) as the device sees it,
// and the process's memory over 100000 commands.

#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <vector>

#include "app/QtNotifyTarget.h"
#include "emulator/Emulator.h"
#include "link/CommandQueue.h"
#include "link/Commands.h"
#include "link/LinkView.h"
#include "link/ProgrammerPort.h"
#include "link/Reception.h"
#include "link/TComm32.h"

using namespace kestrel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int QueueLength = 2000;
constexpr int MemoryCommands = 100000;

// Times the device's side: when it last wrote a poll, and how long after that each command
// arrived. The trace sink runs on the device's thread, right before a frame is written and
// right after one has been read.
class Turnaround {
 public:
  void Trace(const std::string& line) {
    const auto now = Clock::now();
    std::lock_guard lock(mutex_);
    if (line.find("] -> poll") != std::string::npos) {
      lastPoll_ = now;
    } else if (line.find("] <- ") != std::string::npos && lastPoll_) {
      if (recording_) samples_.push_back(std::chrono::duration<double, std::micro>(now - *lastPoll_).count());
      lastPoll_.reset();
    }
  }
  void Record(bool on) {
    std::lock_guard lock(mutex_);
    recording_ = on;
  }
  std::vector<double> Samples() {
    std::lock_guard lock(mutex_);
    return samples_;
  }

 private:
  std::mutex mutex_;
  std::optional<Clock::time_point> lastPoll_;
  bool recording_ = false;
  std::vector<double> samples_;
};

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The link's owner without windows: it only remembers the last RAM size the device reported.
class LinkOwner final : public LinkView, public ReplySink {
 public:
  void RestartWatchdog() override {}
  void SetQueueProgress(int, int) override {}
  void ShowQueueWindow() override {}
  void CloseQueueWindow() override {}
  void OperationAborted() override {}
  void GaveUp() override { ++gaveUp; }
  void HandleReply(std::span<const std::uint8_t> reply, std::span<const std::uint8_t>) override {
    if (reply.size() >= 5 && reply[0] == OpGetRamSize)
      ramSize = reply[1] | reply[2] << 8 | reply[3] << 16 | static_cast<std::uint32_t>(reply[4]) << 24;
  }

  std::uint32_t ramSize = 0;
  int gaveUp = 0;
};

// Runs the event loop, as the user-interface thread does, until the queue has run empty. The
// loop sleeps while no event is due; a timer wakes it to look at the deadline.
bool Drain(const CommandQueue& queue, std::chrono::seconds limit) {
  const auto deadline = Clock::now() + limit;
  QTimer wake;
  wake.start(100);
  while (!queue.Empty()) {
    if (Clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * (values.size() - 1))];
}

void QueueRamSizes(CommandQueue& queue, int count) {
  for (int i = 0; i < count; ++i) GetRamSize(queue);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  QCoreApplication app(argc, argv);
  Turnaround turnaround;

  emulator::EmulatorOptions options;
  options.portName.clear();
  options.baud = 0;
  options.trace = [&turnaround](const std::string& line) { turnaround.Trace(line); };
  emulator::Emulator device(options);
  device.Start();

  LinkOwner owner;
  TComm32 comm(MakeQtNotifyTarget());
  const LinkLine line = LineThrough(comm, nullptr);
  CommandQueue queue(owner, line);
  Reception reception(queue, owner, owner, line);
  // The core's own share of the turnaround: the handling of each received chunk.
  std::vector<double> handling;
  handling.reserve(QueueLength + 16);
  comm.OnReceiveData = [&](const void* buffer, std::uint16_t length) {
    const auto begin = Clock::now();
    reception.Receive(static_cast<const std::uint8_t*>(buffer), length, comm.ReceivedAt());
    if (handling.size() < handling.capacity())
      handling.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
  };
  comm.SetCommPort(device.HostPath());
  comm.SetBaudRate(56000);
  comm.SetParity(pOdd);
  if (!comm.OpenPort()) {
    std::fprintf(stderr, "cannot open %s\n", device.HostPath().c_str());
    return 1;
  }

  // A chip must be selected for the device to answer chip queries.
  SelectChip(queue, 0);
  GetRamSize(queue);
  if (!Drain(queue, std::chrono::seconds(10)) || owner.ramSize == 0) {
    std::fprintf(stderr, "the device does not answer\n");
    return 1;
  }

  turnaround.Record(true);
  handling.clear();
  QueueRamSizes(queue, QueueLength);
  const auto start = Clock::now();
  const bool drained = Drain(queue, std::chrono::seconds(120));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  turnaround.Record(false);
  if (!drained) {
    std::fprintf(stderr, "the queue of %d did not drain\n", QueueLength);
    return 1;
  }
  const auto samples = turnaround.Samples();
  std::printf("queue of %d GetRamSize: %.3f s, %.0f commands/s\n", QueueLength, seconds,
              QueueLength / seconds);
  std::printf("host turnaround over %zu polls: median %.3f ms, p99 %.3f ms, max %.3f ms (goals: < 2, < 5)\n",
              samples.size(), Percentile(samples, 0.5) / 1000, Percentile(samples, 0.99) / 1000,
              Percentile(samples, 1.0) / 1000);
  std::printf("of which the core's handling of a chunk: median %.1f us, p99 %.1f us\n",
              Percentile(handling, 0.5), Percentile(handling, 0.99));

  const long before = ResidentKiB();
  std::printf("resident memory before %d commands: %ld KiB\n", MemoryCommands, before);
  for (int done = 0; done < MemoryCommands; done += QueueLength) {
    QueueRamSizes(queue, QueueLength);
    if (!Drain(queue, std::chrono::seconds(120))) {
      std::fprintf(stderr, "a queue did not drain after %d commands\n", done);
      return 1;
    }
    if ((done / QueueLength) % 10 == 9)
      std::printf("  after %6d: %ld KiB\n", done + QueueLength, ResidentKiB());
  }
  const long after = ResidentKiB();
  std::printf("resident memory after: %ld KiB (%+ld KiB); give-ups: %d\n", after, after - before,
              owner.gaveUp);
  device.Stop();
  return 0;
}
