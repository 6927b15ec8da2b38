// The serial number file under contention: threads and processes taking numbers at once, and
// processes killed with SIGKILL while they hold the lock or are between taking and writing.

#include "cli/SerialFile.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli/FileLock.h"
#include "tests/buffer/ScratchFiles.h"

using namespace kestrel::cli;
using Numbers = std::vector<std::uint64_t>;

namespace {

class SerialFileTest : public ::testing::Test {
 protected:
  SerialFileTest() {
    serial_.file = folder_.File("serials");
    serial_.bytes = 8;
  }

  std::string Stored() const {
    std::ifstream in(serial_.file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Store(const std::string& text) const { std::ofstream(serial_.file, std::ios::binary) << text; }

  // Takes `count` numbers on each of `threads` threads.
  Numbers TakeOnThreads(int threads, int count) const {
    std::vector<std::future<Numbers>> takers;
    for (int t = 0; t < threads; ++t)
      takers.push_back(std::async(std::launch::async, [this, count] {
        Numbers numbers;
        for (int i = 0; i < count; ++i) numbers.push_back(TakeSerialNumber(serial_).number.value_or(0));
        return numbers;
      }));
    Numbers all;
    for (auto& taker : takers) {
      const Numbers numbers = taker.get();
      all.insert(all.end(), numbers.begin(), numbers.end());
    }
    return all;
  }

  // A child process that runs `body` with the write end of a pipe, whose read end it returns.
  template <typename Body>
  std::pair<pid_t, int> Child(Body body) const {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      close(ends[0]);
      body(ends[1]);
      _exit(0);
    }
    close(ends[1]);
    return {pid, ends[0]};
  }

  // Everything a child wrote into its pipe, as numbers, once it ended.
  static Numbers Drain(int fd) {
    Numbers numbers;
    std::uint64_t number = 0;
    while (read(fd, &number, sizeof number) == sizeof number) numbers.push_back(number);
    close(fd);
    return numbers;
  }

  static std::uint64_t Receive(int fd) {
    std::uint64_t number = 0;
    EXPECT_EQ(read(fd, &number, sizeof number), static_cast<ssize_t>(sizeof number));
    return number;
  }

  static void Send(int fd, std::uint64_t number) {
    if (write(fd, &number, sizeof number) != sizeof number) _exit(3);
  }

  const kestrel::ScratchDir folder_;
  SerialOptions serial_;
};

}  // namespace

TEST_F(SerialFileTest, MissingDamagedOrFullFilesAreToldNeverRestarted) {
  struct Case {
    std::optional<std::string> stored;  // none: no file
    int bytes;
    std::optional<std::uint64_t> number;
    std::string after;  // the file's text afterwards
    std::string error;
  };
  const std::vector<Case> cases{
      {std::nullopt, 2, 7, "10\n", ""},
      {"41\n", 2, 41, "44\n", ""},
      {" 12 \r\n", 2, 12, "15\n", ""},
      {"", 2, std::nullopt, "", "holds no serial number (decimal digits expected)"},
      {"12a\n", 2, std::nullopt, "12a\n", "holds no serial number (decimal digits expected)"},
      {"-3", 2, std::nullopt, "-3", "holds no serial number (decimal digits expected)"},
      {"+3", 2, std::nullopt, "+3", "holds no serial number (decimal digits expected)"},
      {"99999999999999999999", 8, std::nullopt, "99999999999999999999",
       "holds no serial number (decimal digits expected)"},
      {std::string(5000, ' ') + "5", 2, std::nullopt, std::string(5000, ' ') + "5",
       "holds no serial number (decimal digits expected)"},
      {"65536", 2, std::nullopt, "65536",
       "the serial number 65536 does not fit 2 bytes of le (at most 65535)"},
      {"18446744073709551614", 8, std::nullopt, "18446744073709551614",
       "no serial number follows 18446744073709551614"},
  };
  serial_.start = 7;
  serial_.step = 3;
  for (const Case& each : cases) {
    std::filesystem::remove(serial_.file);
    if (each.stored) Store(*each.stored);
    serial_.bytes = each.bytes;
    const TakenSerial taken = TakeSerialNumber(serial_);
    EXPECT_EQ(taken.number, each.number) << each.stored.value_or("(none)");
    EXPECT_EQ(taken.error, each.error.empty() ? "" : serial_.file + ": " + each.error);
    EXPECT_EQ(Stored(), each.after);
  }
}

TEST_F(SerialFileTest, ThreadsAndProcessesNeverShareANumberNorSkipOne) {
  serial_.start = 1000;
  serial_.step = 3;
  constexpr int Threads = 3, Takes = 15;
  std::vector<std::pair<pid_t, int>> children;
  for (int process = 0; process < 2; ++process)
    children.push_back(Child([&](int out) {
      for (const std::uint64_t number : TakeOnThreads(Threads, Takes)) Send(out, number);
    }));
  Numbers all = TakeOnThreads(Threads, Takes);
  for (const auto& [pid, out] : children) {
    const Numbers numbers = Drain(out);
    all.insert(all.end(), numbers.begin(), numbers.end());
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::sort(all.begin(), all.end());
  Numbers expected;
  for (int i = 0; i < 3 * Threads * Takes; ++i) expected.push_back(1000 + 3 * std::uint64_t(i));
  EXPECT_EQ(all, expected);
  EXPECT_EQ(Stored(), std::to_string(1000 + 3 * 3 * Threads * Takes) + "\n");
}

TEST_F(SerialFileTest, AKilledTakerLosesAtMostItsOwnNumber) {
  serial_.start = 1;
  // A process killed while it holds the lock: the lock dies with it, and its number was never
  // handed out. A taker meanwhile waits.
  const auto [holder, ready] = Child([&](int out) {
    const FileLock lock(serial_.file + ".lock");
    Send(out, 0);
    pause();
  });
  Receive(ready);
  auto waiting = std::async(std::launch::async, [this] { return TakeSerialNumber(serial_); });
  EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(ready);
  EXPECT_EQ(waiting.get().number, 1u);

  // Processes taking numbers as fast as they can, each killed at a random moment: most often
  // while it holds the lock, between reading the number and replacing the file. The numbers
  // they reported, then the ones taken after, rise with no number twice; each kill may cost
  // the one number taken but not yet reported, no more.
  Numbers seen{1};
  std::mt19937 random(20);
  constexpr int Kills = 12;
  for (int round = 0; round < Kills; ++round) {
    const auto [taker, out] = Child([&](int pipe) {
      for (;;) Send(pipe, TakeSerialNumber(serial_).number.value_or(0));
    });
    for (int reported = 0; reported < 3; ++reported) seen.push_back(Receive(out));
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
    kill(taker, SIGKILL);
    waitpid(taker, nullptr, 0);
    const Numbers numbers = Drain(out);
    seen.insert(seen.end(), numbers.begin(), numbers.end());
  }
  for (const std::uint64_t number : TakeOnThreads(2, 5)) seen.push_back(number);
  std::sort(seen.end() - 10, seen.end());
  for (std::size_t i = 1; i < seen.size(); ++i) ASSERT_LT(seen[i - 1], seen[i]) << "at " << i;
  EXPECT_LE(seen.back() - seen.front() + 1 - seen.size(), std::uint64_t{Kills});
  EXPECT_EQ(Stored(), std::to_string(seen.back() + 1) + "\n");
}
