// The whole program against an emulated programmer that is unplugged: the port's line ends and
// its name leads nowhere. Plugged in again (a new pseudo-terminal under the same COM name), it
// is found again without a restart; never plugged in again, it costs the program nothing.

#include <gtest/gtest.h>
#include <malloc.h>

#include <QEventLoop>
#include <QListWidget>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "app/TForm1.h"
#include "link/CommandCatalogue.h"
#include "tests/app/ProgramHarness.h"

using namespace kestrel;
using namespace kestrel::test;
using namespace std::chrono_literals;
using emulator::Emulator;

namespace {

// A COM name that means nothing while its alias is gone (COM1 would fall back to /dev/ttyS0).
// The program traces the line to a file.
class Unplug : public ProgramTest {
 protected:
  void Configure(emulator::EmulatorOptions& options) override {
    options.portName = "COM57";
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "TARVELIN", "KESTREL")
        .setValue("ComPort", "COM57");
    std::filesystem::remove(tracePath_);
    setenv("KESTREL_TRACE", tracePath_.c_str(), 1);
  }

  void TearDown() override {
    ProgramTest::TearDown();
    unsetenv("KESTREL_TRACE");
  }

  std::vector<std::string> TraceLines() const {
    std::ifstream in(tracePath_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  const std::string tracePath_ = ProgramEnvironment::ConfigHome() + "/line.trace";
};

// Whether `lines` hold lines that end with each of `endings`, in this order.
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& endings) {
  auto at = lines.begin();
  for (const std::string& ending : endings) {
    at = std::find_if(at, lines.end(), [&](const std::string& line) { return line.ends_with(ending); });
    if (at == lines.end()) return false;
  }
  return true;
}

std::string Caption() { return Form1->windowTitle().toStdString(); }

std::chrono::duration<double> CpuTime() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Runs the event loop for `time`, as the program idles; returns the longest gap between the
// ticks of a 20 ms timer, which shows how soon the window would answer the user.
std::chrono::steady_clock::duration RunIdle(std::chrono::milliseconds time) {
  QEventLoop loop;
  QTimer tick;
  auto last = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration longest{};
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const auto now = std::chrono::steady_clock::now();
    longest = std::max(longest, now - last);
    last = now;
  });
  tick.start(20);
  QTimer::singleShot(time, &loop, &QEventLoop::quit);
  loop.exec();
  return longest;
}

TEST_F(Unplug, APlugStartsTheDiscoveryAgain) {
  SelectChip(Emulator::ChipNumber("ATmega8A"));
  ASSERT_GT(Form1->ListBox2->count(), 0);
  TakeReceived();

  device_->Vanish(1500ms);
  ASSERT_TRUE(WaitFor([] { return Form1->ListBox1->count() == 0; }, 4s)) << "the port came back";
  EXPECT_EQ(Caption(), NotConnectedCaption);
  ASSERT_TRUE(Discovered(5s));
  EXPECT_EQ(Caption(), emulator::ProgrammerName());
  EXPECT_EQ(Form1->ListBox2->count(), 0) << "the chip is chosen again";
  const auto received = TakeReceived();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received.front(), "GetProgrammerName");
  EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(boxes_);

  // And it works as before.
  SelectChip(Emulator::ChipNumber("ATmega8A"));
  EXPECT_GT(Form1->ListBox2->count(), 0);

  const auto lines = TraceLines();
  EXPECT_TRUE(InOrder(
      lines,
      {"] -- port COM57 opened", "] <- poll: D1 E0 EB EE 00 8A", "] -> EndOperation: D1 E0 EB EE 01 8B FF FF",
       "] <- EndOperation: D1 E0 EB EE 01 8B FF FF", "] -> GetProgrammerName: D1 E0 EB EE 01 8B FE FE",
       "] -- port COM57 hung up", "] -- port COM57 closed", "] -- port COM57 reopen failed",
       "] -- port COM57 reopened", "] -> GetProgrammerName: D1 E0 EB EE 01 8B FE FE"}))
      << ::testing::PrintToString(lines);
  // Stamped in milliseconds of the monotonic clock.
  ASSERT_FALSE(lines.empty());
  const double stamp = std::stod(lines.back().substr(1));
  const double now =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
  EXPECT_GT(stamp, now - 10000);
  EXPECT_LE(stamp, now);
}

TEST_F(Unplug, ADeviceThatNeverReturnsCostsNothing) {
  device_->Stop();  // the line ends and its alias goes for good

  // Trying once a second: the window answers at once and the processor idles.
  const auto cpuBefore = CpuTime();
  const auto wallBefore = std::chrono::steady_clock::now();
  const auto longestGap = RunIdle(3s);
  const double cpuShare = (CpuTime() - cpuBefore) / (std::chrono::steady_clock::now() - wallBefore);
  EXPECT_LT(longestGap, 200ms);
  EXPECT_LT(cpuShare, 0.05);

  // Trying hundreds of times leaves nothing behind.
  Form1->Comm321.SetReopenInterval(5ms);
  RunIdle(500ms);
  const std::size_t heapBefore = mallinfo2().uordblks;
  RunIdle(2500ms);
  const std::size_t heapAfter = mallinfo2().uordblks;
  EXPECT_LT(heapAfter, heapBefore + 16 * 1024) << heapBefore << " -> " << heapAfter;

  // Six seconds without a poll: the watchdog has run, once.
  EXPECT_EQ(Caption(), NotConnectedCaption);
  EXPECT_EQ(S().QueuedOpcodes(), Bytes{OpGetProgrammerName}) << "the watchdog's, nothing piled up";
  EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(boxes_);
}

}  // namespace
