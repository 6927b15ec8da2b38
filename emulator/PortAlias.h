#pragma once
// The COM name under which the program finds the emulator: a symlink in the per-user alias
// folder, <config-home>/TARVELIN/ports/COMn, pointing at the line's device. The alias never
// replaces what another program put there: it is made only where no file is, or over a link
// left behind by an emulator that was killed (a link to a pseudo-terminal that no longer
// exists), and removed only while it still points where this emulator put it.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrel::emulator {

// `option` when given, else $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path ConfigHome(const std::string& option);

// The alias name of a COM port name: "COMn" for n from 1 to 256, the name taken in any case;
// none for any other name.
std::optional<std::string> AliasName(std::string_view portName);

// An alias that cannot be registered; the text says what stands in its way.
struct AliasRefused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class PortAlias {
 public:
  // Nothing is registered while `portName` is empty.
  PortAlias(const std::filesystem::path& configHome, const std::string& portName);
  ~PortAlias() { Remove(); }
  PortAlias(const PortAlias&) = delete;
  PortAlias& operator=(const PortAlias&) = delete;

  // Points the alias at `target`. Throws AliasRefused for a port name that is no COM name and
  // where something else holds the alias's place (a file, a live alias of another emulator),
  // std::filesystem::filesystem_error when the folder or link cannot be made.
  void Register(const std::string& target);
  // Removes the alias when it still points where this object put it.
  void Remove();
  // Empty when there is no alias.
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::string portName_;
  std::filesystem::path path_;
  std::string target_;
};

}  // namespace kestrel::emulator
