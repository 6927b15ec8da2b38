#pragma once
// The programmer device emulator, to run inside a test or behind the kestrel-emulator program.
//
//   kestrel::emulator::EmulatorOptions options;
//   options.configHome = scratchDir;               // alias: scratchDir/TARVELIN/ports/COM1
//   kestrel::emulator::Emulator device(options);
//   device.Start();                                // a new pty, polling from now on
//   open(device.HostPath()) ... or let the program open "COM1" through the alias
//   device.ModifyChip(device.ChipNumber("ATmega328P"), [](ChipState& c) { c.flash[0] = 0x12; });
//   device.Stop();                                 // also done by the destructor
//
// The device keeps to the framing of the link: it sends its empty poll frame when it becomes
// ready, right behind each reply (in the same write) and every `pollInterval` while idle, and
// it never answers a frame that arrived while it was busy with a command. Commands it cannot
// carry out get no reply (see Device.h for the list); the host then resends at each poll.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/ChipCatalogue.h"
#include "emulator/Device.h"
#include "emulator/FaultPlan.h"

namespace kestrel::emulator {

struct EmulatorOptions {
  // The COM name registered in <configHome>/TARVELIN/ports (COM1 to COM256, any case); empty
  // registers none.
  std::string portName = "COM1";
  // Empty: $XDG_CONFIG_HOME, else ~/.config.
  std::string configHome;
  // A real serial device to run on (raw, 8O1 at `baud`, 56000 when 0) instead of a pty.
  std::string device;
  // Where the chips' memories, fuse and lock bits are kept between runs; empty keeps nothing.
  std::string stateFile;
  // Bits per second at 11 bits a byte: outgoing bytes are paced and each command counts its
  // own time on the line. 0 sends at full speed. A real serial device paces itself.
  std::uint32_t baud = 0;
  std::chrono::milliseconds pollInterval{50};
  // Device time of every write command (memory block, fuse bit, lock bit) and every erase.
  std::chrono::milliseconds writeTime{0};
  std::chrono::milliseconds eraseTime{0};
  FaultOptions faults;
  // For tests that need a long chip list: the device knows this many chips, the catalogue's
  // over and over under numbered names (see ChipCatalogue(count)). 0 for the catalogue.
  std::size_t chipCount = 0;
  // Receives one line per frame in and out when set.
  std::function<void(const std::string&)> trace;
};

class Emulator {
 public:
  explicit Emulator(EmulatorOptions options = {});
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // Checks the state file's folder, loads the state file, opens the line, registers the alias
  // and starts the device on its own thread. Throws std::runtime_error when any of that fails (a
  // damaged state file, a port name that is no COM name and an alias held by another program
  // included).
  void Start();
  // Stops the device, stores the state file, removes the alias and closes the line.
  void Stop();
  bool Running() const;
  // Whether every change to the chips has reached the state file; true without one. After Stop,
  // false means the state could not be stored (said on standard error).
  bool StateKept() const;

  // The path the program opens: the pty's slave (new after each vanishing) or the device.
  std::string HostPath() const;
  // The alias symlink, empty when none is registered.
  std::filesystem::path AliasPath() const;

  // Test hooks. Chips are numbered as the device numbers them for SelectChip.
  static const std::vector<ChipType>& Catalogue() { return ChipCatalogue(); }
  // How many chips this device knows: the catalogue's, or EmulatorOptions::chipCount.
  std::size_t ChipCount() const;
  // Throws std::out_of_range for a name the catalogue lacks.
  static std::size_t ChipNumber(std::string_view name);
  // A copy of what the chip holds now.
  ChipState Chip(std::size_t number) const;
  // Changes what the chip holds behind the program's back; memory sizes must stay as they are.
  void ModifyChip(std::size_t number, const std::function<void(ChipState&)>& change);
  std::optional<std::size_t> SelectedChip() const;
  // Command frames accepted so far (answered or refused).
  std::uint64_t CommandsReceived() const;
  // How often the device carried out a command that was the same, byte for byte, as the one it
  // carried out just before (refused commands do not count). A host that never sends a command
  // again while the device may be carrying it out keeps this at 0 on a line without faults.
  std::uint64_t CommandsRepeated() const;
  // A silent device sends nothing, polls included, and ignores what arrives, as if unplugged
  // without closing the line. It takes effect within one poll interval.
  void SetSilent(bool silent);
  // Closes the line as if unplugged, removing the alias, and brings it back (a new pty and
  // the alias pointing at it) after `gone`. Takes effect within one poll interval.
  void Vanish(std::chrono::milliseconds gone);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrel::emulator
