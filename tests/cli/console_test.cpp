#include "cli/Console.h"
#include "cli/TransferProgress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace kestrel::cli;
using namespace std::chrono_literals;

TEST(Console, ProgressLineTellsRateAndTimeLeft) {
  EXPECT_EQ(ProgressLine("COM3", {"write flash", 16384, 32768, 2s}),
            "COM3  write flash  16384/32768 bytes  8.2 kB/s  0:02 left");
  EXPECT_EQ(ProgressLine("COM3", {"verify flash", 32768, 32768, 4s}),
            "COM3  verify flash  32768/32768 bytes  8.2 kB/s");
  EXPECT_EQ(ProgressLine("COM3", {"read eeprom", 0, 4096, 0s}), "COM3  read eeprom  0/4096 bytes");
  EXPECT_EQ(ProgressLine("COM3", {"read flash", 1, 262144, 200ms}),
            "COM3  read flash  1/262144 bytes  0.0 kB/s  14:33:49 left");
  EXPECT_EQ(ProgressLine("COM3", {"erase all", 0, 0, 1s}), "COM3  erase all");
}

// Ports report from their own threads; every port's results come out whole, and once the
// console is gone no progress line is left on the screen.
TEST(Console, PortsOnTheirOwnThreadsNeverMixTheirLines) {
  std::FILE* screen = std::tmpfile();
  ASSERT_TRUE(screen);
  const std::vector<std::string> ports{"COM1", "COM2", "COM3", "COM4"};
  {
    Console console(ports, screen, screen, true, 40);
    std::vector<std::thread> threads;
    for (std::size_t port = 0; port < ports.size(); ++port)
      threads.emplace_back([&, port] {
        PortProgress progress(console, port);
        for (std::uint64_t done = 0; done <= 4096; done += 64)
          progress.Update({"write flash", done, 4096, std::chrono::milliseconds(done)});
        console.EndProgress(port);
        console.Write(ports[port] + ": write flash: 4096 bytes from fw.bin\n", "");
      });
    for (std::thread& thread : threads) thread.join();
  }
  std::rewind(screen);
  std::string text;
  for (int c; (c = std::fgetc(screen)) != EOF;) text += static_cast<char>(c);
  std::fclose(screen);
  for (const std::string& port : ports) {
    // Each result starts a line of its own: after a line end or after the progress lines' erasure.
    const std::size_t at = text.find(port + ": write flash: 4096 bytes from fw.bin\n");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_TRUE(at == 0 || text[at - 1] == '\n' || text[at - 1] == 'J') << text;
  }
  // The last thing written is the erasure of the last progress lines, or the last result.
  EXPECT_TRUE(text.ends_with("fw.bin\n") || text.ends_with("\x1b[J")) << text;
  // The complete action's line was drawn, cut to the 39 columns that fit.
  EXPECT_NE(text.find("COM1  write flash  4096/4096 bytes  1.0\n"), std::string::npos) << text;
}

// A write with -e and -V counts its write and its verify apart, each over the image's bytes.
TEST(TransferProgress, WriteAndVerifyAreCountedApart) {
  TransferProgress progress;
  progress.Start(Action(ActionKind::Write, Memory::Flash, "fw.bin"), 32768, true, true);
  // SelectChip, EraseAll, 147 write blocks, EndOperation, 147 verify blocks, EndOperation.
  const struct {
    int done;
    const char* title;
    std::uint32_t bytes;
  } steps[] = {{0, "write flash", 0},        {2, "write flash", 0},       {3, "write flash", 224},
               {149, "write flash", 32768},  {150, "write flash", 32768}, {151, "verify flash", 224},
               {297, "verify flash", 32768}, {298, "verify flash", 32768}};
  for (const auto& step : steps) {
    const auto at = progress.At(step.done);
    ASSERT_TRUE(at) << step.done;
    EXPECT_EQ(ActionTitle(at->action), step.title) << step.done;
    EXPECT_EQ(at->done, step.bytes) << step.done;
    EXPECT_EQ(at->total, 32768u) << step.done;
  }
  progress.Stop();
  EXPECT_FALSE(progress.At(5));
}
