#include <filesystem>

#include "buffer/FileIo.h"
#include "cli/IniText.h"
#include "cli/StoredSettings.h"
#include "link/PosixConfigHome.h"

namespace kestrel::cli {

namespace {

// Far more than the settings file ever holds.
constexpr std::size_t SettingsFileLimit = 1024 * 1024;

}  // namespace

StoredSettings ReadStoredSettings() {
  // Where the desktop program's settings keep their native file.
  const std::string path = (ConfigHome() / "TARVELIN" / "KESTREL.conf").string();
  std::optional<std::vector<std::uint8_t>> text;
  try {
    text = ReadFileBytes(path, SettingsFileLimit);
  } catch (const FileError&) {
    StoredSettings unreadable;
    unreadable.where = path;
    unreadable.unreadable = {"ComPort", "Bitrate", "Parity"};
    return unreadable;
  }
  if (!text) return SettingsFromValues({}, path);
  return SettingsFromValues(
      ReadGeneralValues(std::string_view(reinterpret_cast<const char*>(text->data()), text->size())), path);
}

}  // namespace kestrel::cli
