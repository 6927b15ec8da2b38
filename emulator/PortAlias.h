#pragma once
// The COM name under which the program finds the emulator: a symlink in the per-user alias
// folder, <config-home>/TARVELIN/ports/<name>, pointing at the line's device.

#include <filesystem>
#include <string>

namespace kestrel::emulator {

// `option` when given, else $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path ConfigHome(const std::string& option);

class PortAlias {
 public:
  // Nothing is registered while `portName` is empty.
  PortAlias(const std::filesystem::path& configHome, const std::string& portName);
  ~PortAlias() { Remove(); }
  PortAlias(const PortAlias&) = delete;
  PortAlias& operator=(const PortAlias&) = delete;

  // Points the alias at `target`, replacing whatever it pointed at, in one step.
  // Throws std::filesystem::filesystem_error.
  void Register(const std::string& target);
  // Removes the alias when it still points where this object put it.
  void Remove();
  // Empty when there is no alias.
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::string target_;
};

}  // namespace kestrel::emulator
