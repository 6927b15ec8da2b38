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
#include "operations/BlockTransfer.h"
#include "operations/MemorySequences.h"

using namespace kestrel;
using Clock = std::chrono::steady_clock;

namespace {

// Frame bytes in both directions as the device traces them.
class LineCounter {
 public:
  void Trace(const std::string& line) {
    const auto colon = line.find(": ");
    if (colon == std::string::npos) return;
    std::lock_guard lock(mutex_);
    bytes_ += (line.size() - colon) / 3;
  }
  std::size_t Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(bytes_, 0);
  }

 private:
  std::mutex mutex_;
  std::size_t bytes_ = 0;
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

bool Idle() { return S().queue.Empty(); }

void ChooseRow(QListWidget* list, int row, void (TForm1::*mouseUp)()) {
  list->setCurrentRow(row);
  (Form1->*mouseUp)();
}

// One operation's time, and what the program saw of where it went.
struct Timing {
  double seconds = 0;    // from the click to the empty queue
  double firstPoll = 0;  // from the click until the chunk with the first poll answered was read
  double host = 0;       // over the polls answered: from reading the poll's chunk to the send
  std::size_t sends = 0;
};

// The program with the device behind COM1, discovered and with the chip selected.
class Program {
 public:
  Program(const std::string& configHome, std::uint32_t baud, std::size_t chip, LineCounter* counter) {
    emulator::EmulatorOptions options;
    options.configHome = configHome;
    options.baud = baud;
    if (counter) options.trace = [counter](const std::string& line) { counter->Trace(line); };
    device_ = std::make_unique<emulator::Emulator>(options);
    device_->Start();
    CreateForms();
    // Every send, with the time the chunk that asked for it was read.
    const WriteDataFn write = S().line.WriteData;
    S().line.WriteData = [this, write](const std::uint8_t* buffer, std::uint16_t length) {
      sends_.push_back({Clock::now(), S().reception.ReceivedAt()});
      return write(buffer, length);
    };
    Form1->show();
    const int chips = static_cast<int>(emulator::Emulator::Catalogue().size());
    if (!RunUntil([&] { return Form1->ListBox1->count() == chips && Idle(); }, std::chrono::seconds(60)))
      throw std::runtime_error("the programmer was not discovered");
    ChooseRow(Form1->ListBox1, static_cast<int>(chip), &TForm1::ListBox1MouseUp);
    if (!RunUntil(Idle, std::chrono::seconds(60))) throw std::runtime_error("the chip was not selected");
  }
  ~Program() {
    DestroyForms();
    device_->Stop();
  }

  emulator::Emulator& Device() { return *device_; }

  // Chooses the command list's row of `code` and times it until the queue ran empty.
  Timing Run(std::uint8_t code) {
    int row = 0;
    while (row < Form1->ListBox2->count() && S().RowCommands[row] != code) ++row;
    if (row == Form1->ListBox2->count()) throw std::runtime_error("the chip lacks a command");
    sends_.clear();
    const auto start = Clock::now();
    ChooseRow(Form1->ListBox2, row, &TForm1::ListBox2MouseUp);
    if (!RunUntil(Idle, std::chrono::seconds(1200))) throw std::runtime_error("the operation did not end");
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    Timing timing;
    timing.seconds = seconds(Clock::now() - start);
    timing.sends = sends_.size();
    if (!sends_.empty()) timing.firstPoll = seconds(sends_.front().chunkRead - start);
    for (const Send& send : sends_) timing.host += seconds(send.sent - send.chunkRead);
    return timing;
  }

 private:
  struct Send {
    Clock::time_point sent, chunkRead;
  };

  std::unique_ptr<emulator::Emulator> device_;
  std::vector<Send> sends_;
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
  LineCounter counter;
  Program program(configHome, baud, chip, &counter);
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
                counter.Take(), limitSeconds, floorSeconds, timing.seconds,
                (timing.seconds / limitSeconds - 1) * 100, (timing.seconds / floorSeconds - 1) * 100,
                size / timing.seconds);
    Check(timing.sends == limit.commands, "a command was sent more than once");
    rows.push_back({name, limit, timing});
  };

  S().image.Clear();
  counter.Take();
  const Timing read = program.Run(OpReadProgramMemory);
  Check(S().image.DataBuffer() == program.Device().Chip(chip).flash, "the read brought other bytes");
  report("read", ReadLimit(size), read);

  S().image.Assign(RandomImage(size));
  SetWriteOptions(true);
  counter.Take();
  const Timing writeVerify = program.Run(OpWriteProgramMemory);
  Check(Form1->StatusText() == QString::fromUtf8(AllCorrectText), "the verification failed");
  Check(program.Device().Chip(chip).flash == S().image.DataBuffer(), "the chip differs from the image");
  report("erase, write and verify", WriteLimit(size, true), writeVerify);
  std::printf("(\"traced B\": the frame bytes the device saw and sent during the operation.)\n\n");

  std::printf(
      "Where the time over the floor went. First poll: the wait from the click for the device's\n"
      "next idle poll (they come every 50 ms). Host: from the reader taking a poll's chunk off the\n"
      "line to handing the next command to the writer, summed over the commands. Device and line:\n"
      "the rest: the writer and the pseudo-terminal, the emulator's turnaround, the reader's wake-up\n"
      "beyond its read interval.\n\n");
  std::printf("%-26s %11s %11s %11s %16s %14s\n", "operation", "over floor", "first poll", "host",
              "device and line", "from 1st poll");
  const double firstPollOnLine =
      FrameHeaderSize * byteSeconds + std::chrono::duration<double>(ReadInterval).count();
  for (const Row& row : rows) {
    const double over = row.timing.seconds - row.limit.FloorSeconds(baud);
    const double wait = std::max(0.0, row.timing.firstPoll - firstPollOnLine);
    const double fromFirstPoll = (row.timing.seconds - wait) / row.limit.FloorSeconds(baud) - 1;
    std::printf("%-26s %9.0f ms %8.0f ms %8.0f ms %13.0f ms %13.1f%%\n", row.name, over * 1e3, wait * 1e3,
                row.timing.host * 1e3, (over - wait - row.timing.host) * 1e3, fromFirstPoll * 100);
  }
  std::printf("(\"from 1st poll\": the time without the first poll's wait, over the floor.)\n\n");
}

void FullSpeedRuns(const std::string& configHome, std::size_t chip, std::uint32_t size) {
  Program program(configHome, 0, chip, nullptr);
  std::printf("Full speed (no pacing): program-memory bytes per second.\n");
  const auto report = [&](const char* name, const Timing& timing, const WireLimit& limit) {
    std::printf("%-26s %8.3f s %10.0f B/s   (at 56000 bit/s the wire limit is %.0f B/s)\n", name,
                timing.seconds, size / timing.seconds, size / limit.Seconds(56000));
  };
  S().image.Clear();
  const Timing read = program.Run(OpReadProgramMemory);
  Check(S().image.DataBuffer() == program.Device().Chip(chip).flash, "the read brought other bytes");
  report("read", read, ReadLimit(size));

  S().image.Assign(RandomImage(size));
  SetWriteOptions(false);
  const Timing write = program.Run(OpWriteProgramMemory);
  Check(program.Device().Chip(chip).flash == S().image.DataBuffer(), "the chip differs from the image");
  report("erase and write", write, WriteLimit(size, false));

  SetWriteOptions(true);
  const Timing writeVerify = program.Run(OpWriteProgramMemory);
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
