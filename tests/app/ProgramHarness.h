#pragma once
// The whole program against the emulated programmer: the real serial component over a
// pseudo-terminal, the real windows (offscreen) and the real core, with the emulator running
// in-process as COM1. Settings and the COM alias live in a scratch folder for the whole test
// program; every test starts the six windows and a fresh device, and waits for the discovery.

#include <gtest/gtest.h>

#include <QEvent>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/KestrelApplication.h"
#include "emulator/Emulator.h"
#include "operations/Session.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/Pty.h"

class QListWidget;
class QWidget;

namespace kestrel {
class TBitDialog;
}

namespace kestrel::test {

using Bytes = std::vector<std::uint8_t>;

// The scratch folder that holds the settings and the COM aliases for the whole test program,
// made before the application object.
class ProgramEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  static const std::string& ConfigHome();

 private:
  std::unique_ptr<TempConfigHome> config_;
};

inline const auto* const programEnvironment = ::testing::AddGlobalTestEnvironment(new ProgramEnvironment);
inline const auto* const programApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<KestrelApplication>);

// Runs the event loop until `done` holds; false when `limit` passed first.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(60));

// Input as the windows receive it: a mouse-up of the left button, a key going down or up.
void MouseUp(QWidget* target);
void Key(QWidget* target, QEvent::Type type, int key);

// Upper-case hexadecimal without leading zeros, as the program's texts show addresses.
std::string Hex(std::uint32_t value);
// A deterministic byte pattern that differs for every seed.
Bytes Pattern(std::size_t length, unsigned seed);
// Intel HEX data records of 16 bytes from address 0, an extended linear address record before
// each 64 KiB above the first, and the end record.
std::string IntelHex(const Bytes& image);

std::vector<std::string> Texts(const QListWidget* list);
std::vector<std::string> BoxNames(const TBitDialog& dialog);

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Lets a test set the device's options (faults, pacing) before it starts; the scratch
  // folder and the trace are the harness's.
  virtual void Configure(emulator::EmulatorOptions&) {}

  static Session& S();
  static bool Idle() { return !S().Busy(); }
  // Waits for the queue to run empty; the queue window closes with it.
  void WaitIdle();
  // Waits until the chip list holds every chip the device knows and the queue is empty.
  bool Discovered(std::chrono::milliseconds limit = std::chrono::seconds(60));

  // Names of the commands the device received since the last call, oldest first.
  std::vector<std::string> TakeReceived();
  // When the device last sent its poll.
  std::chrono::steady_clock::time_point LastPoll();

  // Selects the chip in the chip list by mouse and waits for its requests to be answered.
  void SelectChip(std::size_t number);
  // Chooses the command list's row of `code`, by mouse or by Enter going down; Choose also waits
  // for the queue to run empty.
  void Click(std::uint8_t code, bool byEnter = false);
  void Choose(std::uint8_t code, bool byEnter = false);

  // Option switches CheckBox1..CheckBox7 of the settings dialog: those listed on, the rest off.
  static void SetOptions(std::initializer_list<int> checked);
  // Stores `image` in the scratch folder under `name` (Intel HEX when it ends in ".hex", raw
  // otherwise) and makes it the working file, as a choice in the browser would.
  static void UseWorkingFile(const Bytes& image, const std::string& name);

  static std::string Status();

  std::unique_ptr<emulator::Emulator> device_;
  std::vector<std::string> boxes_;  // texts of the message boxes shown, answered "Yes"

 private:
  std::mutex traceMutex_;
  std::vector<std::string> received_;
  std::chrono::steady_clock::time_point lastPoll_;
};

}  // namespace kestrel::test
