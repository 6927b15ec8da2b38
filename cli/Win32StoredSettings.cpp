#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/StoredSettings.h"
#include "link/Win32Text.h"

namespace kestrel::cli {

namespace {

constexpr wchar_t SettingsKey[] = L"Software\\TARVELIN\\KESTREL";

// One value of the open key as the settings store reads it; nothing when it is missing.
std::optional<StoredValue> ReadValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  std::vector<BYTE> data(size + sizeof(wchar_t));  // room for a terminator the value may lack
  if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return StoredValue{};
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
      while (!text.empty() && text.back() == L'\0') text.pop_back();
      return ReadStoredText(Utf8FromWide(text));
    }
    case REG_DWORD:
      if (size != sizeof(DWORD)) break;
      return IntegerValue(static_cast<std::int32_t>(*reinterpret_cast<const DWORD*>(data.data())));
    case REG_QWORD:
      if (size != sizeof(std::int64_t)) break;
      return IntegerValue(*reinterpret_cast<const std::int64_t*>(data.data()));
    default:
      break;
  }
  return StoredValue{};
}

}  // namespace

StoredSettings ReadStoredSettings() {
  const std::string where = "HKEY_CURRENT_USER\\Software\\TARVELIN\\KESTREL";
  HKEY key = nullptr;
  StoredValues values;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return SettingsFromValues(values, where);
  for (const auto& [name, wideName] :
       {std::pair{"ComPort", L"ComPort"}, {"Bitrate", L"Bitrate"}, {"Parity", L"Parity"}})
    if (std::optional<StoredValue> value = ReadValue(key, wideName)) values[name] = std::move(*value);
  RegCloseKey(key);
  return SettingsFromValues(values, where);
}

}  // namespace kestrel::cli
