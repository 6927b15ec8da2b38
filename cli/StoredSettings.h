#pragma once
// The line settings the desktop program's settings dialog stores: ComPort, Bitrate, Parity.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "cli/StoredValue.h"

namespace kestrel::cli {

struct StoredSettings {
  std::string where;  // the file or registry key, for messages
  std::optional<std::string> comPort;
  std::optional<std::int32_t> bitrate;
  std::optional<std::int32_t> parity;  // the index in the dialog's ninth-bit list
  std::set<std::string> unreadable;    // names of values stored but not usable
};

// The platform's store: on Linux the INI file of the per-user settings folder, on Windows the
// registry key HKEY_CURRENT_USER\Software\TARVELIN\KESTREL. Nothing stored is no error.
StoredSettings ReadStoredSettings();

// The settings among the store's values. A text stands for an integer when it reads as one
// (blanks around it allowed); a rate below 1 is not usable, nor a parity row outside the list
// but -1 (none chosen).
StoredSettings SettingsFromValues(const StoredValues& values, std::string where);

}  // namespace kestrel::cli
