#include "emulator/Emulator.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>

#include "emulator/EmulatorImpl.h"
#include "emulator/StateFile.h"

namespace kestrel::emulator {

Emulator::Impl::Impl(EmulatorOptions emulatorOptions)
    : options(std::move(emulatorOptions)),
      plan(options.faults),
      line(options.device, options.baud != 0 ? options.baud : 56000),
      alias(ConfigHome(options.configHome), options.portName),
      pacer(options.device.empty() ? options.baud : 0),
      tracer(options.trace),
      device(ChipCatalogue(options.chipCount)) {}

Emulator::Impl::~Impl() {
  if (wake >= 0) close(wake);
}

Emulator::Emulator(EmulatorOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Emulator::~Emulator() { Stop(); }

void Emulator::Start() {
  if (Running()) return;
  Impl& d = *impl_;
  if (!d.options.stateFile.empty()) CheckStateFolder(d.options.stateFile);
  if (!d.options.stateFile.empty() && std::filesystem::exists(d.options.stateFile)) {
    std::lock_guard lock(d.mutex);
    if (!LoadChipStates(d.options.stateFile, d.device.Chips(), d.device.Catalogue())) {
      throw std::runtime_error("the state file " + d.options.stateFile + " is damaged or unreadable");
    }
  }
  if (d.wake < 0) d.wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (d.wake < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  try {
    d.OpenLine();
  } catch (const AliasRefused&) {
    d.line.Close();
    throw;
  } catch (const std::exception& error) {
    d.line.Close();
    throw std::runtime_error(std::string("cannot open the line: ") + error.what());
  }
  d.stop = false;
  d.thread = std::thread([&d] { d.Run(); });
}

void Emulator::Stop() {
  Impl& d = *impl_;
  if (!d.thread.joinable()) return;
  d.stop = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = write(d.wake, &one, sizeof one);
  d.thread.join();
  std::uint64_t drained = 0;
  [[maybe_unused]] const auto read = ::read(d.wake, &drained, sizeof drained);
  d.alias.Remove();
  d.line.Close();
}

bool Emulator::Running() const { return impl_->thread.joinable(); }

bool Emulator::StateKept() const { return impl_->options.stateFile.empty() || !impl_->unsaved; }

std::string Emulator::HostPath() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->hostPath;
}

std::filesystem::path Emulator::AliasPath() const { return impl_->alias.Path(); }

std::size_t Emulator::ChipNumber(std::string_view name) {
  const auto& chips = ChipCatalogue();
  const auto found =
      std::find_if(chips.begin(), chips.end(), [&](const ChipType& chip) { return chip.name == name; });
  if (found == chips.end()) throw std::out_of_range("no chip named " + std::string(name));
  return static_cast<std::size_t>(found - chips.begin());
}

ChipState Emulator::Chip(std::size_t number) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->device.Chips().at(number);
}

void Emulator::ModifyChip(std::size_t number, const std::function<void(ChipState&)>& change) {
  std::lock_guard lock(impl_->mutex);
  ChipState& chip = impl_->device.Chips().at(number);
  change(chip);
  // The device relies on the sizes of the catalogue.
  const ChipType& type = impl_->device.Catalogue()[number];
  chip.flash.resize(type.flashSize, 0xFF);
  chip.eeprom.resize(type.eepromSize, 0xFF);
  chip.ram.resize(type.ramSize, 0x00);
  chip.fuses.resize(type.fuses.size(), 0);
  chip.locks.resize(type.locks.size(), 0);
  impl_->device.NoteChange();
}

std::optional<std::size_t> Emulator::SelectedChip() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->device.SelectedChip();
}

std::uint64_t Emulator::CommandsReceived() const { return impl_->commands; }

std::uint64_t Emulator::CommandsRepeated() const { return impl_->repeated; }

std::size_t Emulator::ChipCount() const { return impl_->device.Catalogue().size(); }

void Emulator::SetSilent(bool silent) { impl_->silent = silent; }

void Emulator::Vanish(std::chrono::milliseconds gone) { impl_->vanishRequest = gone.count(); }

}  // namespace kestrel::emulator
