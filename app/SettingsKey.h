#pragma once
// The program's per-user settings key (TARVELIN\KESTREL), opened, and created when missing,
// each time it is used. Value types are kept as the settings store defines them: strings,
// and 32-bit integers (Booleans are stored as 0 or 1). On Windows the key is
// HKEY_CURRENT_USER\Software\TARVELIN\KESTREL, where strings become REG_SZ values and integers,
// written as int, REG_DWORD; elsewhere it is an INI file that holds every value as text.

#include <QSettings>
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace kestrel {

// A stored value that cannot be read as the type asked for. Its text names the value.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SettingsKey {
 public:
  SettingsKey();

  bool ValueExists(const QString& name) const;
  // Each reader gives nothing for a missing value and throws ERegistryException for a value of
  // another type.
  std::optional<QString> ReadString(const QString& name) const;
  std::optional<std::int32_t> ReadInteger(const QString& name) const;
  std::optional<bool> ReadBool(const QString& name) const;

  void WriteString(const QString& name, const QString& value);
  void WriteInteger(const QString& name, std::int32_t value);
  void WriteBool(const QString& name, bool value);

 private:
  QSettings settings_;
};

}  // namespace kestrel
