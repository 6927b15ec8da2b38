// Injected faults: the same seed gives the same faults; stalls, silence and the device
// vanishing and coming back.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <thread>

#include "emulator/Emulator.h"
#include "emulator/FaultPlan.h"
#include "emulator/FrameParser.h"
#include "link/Frame.h"
#include "tests/support/FrameHost.h"

using namespace kestrel::emulator;
using kestrel::test::FrameHost;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

FaultOptions Shares(std::uint64_t seed) {
  FaultOptions faults;
  faults.seed = seed;
  faults.noise = 0.3;
  faults.badHeader = 0.2;
  faults.badPayload = 0.2;
  faults.split = 0.3;
  faults.drop = 0.2;
  return faults;
}

bool operator==(const ReplyFaults& a, const ReplyFaults& b) {
  return a.noise == b.noise && a.drop == b.drop && a.badHeader == b.badHeader &&
         a.badPayload == b.badPayload && a.cuts == b.cuts && a.gap == b.gap;
}

TEST(FaultPlan, SameSeedSameFaultsAndSharesHold) {
  const FaultPlan plan(Shares(7)), same(Shares(7)), other(Shares(8));
  int drops = 0, splits = 0, differences = 0;
  for (std::uint64_t command = 1; command <= 4000; ++command) {
    const ReplyFaults faults = plan.ForReply(command, 100);
    EXPECT_TRUE(faults == same.ForReply(command, 100));
    differences += faults == other.ForReply(command, 100) ? 0 : 1;
    drops += faults.drop ? 1 : 0;
    if (faults.cuts.empty()) continue;
    ++splits;
    const std::size_t size = faults.noise.size() + (faults.drop ? 0 : 100) + 6;
    EXPECT_TRUE(std::is_sorted(faults.cuts.begin(), faults.cuts.end()));
    EXPECT_GE(faults.cuts.front(), 1u);
    EXPECT_LT(faults.cuts.back(), size);
    EXPECT_LE(faults.cuts.size(), 5u);
    EXPECT_TRUE(faults.gap >= 2ms && faults.gap <= 6ms);
    EXPECT_LE(faults.noise.size(), 16u);
  }
  EXPECT_NEAR(drops / 4000.0, 0.2, 0.03);
  EXPECT_NEAR(splits / 4000.0, 0.3, 0.03);
  EXPECT_GT(differences, 2000);
  EXPECT_EQ(plan.NoiseBeforePoll(3), same.NoiseBeforePoll(3));

  // Crossing polls come from a stream of their own: adding them changes no other fault.
  FaultOptions crossing = Shares(7);
  crossing.cross = 0.3;
  const FaultPlan crossed(crossing);
  int crossings = 0;
  for (std::uint64_t command = 1; command <= 4000; ++command) {
    EXPECT_TRUE(crossed.ForReply(command, 100) == plan.ForReply(command, 100));
    const auto at = crossed.CrossingPoll(command);
    EXPECT_EQ(at, crossed.CrossingPoll(command));
    if (!at) continue;
    ++crossings;
    EXPECT_TRUE(*at >= 0 && *at < 1);
  }
  EXPECT_NEAR(crossings / 4000.0, 0.3, 0.03);

  const FaultPlan none(FaultOptions{});
  for (std::uint64_t command = 1; command <= 1000; ++command) {
    EXPECT_TRUE(none.ForReply(command, 50) == ReplyFaults{});
    EXPECT_TRUE(none.NoiseBeforePoll(command).empty());
    EXPECT_FALSE(none.CrossingPoll(command));
  }
}

TEST(FrameParser, FindsEveryFrameAmidNoiseInAnyChunking) {
  std::uint64_t state = 99;
  const auto next = [&state] {
    return static_cast<std::uint8_t>((state = state * 6364136223846793005ull + 1) >> 56);
  };
  std::vector<Bytes> sent;
  Bytes stream;
  for (int frame = 0; frame < 300; ++frame) {
    for (int noise = next() % 8; noise > 0; --noise) stream.push_back(next());
    if (frame % 7 == 0) {  // a broken frame and a poll, both to be passed over
      Bytes broken = kestrel::ComposeFrame(Bytes{0xFB, next()});
      broken.back() ^= 0x40;
      stream.insert(stream.end(), broken.begin(), broken.end());
      const auto poll = kestrel::PollFrame();
      stream.insert(stream.end(), poll.begin(), poll.end());
    }
    Bytes payload(1 + next() % 255);
    for (auto& byte : payload) byte = next();
    const Bytes bytes = kestrel::ComposeFrame(payload);
    stream.insert(stream.end(), bytes.begin(), bytes.end());
    sent.push_back(payload);
  }
  FrameParser parser;
  std::vector<Bytes> found;
  for (std::size_t pos = 0; pos < stream.size();) {
    const std::size_t chunk = std::min<std::size_t>(1 + next() % 64, stream.size() - pos);
    parser.Append(std::span(stream).subspan(pos, chunk));
    pos += chunk;
    while (auto payload = parser.NextPayload()) found.push_back(*payload);
  }
  EXPECT_EQ(found, sent);
}

// A run of commands against an emulator with faults: the trace without its time stamps (and
// without its first line, which places them on the clock) and every byte the host received.
struct FaultyRun {
  std::vector<std::string> trace;
  kestrel::test::Bytes received;
};

FaultyRun RunWithFaults(std::uint64_t seed) {
  FaultyRun run;
  std::mutex mutex;
  EmulatorOptions options;
  options.portName.clear();
  options.pollInterval = 2s;
  options.faults = Shares(seed);
  options.trace = [&](const std::string& line) {
    std::lock_guard lock(mutex);
    if (line.find("monotonic clock") == std::string::npos)
      run.trace.push_back(line.substr(line.find(']') + 2));
  };
  Emulator emulator(options);
  emulator.Start();
  FrameHost host(emulator.HostPath());
  for (std::uint8_t i = 0; i < 60; ++i) {
    const auto bytes = host.Exchange(std::vector<std::uint8_t>{0xFA, static_cast<std::uint8_t>(i % 8)});
    EXPECT_FALSE(bytes.empty());
    run.received.insert(run.received.end(), bytes.begin(), bytes.end());
  }
  emulator.Stop();
  return run;
}

std::size_t Count(const std::vector<std::string>& lines, const std::string& text) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.find(text) != std::string::npos;
  }));
}

TEST(Faults, SameSeedSameFaultsOverTheLine) {
  const FaultyRun first = RunWithFaults(11), second = RunWithFaults(11), other = RunWithFaults(12);
  EXPECT_EQ(first.trace, second.trace);
  EXPECT_EQ(first.received, second.received);
  EXPECT_NE(first.trace, other.trace);
  for (const char* fault :
       {"noise", "reply dropped", "header sum spoiled", "payload sum spoiled", "pieces"}) {
    EXPECT_GT(Count(first.trace, fault), 0u) << fault;
  }
  // Every reply that went out whole and unspoiled is a good frame the host can take.
  const std::size_t good = Count(first.trace, "-> reply:");
  EXPECT_EQ(kestrel::test::Payloads(first.received).size(), good);
  EXPECT_GT(good, 10u);
}

EmulatorOptions Polling(FaultOptions faults = {}) {
  EmulatorOptions options;
  options.portName.clear();
  options.pollInterval = 50ms;
  options.faults = faults;
  return options;
}

// Every command is crossed by an idle poll, which goes out ahead of the reply. A host that takes
// that poll for the device's readiness and sends the command again gets it carried out twice,
// and the device counts it.
TEST(Faults, CrossingPollsAndCommandsCarriedOutTwice) {
  FaultOptions faults;
  faults.cross = 1;
  EmulatorOptions options = Polling(faults);
  options.baud = 56000;
  std::mutex mutex;
  std::vector<std::string> notes;
  options.trace = [&](const std::string& line) {
    std::lock_guard lock(mutex);
    if (line.find("] -- ") != std::string::npos) notes.push_back(line.substr(line.find("] -- ") + 5));
  };
  Emulator emulator(options);
  emulator.Start();
  FrameHost host(emulator.HostPath());
  const auto poll = kestrel::PollFrame();
  const Bytes pollBytes(poll.begin(), poll.end());
  const Bytes name{0xFA, 2}, count{0xFB};
  const auto exchange = [&](const Bytes& command) {
    host.Send(command);
    EXPECT_EQ(host.ReadThroughPoll(), pollBytes) << "the crossing poll comes first, alone";
    return kestrel::test::Payloads(host.ReadThroughPoll());
  };

  ASSERT_TRUE(host.WaitForPoll());
  EXPECT_EQ(exchange(name).size(), 1u);
  EXPECT_EQ(exchange(count).size(), 1u);
  EXPECT_EQ(exchange(name).size(), 1u);
  EXPECT_EQ(emulator.CommandsRepeated(), 0u) << "the same command, but not in a row";
  EXPECT_EQ(exchange(name).size(), 1u);
  EXPECT_EQ(emulator.CommandsRepeated(), 1u);
  const Bytes refused{0xFA, 200};
  EXPECT_TRUE(exchange(refused).empty());
  EXPECT_TRUE(exchange(refused).empty());
  EXPECT_EQ(emulator.CommandsRepeated(), 1u) << "refusals are not carried out";
  emulator.Stop();
  EXPECT_EQ(std::count(notes.begin(), notes.end(), "idle poll crossing the command"), 6);
  EXPECT_EQ(std::count(notes.begin(), notes.end(), "carried out twice in a row (1 so far)"), 1);
}

TEST(Faults, StallHoldsOneCommand) {
  FaultOptions faults;
  faults.stallAfter = 2;
  faults.stallFor = 400ms;
  Emulator emulator(Polling(faults));
  emulator.Start();
  FrameHost host(emulator.HostPath());
  for (int command = 1; command <= 3; ++command) {
    ASSERT_TRUE(host.WaitForPoll());
    const auto start = Clock::now();
    host.Send(std::vector<std::uint8_t>{0xFB});
    EXPECT_EQ(kestrel::test::Payloads(host.ReadThroughPoll(1s)).size(), 1u);
    const auto took = Clock::now() - start;
    if (command == 2) {
      EXPECT_GE(took, 400ms);
    } else {
      EXPECT_LT(took, 200ms);
    }
  }
}

TEST(Faults, SilenceFromACommandOnUntilLifted) {
  FaultOptions faults;
  faults.silentFrom = 3;
  Emulator emulator(Polling(faults));
  emulator.Start();
  FrameHost host(emulator.HostPath());
  EXPECT_TRUE(host.Ask(std::vector<std::uint8_t>{0xFB}));
  EXPECT_TRUE(host.Ask(std::vector<std::uint8_t>{0xFD}));
  ASSERT_TRUE(host.WaitForPoll());
  host.Send(std::vector<std::uint8_t>{0xFB});
  EXPECT_TRUE(host.ReadFor(300ms).empty()) << "no reply and no poll";
  host.Send(std::vector<std::uint8_t>{0xFB});
  EXPECT_TRUE(host.ReadFor(200ms).empty());

  emulator.SetSilent(false);
  EXPECT_TRUE(host.WaitForPoll(1s));
  EXPECT_TRUE(host.Ask(std::vector<std::uint8_t>{0xFB}));
  emulator.SetSilent(true);
  std::this_thread::sleep_for(150ms);
  host.ReadFor(50ms);
  EXPECT_TRUE(host.ReadFor(300ms).empty());
  EXPECT_EQ(emulator.CommandsReceived(), 4u) << "commands sent to a silent device are not taken";
}

TEST(Faults, DeviceVanishesAndComesBack) {
  std::string pattern = (fs::temp_directory_path() / "kestrel-emulator-XXXXXX").string();
  const fs::path home = mkdtemp(pattern.data());
  FaultOptions faults;
  faults.vanishAfter = 1;
  faults.vanishFor = 400ms;
  EmulatorOptions options = Polling(faults);
  options.configHome = home.string();
  options.portName = "COM3";
  {
    Emulator emulator(options);
    emulator.Start();
    const fs::path alias = home / "TARVELIN" / "ports" / "COM3";
    ASSERT_EQ(emulator.AliasPath(), alias);
    ASSERT_EQ(fs::read_symlink(alias), emulator.HostPath());
    FrameHost host(emulator.HostPath());
    EXPECT_TRUE(host.Ask(std::vector<std::uint8_t>{0xFB}));

    // The line is gone: the host's end is hung up, and the alias is removed.
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(fs::is_symlink(alias));
    EXPECT_EQ(emulator.HostPath(), "");
    host.ReadFor(50ms);
    std::uint8_t byte = 0;
    EXPECT_LE(read(host.Fd(), &byte, 1), 0);

    // Back on a new pty, under the same name.
    const auto deadline = Clock::now() + 2s;
    while (!fs::is_symlink(alias) && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::is_symlink(alias));
    EXPECT_EQ(fs::read_symlink(alias), emulator.HostPath());
    FrameHost again(fs::read_symlink(alias).string());
    EXPECT_EQ(again.Ask(std::vector<std::uint8_t>{0xFB}), (std::vector<std::uint8_t>{0xFB, 0x08}));
    EXPECT_EQ(emulator.CommandsReceived(), 2u);
  }
  EXPECT_FALSE(fs::exists(home / "TARVELIN" / "ports" / "COM3"));
  fs::remove_all(home);
}

}  // namespace
