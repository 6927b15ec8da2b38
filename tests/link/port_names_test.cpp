// What a configured port name opens.

#include "link/PosixPortNames.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "tests/support/Pty.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

TEST(PortNames, ComNamesUseTheAliasFolderThenTheOnBoardPorts) {
  test::TempConfigHome config;
  EXPECT_EQ(PortAliasFolder(), config.Path() + "/TARVELIN/ports");
  config.AddAlias("COM3", "/dev/null");
  config.AddAlias("COM12", "/nonexistent/pts/9");  // left behind by a device that has gone

  EXPECT_EQ(ResolvePortName("COM3"), PortAliasFolder() + "/COM3");
  EXPECT_EQ(ResolvePortName("com3"), PortAliasFolder() + "/COM3");
  EXPECT_EQ(ResolvePortName("COM12"), PortAliasFolder() + "/COM12");
  EXPECT_EQ(ResolvePortName("COM1"), "/dev/ttyS0");
  EXPECT_EQ(ResolvePortName("COM4"), "/dev/ttyS3");
  // Not COM names: no number, number 0, leading zero, trailing text.
  EXPECT_EQ(ResolvePortName("COM"), "COM");
  EXPECT_EQ(ResolvePortName("COM0"), "COM0");
  EXPECT_EQ(ResolvePortName("COM03"), "COM03");
  EXPECT_EQ(ResolvePortName("COM3X"), "COM3X");
  EXPECT_EQ(ResolvePortName(""), "");
}

TEST(PortNames, AliasFolderDefaultsToTheHomeConfig) {
  test::TempConfigHome config;  // restores XDG_CONFIG_HOME afterwards
  unsetenv("XDG_CONFIG_HOME");
  const char* home = getenv("HOME");
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(PortAliasFolder(), std::string(home) + "/.config/TARVELIN/ports");
}

TEST(PortNames, OtherNamesMatchDevicesAndPathsWithoutRegardToCase) {
  EXPECT_EQ(ResolvePortName("NULL"), "/dev/null");
  EXPECT_EQ(ResolvePortName("/DEV/NULL"), "/dev/null");
  EXPECT_EQ(ResolvePortName("/dev/null"), "/dev/null");
  EXPECT_EQ(ResolvePortName("TTYNOSUCHPORT"), "TTYNOSUCHPORT");
  EXPECT_EQ(ResolvePortName("/DEV/NOSUCH/TTY"), "/DEV/NOSUCH/TTY");

  test::Pty pty;  // a /dev/pts entry, typed in upper case as the port field does
  EXPECT_EQ(ResolvePortName(Upper(pty.SlavePath())), pty.SlavePath());

  const fs::path root = fs::path(testing::TempDir()) / "kestrel_port_names";
  fs::remove_all(root);
  fs::create_directories(root / "Sub");
  std::ofstream(root / "Sub" / "ttyUSB9");
  std::ofstream(root / "Sub" / "Ab");
  std::ofstream(root / "Sub" / "aB");
  EXPECT_EQ(ResolvePortName(Upper((root / "sub" / "ttyusb9").string())), (root / "Sub" / "ttyUSB9").string());
  EXPECT_EQ(ResolvePortName((root / "Sub" / "aB").string()), (root / "Sub" / "aB").string());  // exact wins
  EXPECT_EQ(ResolvePortName((root / "Sub" / "AB").string()),
            (root / "Sub" / "Ab").string());  // first by name
  fs::remove_all(root);
}

}  // namespace
}  // namespace kestrel
