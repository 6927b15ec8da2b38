#include "link/Win32PortList.h"

#include <algorithm>
#include <string_view>
#include <tuple>

#include "link/ComName.h"
#include "link/Win32Text.h"

namespace kestrel {
namespace {

// COM ports by number first, then the other names.
bool Before(const PortEntry& a, const PortEntry& b) {
  const auto numberA = ComNumber(a.name), numberB = ComNumber(b.name);
  return std::tuple(!numberA, numberA.value_or(0), a.name) <
         std::tuple(!numberB, numberB.value_or(0), b.name);
}

}  // namespace

std::vector<PortEntry> ListPorts(HKEY serialComm) {
  std::vector<PortEntry> ports;
  // Value names are at most 16383 characters; a port's name is short, but the buffer takes any.
  std::wstring device(16384, L'\0');
  std::wstring name(1024, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD deviceLength = static_cast<DWORD>(device.size());
    DWORD nameBytes = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LONG result = RegEnumValueW(serialComm, index, device.data(), &deviceLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(name.data()), &nameBytes);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS, or the key is gone
    if (type != REG_SZ) continue;
    std::wstring_view port(name.data(), nameBytes / sizeof(wchar_t));
    while (!port.empty() && port.back() == L'\0') port.remove_suffix(1);
    if (port.empty()) continue;
    std::wstring_view detail(device.data(), deviceLength);
    if (detail.starts_with(L"\\Device\\")) detail.remove_prefix(8);
    ports.push_back({Utf8FromWide(port), Utf8FromWide(detail)});
  }
  std::sort(ports.begin(), ports.end(), Before);
  return ports;
}

std::vector<PortEntry> PresentPorts() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS)
    return {};  // no serial port at all
  std::vector<PortEntry> ports = ListPorts(key);
  RegCloseKey(key);
  return ports;
}

}  // namespace kestrel
