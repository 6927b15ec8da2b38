// The ports the port field offers on Windows, from a SERIALCOMM key the test writes in its own
// part of the registry: COM ports by number, other names after them, the device as the detail,
// values that name no port left out.

#include "link/Win32PortList.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrel {
namespace {

const wchar_t* const ScratchKey = L"Software\\KestrelTests\\SERIALCOMM";

void SetString(HKEY key, const std::wstring& name, const std::wstring& value) {
  ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

TEST(Win32PortList, ComPortsByNumberThenOtherNamesWithTheirDevices) {
  RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKey);
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, ScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  EXPECT_TRUE(ListPorts(key).empty());

  SetString(key, L"\\Device\\USBSER000", L"COM10");
  SetString(key, L"\\Device\\Bridge0", L"LINKA0");
  SetString(key, L"\\Device\\Serial0", L"COM1");
  SetString(key, L"\\Device\\VCP0", L"COM3");
  SetString(key, L"\\Device\\USBSER001", L"COM2");
  SetString(key, L"Serial1", L"COM4");
  SetString(key, L"\\Device\\Empty", L"");
  const DWORD number = 5;
  ASSERT_EQ(RegSetValueExW(key, L"\\Device\\Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                           sizeof number),
            ERROR_SUCCESS);

  EXPECT_EQ(ListPorts(key), (std::vector<PortEntry>{{"COM1", "Serial0"},
                                                    {"COM2", "USBSER001"},
                                                    {"COM3", "VCP0"},
                                                    {"COM4", "Serial1"},
                                                    {"COM10", "USBSER000"},
                                                    {"LINKA0", "Bridge0"}}));
  RegCloseKey(key);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KestrelTests");
}

}  // namespace
}  // namespace kestrel
