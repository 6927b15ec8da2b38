// Reading, and writing with erase and verification, a chip's whole program memory through the
// real program (its windows offscreen, the serial component over a pseudo-terminal) against the
// emulated programmer: first with the device pacing every byte at the line rate (11 bits a byte,
// 8O1), timed against the wire limit, then at full speed.
//
//   bench_operations_throughput [--chip NAME] [--baud N]
//
// NAME is a chip of the emulator's catalogue (default ATmega2560, 256 KiB: the paced runs take
// minutes; ATmega328P, 32 KiB, is a quick run). N is the paced line rate (default 56000).
// Goal: each paced operation within 1 % of the floor, the wire limit plus the host's 1 ms read
// interval before each poll it answers.

#include <stdlib.h>

#include <QCheckBox>
#include <QListWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>

#include "app/KestrelApplication.h"
#include "app/MessageBoxes.h"
#include "app/Startup.h"
#include "app/TForm1.h"
#include "app/TForm3.h"
#include "bench/ScratchConfigHome.h"
#include "bench/WireLimit.h"
#include "emulator/Emulator.h"
#include "link/Commands.h"
#include "link/Frame.h"
#include "link/LineTiming.h"
#include "operations/ChipMemory.h"

using namespace kestrel;
using Clock = std::chrono::steady_clock;

namespace {

// What the device's trace shows of an operation: the frame bytes in both directions, the
// commands it read, when it read the first, and the sum of its waits from writing a poll to
// reading the command that answers it. The trace sink runs on the device's thread, right before
// a frame is written and right after one has been read.
class LineCounter {
 public:
  struct Commands {
    std::size_t count = 0;
    std::optional<Clock::time_point> first;
    Clock::duration turnaround{};
  };

  void Trace(const std::string& line) {
    const auto now = Clock::now();
    const auto colon = line.find(": ");
    if (colon == std::string::npos) return;
    std::lock_guard lock(mutex_);
    bytes_ += (line.size() - colon) / 3;
    if (line.find("] -> poll") != std::string::npos) {
      lastPoll_ = now;
    } else if (line.find("] <- ") != std::string::npos) {
      ++commands_.count;
      if (!commands_.first) commands_.first = now;
      if (lastPoll_) commands_.turnaround += now - *lastPoll_;
      lastPoll_.reset();
    }
  }
  std::size_t TakeBytes() {
    std::lock_guard lock(mutex_);
    return std::exchange(bytes_, 0);
  }
  Commands TakeCommands() {
    std::lock_guard lock(mutex_);
    return std::exchange(commands_, {});
  }

 private:
  std::mutex mutex_;
  std::size_t bytes_ = 0;
  Commands commands_;
  std::optional<Clock::time_point> lastPoll_;
};

Session& S() { return Form1->Session1; }

// Runs the event loop as the program does until `done` holds; false after `limit`.
bool RunUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto deadline = Clock::now() + limit;
  QTimer wake;
  wake.start(20);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

bool Idle() { return !S().Busy(); }

void ChooseRow(QListWidget* list, int row, void (TForm1::*mouseUp)()) {
  list->setCurrentRow(row);
  (Form1->*mouseUp)();
}

// One operation's time, and what the program saw of where it went.
struct Timing {
  double seconds = 0;       // from the click to the empty queue
  double firstCommand = 0;  // from the click until the device read the first command
  double turnaround = 0;    // over the commands: from the device's poll written to the command read
  std::size_t sends = 0;
};

// The program with the device behind COM1, discovered and with the chip selected.
class Program {
 public:
  Program(const std::string& configHome, std::uint32_t baud, std::size_t chip) {
    emulator::EmulatorOptions options;
    options.configHome = configHome;
    options.baud = baud;
    options.trace = [this](const std::string& line) { counter_.Trace(line); };
    device_ = std::make_unique<emulator::Emulator>(options);
    device_->Start();
    CreateForms();
    Form1->show();
    const int chips = static_cast<int>(emulator::Emulator::Catalogue().size());
    if (!RunUntil([&] { return Form1->ListBox1->count() == chips && Idle(); }, std::chrono::seconds(60)))
      throw std::runtime_error("the programmer was not discovered");
    ChooseRow(Form1->ListBox1, static_cast<int>(chip), &TForm1::ListBox1MouseUp);
    if (!RunUntil(Idle, std::chrono::seconds(60))) throw std::runtime_error("the chip was not selected");
    counter_.TakeBytes();
    counter_.TakeCommands();
  }
  ~Program() {
    DestroyForms();
    device_->Stop();
  }

  emulator::Emulator& Device() { return *device_; }
  // The frame bytes on the line since the last call.
  std::size_t TakeLineBytes() { return counter_.TakeBytes(); }

  // Chooses the command list's row of `code` and times it until the queue ran empty.
  Timing Run(ChipCommand operation) {
    const int row = S().Chip().RowOf(operation);
    if (row < 0) throw std::runtime_error("the chip lacks a command");
    counter_.TakeCommands();
    const auto start = Clock::now();
    ChooseRow(Form1->ListBox2, row, &TForm1::ListBox2MouseUp);
    if (!RunUntil(Idle, std::chrono::seconds(1200))) throw std::runtime_error("the operation did not end");
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    Timing timing;
    timing.seconds = seconds(Clock::now() - start);
    const LineCounter::Commands commands = counter_.TakeCommands();
    timing.sends = commands.count;
    if (commands.first) timing.firstCommand = seconds(*commands.first - start);
    timing.turnaround = seconds(commands.turnaround);
    return timing;
  }

 private:
  LineCounter counter_;
  std::unique_ptr<emulator::Emulator> device_;
};

void SetWriteOptions(bool verify) {
  Form3->CheckBox(1)->setChecked(false);
  Form3->CheckBox(2)->setChecked(true);
  Form3->CheckBox(3)->setChecked(verify);
}

std::vector<std::uint8_t> RandomImage(std::size_t size) {
  std::mt19937 random(2024);
  std::vector<std::uint8_t> image(size);
  for (auto& byte : image) byte = static_cast<std::uint8_t>(random());
  return image;
}

void Check(bool good, const char* what) {
  if (!good) throw std::runtime_error(what);
}

void PacedRuns(const std::string& configHome, std::uint32_t baud, std::size_t chip, std::uint32_t size) {
  Program program(configHome, baud, chip);
  const double byteSeconds = double(BitsPerByte) / baud;
  std::printf("Paced at %u bit/s, %d bits a byte (%.1f us a byte).\n", baud, BitsPerByte, byteSeconds * 1e6);
  std::printf(
      "Wire limit: every frame byte of the operation in both directions, one after the other: the\n"
      "poll that asks for the first command; per command its frame (payload + 7), the reply frame\n"
      "(payload + 7) and the poll behind the reply (6). Commands: SelectChip, the operation's own,\n"
      "EndOperation; blocks of %u bytes. Floor: the wire limit plus the host's read interval of\n"
      "%lld ms for each poll it answers (one a command), the least this protocol takes with it.\n"
      "The time runs from the click to the empty queue.\n\n",
      MaxBlockSize, static_cast<long long>(ReadInterval.count()));
  std::printf("%-26s %9s %9s %8s %8s %8s %11s %11s %9s\n", "operation", "limit B", "traced B", "limit s",
              "floor s", "time s", "over limit", "over floor", "data B/s");

  struct Row {
    const char* name;
    WireLimit limit;
    Timing timing;
  };
  std::vector<Row> rows;
  const auto report = [&](const char* name, const WireLimit& limit, const Timing& timing) {
    const double limitSeconds = limit.Seconds(baud), floorSeconds = limit.FloorSeconds(baud);
    std::printf("%-26s %9zu %9zu %8.3f %8.3f %8.3f %10.1f%% %10.1f%% %9.0f\n", name, limit.bytes,
                program.TakeLineBytes(), limitSeconds, floorSeconds, timing.seconds,
                (timing.seconds / limitSeconds - 1) * 100, (timing.seconds / floorSeconds - 1) * 100,
                size / timing.seconds);
    Check(timing.sends == limit.commands, "a command was sent more than once");
    rows.push_back({name, limit, timing});
  };

  S().Image().Clear();
  program.TakeLineBytes();
  const Timing read = program.Run(ChipCommand::ReadProgramMemory);
  Check(S().Image().DataBuffer() == program.Device().Chip(chip).flash, "the read brought other bytes");
  report("read", ReadLimit(size), read);

  S().Image().Assign(RandomImage(size));
  SetWriteOptions(true);
  program.TakeLineBytes();
  const Timing writeVerify = program.Run(ChipCommand::WriteProgramMemory);
  Check(Form1->StatusText() == QString::fromUtf8(AllCorrectText), "the verification failed");
  Check(program.Device().Chip(chip).flash == S().Image().DataBuffer(), "the chip differs from the image");
  report("erase, write and verify", WriteLimit(size, true), writeVerify);
  std::printf("(\"traced B\": the frame bytes the device saw and sent during the operation.)\n\n");

  std::printf(
      "Where the time over the floor went. First poll: the wait from the click for the device's\n"
      "next idle poll (they come every 50 ms). Turnaround: from the device writing a poll to it\n"
      "reading the command that answers it, beyond the poll's and the command's own time on the\n"
      "line and the host's read interval, summed over the commands: the host and the\n"
      "pseudo-terminal. Device: the rest, the emulator's own time.\n\n");
  std::printf("%-26s %11s %11s %11s %16s %14s\n", "operation", "over floor", "first poll", "turnaround",
              "device", "from 1st poll");
  for (const Row& row : rows) {
    const double over = row.timing.seconds - row.limit.FloorSeconds(baud);
    const double wait = std::max(0.0, row.timing.firstCommand - FrameHeaderSize * byteSeconds -
                                          std::chrono::duration<double>(ReadInterval).count());
    const double lineAndRead = row.limit.commands * (FrameHeaderSize * byteSeconds +
                                                     std::chrono::duration<double>(ReadInterval).count());
    const double turnaround = std::max(0.0, row.timing.turnaround - lineAndRead);
    const double fromFirstPoll = (row.timing.seconds - wait) / row.limit.FloorSeconds(baud) - 1;
    std::printf("%-26s %9.0f ms %8.0f ms %8.0f ms %13.0f ms %13.1f%%\n", row.name, over * 1e3, wait * 1e3,
                turnaround * 1e3, (over - wait - turnaround) * 1e3, fromFirstPoll * 100);
  }
  std::printf("(\"from 1st poll\": the time without the first poll's wait, over the floor.)\n\n");
}

void FullSpeedRuns(const std::string& configHome, std::size_t chip, std::uint32_t size) {
  Program program(configHome, 0, chip);
  std::printf("Full speed (no pacing): program-memory bytes per second.\n");
  const auto report = [&](const char* name, const Timing& timing, const WireLimit& limit) {
    std::printf("%-26s %8.3f s %10.0f B/s   (at 56000 bit/s the wire limit is %.0f B/s)\n", name,
                timing.seconds, size / timing.seconds, size / limit.Seconds(56000));
  };
  S().Image().Clear();
  const Timing read = program.Run(ChipCommand::ReadProgramMemory);
  Check(S().Image().DataBuffer() == program.Device().Chip(chip).flash, "the read brought other bytes");
  report("read", read, ReadLimit(size));

  S().Image().Assign(RandomImage(size));
  SetWriteOptions(false);
  const Timing write = program.Run(ChipCommand::WriteProgramMemory);
  Check(program.Device().Chip(chip).flash == S().Image().DataBuffer(), "the chip differs from the image");
  report("erase and write", write, WriteLimit(size, false));

  SetWriteOptions(true);
  const Timing writeVerify = program.Run(ChipCommand::WriteProgramMemory);
  Check(Form1->StatusText() == QString::fromUtf8(AllCorrectText), "the verification failed");
  report("erase, write and verify", writeVerify, WriteLimit(size, true));
}

}  // namespace

int main(int argc, char** argv) {
  std::string chipName = "ATmega2560";
  std::uint32_t baud = 56000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--chip") == 0) {
      chipName = argv[i + 1];
    } else if (std::strcmp(argv[i], "--baud") == 0) {
      baud = static_cast<std::uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
    } else {
      std::fprintf(stderr, "usage: %s [--chip NAME] [--baud N]\n", argv[0]);
      return 2;
    }
  }
  if (argc % 2 == 0 || baud == 0) {
    std::fprintf(stderr, "usage: %s [--chip NAME] [--baud N]\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The offscreen platform says so on every raise of the queue window.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
    if (!message.startsWith(QLatin1String("This plugin does not support")))
      std::fprintf(stderr, "%s\n", qPrintable(message));
  });

  try {
    const std::size_t chip = emulator::Emulator::ChipNumber(chipName);
    const std::uint32_t size = emulator::Emulator::Catalogue()[chip].flashSize;
    ScratchConfigHome home;
    KestrelApplication app(argc, argv);
    // Only a surprise would raise a box; it is answered and counted as a failure.
    std::vector<QString> boxes;
    SetModalResponder([&](const ModalRequest& request) {
      boxes.push_back(request.text);
      return std::pair{Answer::Yes, QString()};
    });
    std::printf("%s: program memory %u bytes.\n\n", chipName.c_str(), size);
    PacedRuns(home.Path(), baud, chip, size);
    FullSpeedRuns(home.Path(), chip, size);
    SetModalResponder(nullptr);
    Check(boxes.empty(), "a message box was shown");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_operations_throughput: %s\n", error.what());
    return 1;
  }
  return 0;
}
