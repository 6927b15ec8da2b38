// The kestrel-emulator program and the line around the device: the COM alias, signals, the
// trace, the command line, and running on a serial device instead of a pty.

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "emulator/CommandLine.h"
#include "emulator/Emulator.h"
#include "link/Frame.h"
#include "tests/support/FrameHost.h"
#include "tests/support/Pty.h"

using namespace kestrel::emulator;
using kestrel::test::FrameHost;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "kestrel-emulator-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchFolder() { fs::remove_all(path_); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// Runs the program with `args`, its standard error going to `errors`.
pid_t Spawn(std::vector<std::string> args, const fs::path& errors) {
  args.insert(args.begin(), KESTREL_EMULATOR_PATH);
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = -1;
  const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

std::string Contents(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Program : public ::testing::TestWithParam<int> {};

TEST_P(Program, RegistersItsAliasAndRemovesItWhenSignalled) {
  ScratchFolder scratch;
  const fs::path alias = scratch.Path() / "TARVELIN" / "ports" / "COM5";
  const fs::path errors = scratch.Path() / "trace.txt";
  const pid_t pid = Spawn(
      {"--config-home", scratch.Path().string(), "--port", "COM5", "--poll-ms", "20", "--trace"}, errors);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(WaitFor([&] { return fs::is_symlink(alias); }));
  EXPECT_TRUE(fs::read_symlink(alias).string().starts_with("/dev/pts/"));
  {
    FrameHost host(alias.string());
    const auto name = host.Ask(kestrel::test::Bytes{0xFE});
    ASSERT_TRUE(name);
    EXPECT_EQ(name->front(), 0xFE);
  }
  kill(pid, GetParam());
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(fs::exists(alias) || fs::is_symlink(alias));
  const std::string trace = Contents(errors);
  EXPECT_NE(trace.find("-> poll: D1 E0 EB EE 00 8A"), std::string::npos);
  EXPECT_NE(trace.find("<- GetProgrammerName: D1 E0 EB EE 01 8B FE FE"), std::string::npos);
  EXPECT_NE(trace.find("-> reply: D1 E0 EB EE"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Signals, Program, ::testing::Values(SIGTERM, SIGINT));

TEST(ProgramStart, RefusesBadOptionsAndAnUnusableLine) {
  ScratchFolder scratch;
  const fs::path errors = scratch.Path() / "errors.txt";
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--noise", "2"}, {"--baud", "fast"}, {"--poll-ms", "0"}, {"--colour", "red"}, {"--seed"}}) {
    const pid_t pid = Spawn(args, errors);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args[0];
    EXPECT_NE(Contents(errors).find("Usage"), std::string::npos);
  }
  const pid_t pid = Spawn({"--device", (scratch.Path() / "no-such-tty").string(), "--port", ""}, errors);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_NE(Contents(errors).find("cannot open the line"), std::string::npos);
}

TEST(CommandLine, TakesEveryOption) {
  const char* argv[] = {"kestrel-emulator",
                        "--port",
                        "COM9",
                        "--config-home",
                        "/tmp/x",
                        "--state",
                        "s.bin",
                        "--baud",
                        "56000",
                        "--poll-ms",
                        "40",
                        "--write-ms",
                        "3",
                        "--erase-ms",
                        "30",
                        "--seed",
                        "99",
                        "--noise",
                        "0.5",
                        "--bad-header",
                        "0.1",
                        "--bad-payload",
                        "0.2",
                        "--split",
                        "0.3",
                        "--drop",
                        "0.4",
                        "--cross",
                        "0.25",
                        "--stall-after",
                        "5",
                        "--stall-ms",
                        "6000",
                        "--silent-from",
                        "7",
                        "--vanish-after",
                        "8",
                        "--vanish-ms",
                        "900",
                        "--trace"};
  const CommandLine line = ParseCommandLine(static_cast<int>(std::size(argv)), argv);
  ASSERT_EQ(line.error, "");
  const EmulatorOptions& o = line.options;
  EXPECT_EQ(o.portName, "COM9");
  EXPECT_EQ(o.configHome, "/tmp/x");
  EXPECT_EQ(o.stateFile, "s.bin");
  EXPECT_EQ(o.baud, 56000u);
  EXPECT_EQ(o.pollInterval, 40ms);
  EXPECT_EQ(o.writeTime, 3ms);
  EXPECT_EQ(o.eraseTime, 30ms);
  EXPECT_TRUE(o.trace);
  const FaultOptions& f = o.faults;
  EXPECT_EQ(f.seed, 99u);
  EXPECT_EQ(f.noise, 0.5);
  EXPECT_EQ(f.badHeader, 0.1);
  EXPECT_EQ(f.badPayload, 0.2);
  EXPECT_EQ(f.split, 0.3);
  EXPECT_EQ(f.drop, 0.4);
  EXPECT_EQ(f.cross, 0.25);
  EXPECT_EQ(f.stallAfter, 5u);
  EXPECT_EQ(f.stallFor, 6000ms);
  EXPECT_EQ(f.silentFrom, 7u);
  EXPECT_EQ(f.vanishAfter, 8u);
  EXPECT_EQ(f.vanishFor, 900ms);

  // A COM name in any case is taken as the program takes port names.
  const char* lower[] = {"kestrel-emulator", "--port", "com12"};
  EXPECT_EQ(ParseCommandLine(3, lower).options.portName, "COM12");

  const char* defaults[] = {"kestrel-emulator"};
  const CommandLine plain = ParseCommandLine(1, defaults);
  EXPECT_EQ(plain.options.portName, "COM1");
  EXPECT_EQ(plain.options.baud, 0u);
  EXPECT_EQ(plain.options.pollInterval, 50ms);
  EXPECT_FALSE(plain.options.trace);
}

TEST(Alias, ReplacesAStaleOneAndLeavesOneTakenOver) {
  ScratchFolder scratch;
  const fs::path alias = scratch.Path() / "TARVELIN" / "ports" / "COM1";
  fs::create_directories(alias.parent_path());
  fs::create_symlink("/dev/pts/999", alias);  // left by an emulator that was killed

  EmulatorOptions options;
  options.configHome = scratch.Path().string();
  Emulator emulator(options);
  emulator.Start();
  EXPECT_EQ(emulator.AliasPath(), alias);
  EXPECT_EQ(fs::read_symlink(alias), emulator.HostPath());
  emulator.Stop();
  EXPECT_FALSE(fs::is_symlink(alias));

  emulator.Start();
  fs::remove(alias);
  fs::create_symlink("/dev/ttyUSB0", alias);  // another device took the name meanwhile
  emulator.Stop();
  EXPECT_EQ(fs::read_symlink(alias), "/dev/ttyUSB0");
}

// What the program refuses to start over, each left as it was: a port name that is no COM
// name, a file or a foreign link where the alias would go, the live alias of another emulator,
// and a state file whose folder does not exist.
TEST(ProgramStart, NeverTakesOverWhatIsNotItsOwn) {
  ScratchFolder scratch;
  const fs::path ports = scratch.Path() / "TARVELIN" / "ports";
  fs::create_directories(ports);
  const fs::path victim = scratch.Path() / "victim.txt";
  std::ofstream(victim) << "keep me";
  std::ofstream(ports / "COM3") << "not a link";
  fs::create_symlink(victim, ports / "COM4");
  EmulatorOptions first;
  first.configHome = scratch.Path().string();
  first.portName = "COM5";
  Emulator other(first);
  other.Start();

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string error;
  };
  const Case cases[] = {
      {{"--port", "../../victim.txt"}, 2, "bad value for --port: ../../victim.txt"},
      {{"--port", victim.string()}, 2, "bad value for --port"},
      {{"--port", "COM257"}, 2, "bad value for --port"},
      {{"--port", "COM3"}, 1, "COM3 is not an emulator's alias; it is left as it is"},
      {{"--port", "com4"}, 1, "COM4 is taken: "},
      {{"--port", "COM5"}, 1, "COM5 is taken: "},
      {{"--port", "COM6", "--state", (scratch.Path() / "missing" / "state.bin").string()},
       1,
       "the state file's folder " + (scratch.Path() / "missing").string() + " does not exist"},
  };
  const fs::path errors = scratch.Path() / "errors.txt";
  for (const Case& c : cases) {
    std::vector<std::string> args{"--config-home", scratch.Path().string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.args[1]);
    const pid_t pid = Spawn(args, errors);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << status;
    EXPECT_NE(Contents(errors).find(c.error), std::string::npos) << Contents(errors);
  }
  EXPECT_EQ(Contents(victim), "keep me");
  EXPECT_EQ(Contents(ports / "COM3"), "not a link");
  EXPECT_EQ(fs::read_symlink(ports / "COM4"), victim);
  EXPECT_EQ(fs::read_symlink(ports / "COM5"), other.HostPath());
  EXPECT_FALSE(fs::exists(ports / "COM6") || fs::is_symlink(ports / "COM6"));
  // The first emulator still removes its own alias at its end.
  other.Stop();
  EXPECT_FALSE(fs::is_symlink(ports / "COM5"));
}

// A state that cannot be stored at the end is no success.
TEST(StateFile, AStoreThatFailsAtTheEndIsReported) {
  ScratchFolder scratch;
  const fs::path folder = scratch.Path() / "state";
  fs::create_directories(folder);
  EmulatorOptions options;
  options.portName.clear();
  options.stateFile = (folder / "chips.bin").string();
  Emulator emulator(options);
  emulator.Start();
  fs::remove_all(folder);
  emulator.ModifyChip(0, [](ChipState& chip) { chip.flash[0] = 0x12; });
  emulator.Stop();
  EXPECT_FALSE(emulator.StateKept());
}

TEST(SerialDevice, RunsRawAt8O1OnTheGivenLine) {
  kestrel::test::Pty pty;  // the test holds the far end; the emulator opens the slave as its device
  EmulatorOptions options;
  options.portName.clear();
  options.device = pty.SlavePath();
  options.pollInterval = 2s;
  Emulator emulator(options);
  emulator.Start();
  EXPECT_EQ(emulator.HostPath(), pty.SlavePath());
  const kestrel::test::Bytes poll{0xD1, 0xE0, 0xEB, 0xEE, 0x00, 0x8A};
  EXPECT_EQ(pty.Read(6, 1s), poll);

  const auto settings = pty.Settings();
  EXPECT_EQ(settings.ospeed, 56000u);
  EXPECT_EQ(settings.ispeed, 56000u);
  EXPECT_NE(settings.cflag & PARODD, 0u);
  EXPECT_EQ(settings.cflag & (CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(settings.lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(settings.oflag & OPOST, 0u);

  ASSERT_TRUE(pty.Write(kestrel::ComposeFrame(kestrel::test::Bytes{0xFB})));
  kestrel::test::Bytes expected = kestrel::ComposeFrame(kestrel::test::Bytes{0xFB, 0x08});
  expected.insert(expected.end(), poll.begin(), poll.end());
  EXPECT_EQ(pty.Read(expected.size(), 1s), expected);
}

}  // namespace
