// kestrel-cli on 1, 4 and 16 ports, each an emulated programmer pacing every byte at the line
// rate: erase, write and verify of a chip's program memory, the whole program's run timed
// (start-up, discovery and chip selection included) against the operation's wire limit, with
// the program's CPU time a port. Each gang runs plain and as a production run, with a run log
// and a serial number for each board.
//
//   bench_cli_gang [--chip NAME] [--baud N]
//
// NAME is a chip of the emulator's catalogue (default ATmega328P, 32 KiB), N the line rate
// (default 56000). Goals: four ports within 1.2 times the time of one port; sixteen within 1.05
// times, the log and serial numbers on.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/ScratchConfigHome.h"
#include "bench/WireLimit.h"
#include "emulator/Emulator.h"

extern char** environ;

using namespace kestrel;
using Clock = std::chrono::steady_clock;

namespace {

struct Run {
  double seconds = 0;     // the whole run, wall clock
  double cpuSeconds = 0;  // the program's user and system time
};

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

// Starts the program with `arguments`, its results thrown away, and waits for it.
Run RunProgram(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("kestrel-cli cannot be started");
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) throw std::runtime_error("kestrel-cli was lost");
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string command;
    for (const std::string& argument : arguments) command += argument + ' ';
    throw std::runtime_error("kestrel-cli failed: " + command);
  }
  return {seconds, Seconds(usage.ru_utime) + Seconds(usage.ru_stime)};
}

// Runs kestrel-cli on `ports` emulated programmers, each registered afresh, plain or with
// `production` options added.
Run Gang(const ScratchConfigHome& scratch, int ports, std::uint32_t baud, const std::string& chip,
         const std::string& image, const std::vector<std::string>& production) {
  std::vector<std::unique_ptr<emulator::Emulator>> devices;
  std::vector<std::string> arguments{KESTREL_CLI_PATH,    "-q", "-c", chip, "-e", "-V", "-b",
                                     std::to_string(baud)};
  for (int i = 0; i < ports; ++i) {
    emulator::EmulatorOptions options;
    options.portName = "COM" + std::to_string(40 + i);
    options.configHome = scratch.Path();
    options.baud = baud;
    devices.push_back(std::make_unique<emulator::Emulator>(options));
    devices.back()->Start();
    arguments.insert(arguments.end(), {"-p", options.portName});
  }
  arguments.insert(arguments.end(), production.begin(), production.end());
  arguments.insert(arguments.end(), {"write", "flash", image});
  return RunProgram(arguments);
}

}  // namespace

int main(int argc, char** argv) {
  std::string chip = "ATmega328P";
  std::uint32_t baud = 56000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--chip")) chip = argv[i + 1];
    if (!std::strcmp(argv[i], "--baud")) baud = static_cast<std::uint32_t>(std::stoul(argv[i + 1]));
  }
  try {
    const ScratchConfigHome scratch;
    const auto size = static_cast<std::uint32_t>(
        emulator::Emulator::Catalogue()[emulator::Emulator::ChipNumber(chip)].flashSize);
    std::vector<char> bytes(size);
    std::mt19937 random(1);
    for (char& byte : bytes) byte = static_cast<char>(random());
    const std::string image = scratch.Path() + "/image.bin";
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    // The serial number in the last four bytes of the image, so that the image keeps its size.
    const std::vector<std::string> production{"--log",         scratch.Path() + "/runs.jsonl",
                                              "--serial",      "flash:" + std::to_string(size - 4) + ":4",
                                              "--serial-file", scratch.Path() + "/serial"};

    const WireLimit limit = WriteLimit(size, true);
    std::printf("kestrel-cli -e -V write flash, %u bytes (%s), paced at %u bit/s, 11 bits a byte.\n", size,
                chip.c_str(), baud);
    std::printf("Wire limit of the operation: %.3f s; floor with the 1 ms read interval: %.3f s.\n",
                limit.Seconds(baud), limit.FloorSeconds(baud));
    std::printf("Times are the whole program's run: start-up, discovery and chip selection included.\n");
    std::printf("CPU is the program's user and system time divided by the ports.\n\n");
    std::printf("%-7s %-12s %10s %12s %12s %14s\n", "ports", "options", "time s", "over floor", "vs one port",
                "CPU ms a port");
    for (const bool withProduction : {false, true}) {
      double one = 0;
      for (const int ports : {1, 4, 16}) {
        const Run run =
            Gang(scratch, ports, baud, chip, image, withProduction ? production : std::vector<std::string>());
        if (ports == 1) one = run.seconds;
        std::printf("%-7d %-12s %10.3f %11.1f%% %11.3fx %14.1f\n", ports,
                    withProduction ? "log, serial" : "plain", run.seconds,
                    (run.seconds / limit.FloorSeconds(baud) - 1) * 100, run.seconds / one,
                    run.cpuSeconds * 1000 / ports);
        std::fflush(stdout);
      }
    }
    std::printf(
        "\nGoals: four ports within 1.2x one port; sixteen within 1.05x, with the log and serial "
        "numbers.\n");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_cli_gang: %s\n", error.what());
    return 1;
  }
  return 0;
}
