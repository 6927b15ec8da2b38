// kestrel-cli on one port and on a gang of four, each an emulated programmer pacing every byte
// at the line rate: erase, write and verify of a chip's program memory, the whole program's
// run timed (start-up, discovery and chip selection included) against the operation's wire
// limit.
//
//   bench_cli_gang [--chip NAME] [--baud N]
//
// NAME is a chip of the emulator's catalogue (default ATmega328P, 32 KiB), N the line rate
// (default 56000). Goal: the gang of four within 1.2 times the time of one port.

#include <stdlib.h>
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

using namespace kestrel;
using Clock = std::chrono::steady_clock;

namespace {

// Runs kestrel-cli on `ports` emulated programmers; the seconds its whole run took.
double GangSeconds(const ScratchConfigHome& scratch, int ports, std::uint32_t baud, const std::string& chip,
                   const std::string& image) {
  std::vector<std::unique_ptr<emulator::Emulator>> devices;
  std::string command = std::string(KESTREL_CLI_PATH) + " -q -c " + chip + " -e -V";
  for (int i = 0; i < ports; ++i) {
    emulator::EmulatorOptions options;
    options.portName = "COM" + std::to_string(40 + i);
    options.configHome = scratch.Path();
    options.baud = baud;
    devices.push_back(std::make_unique<emulator::Emulator>(options));
    devices.back()->Start();
    command += " -p " + options.portName;
  }
  command += " -b " + std::to_string(baud) + " write flash " + image + " >/dev/null";
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("kestrel-cli failed: " + command);
  return seconds;
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

    const WireLimit limit = WriteLimit(size, true);
    std::printf("kestrel-cli -e -V write flash, %u bytes (%s), paced at %u bit/s, 11 bits a byte.\n", size,
                chip.c_str(), baud);
    std::printf("Wire limit of the operation: %.3f s; floor with the 1 ms read interval: %.3f s.\n",
                limit.Seconds(baud), limit.FloorSeconds(baud));
    std::printf("Times are the whole program's run: start-up, discovery and chip selection included.\n\n");
    std::printf("%-7s %10s %12s %12s\n", "ports", "time s", "over floor", "vs one port");
    double one = 0;
    for (const int ports : {1, 4}) {
      const double seconds = GangSeconds(scratch, ports, baud, chip, image);
      if (ports == 1) one = seconds;
      std::printf("%-7d %10.3f %11.1f%% %11.3fx\n", ports, seconds,
                  (seconds / limit.FloorSeconds(baud) - 1) * 100, seconds / one);
    }
    std::printf("\nGoal: four ports within 1.2x one port.\n");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_cli_gang: %s\n", error.what());
    return 1;
  }
  return 0;
}
