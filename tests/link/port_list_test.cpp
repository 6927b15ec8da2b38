// The ports the port field offers, over a device tree the test builds beside a running emulator.

#include "link/PosixPortList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "emulator/Emulator.h"
#include "link/PosixPortNames.h"
#include "tests/support/Pty.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

// A sysfs tty entry whose device link points at `device` (under the tree's devices folder).
void TtyClass(const fs::path& sys, const std::string& tty, const std::string& device) {
  fs::create_directories(sys / "devices" / device);
  fs::create_directories(sys / "class" / "tty" / tty);
  fs::create_symlink(fs::path("../../../devices") / device, sys / "class" / "tty" / tty / "device");
}

TEST(PortList, AliasesWhoseDeviceIsThereThenUsbAdaptersThenOnBoardUarts) {
  test::TempConfigHome config;
  emulator::EmulatorOptions options;
  options.portName = "COM3";
  options.configHome = config.Path();
  emulator::Emulator device(options);
  device.Start();
  config.AddAlias("COM12", "/nonexistent/pts/9");  // left behind by a device that has gone
  config.AddAlias("COM0", device.HostPath());      // not a name the port field resolves

  const fs::path root = fs::path(testing::TempDir()) / "kestrel_port_list";
  fs::remove_all(root);
  const fs::path dev = root / "dev", sys = root / "sys";
  for (const char* node : {"ttyUSB0", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyS2", "tty0",
                           "ttyUSB", "ttyUSB01", "ttyACMx"})
    Write(dev / node, "");
  fs::create_directories(dev / "serial" / "by-id");
  const std::string byId = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / byId);
  // ttyACM0's USB device tells its maker and product; ttyUSB2 and ttyUSB10 tell nothing.
  TtyClass(sys, "ttyACM0", "usb1/1-2/1-2:1.0/tty/ttyACM0");
  Write(sys / "devices/usb1/1-2/manufacturer", "Arduino (www.arduino.cc)\n");
  Write(sys / "devices/usb1/1-2/product", "Uno\n");
  // ttyS0 has a 16550A behind it, ttyS1 only a placeholder of unknown type, ttyS2 no device.
  TtyClass(sys, "ttyS0", "pnp0/00:05/tty/ttyS0");
  Write(sys / "class/tty/ttyS0/type", "4\n");
  TtyClass(sys, "ttyS1", "platform/serial8250/tty/ttyS1");
  Write(sys / "class/tty/ttyS1/type", "0\n");
  fs::create_directories(sys / "class/tty/ttyS2");
  Write(sys / "class/tty/ttyS2/type", "4\n");

  PortRoots roots = SystemPortRoots();
  EXPECT_EQ(roots.aliases, fs::path(PortAliasFolder()));
  roots.dev = dev;
  roots.sys = sys;
  EXPECT_EQ(ListPorts(roots), (std::vector<PortEntry>{{"COM3", device.HostPath()},
                                                      {"ttyUSB0", byId},
                                                      {"ttyUSB2", ""},
                                                      {"ttyUSB10", ""},
                                                      {"ttyACM0", "Arduino (www.arduino.cc) Uno"},
                                                      {"ttyS0", "UART 16550A"}}));

  // Nothing there, nothing listed.
  EXPECT_TRUE(ListPorts({root / "none", root / "none", root / "none"}).empty());
  fs::remove_all(root);
}

}  // namespace
}  // namespace kestrel
