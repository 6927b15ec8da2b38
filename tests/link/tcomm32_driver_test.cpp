// The POSIX driver's translation between the settings record and termios2, for what a pty
// cannot show: mark and space parity, 1.5 stop bits, flow control and the records it refuses.

#include <gtest/gtest.h>

#include "link/PosixSerialDriver.h"
#include "link/TComm32.h"

namespace kestrel {
namespace {

termios2 Translate(const LineSettings& settings) {
  termios2 tty{};
  EXPECT_TRUE(ToTermios(settings, tty));
  return tty;
}

TEST(PosixTermios, ParityDataAndStopBits) {
  LineSettings s;
  s.BaudRate = 56000;
  s.Parity = pOdd;
  termios2 tty = Translate(s);
  EXPECT_EQ(tty.c_cflag & (PARENB | PARODD | CMSPAR | CSIZE | CSTOPB), tcflag_t(PARENB | PARODD | CS8));
  EXPECT_EQ(tty.c_cflag & CBAUD, tcflag_t(BOTHER));
  EXPECT_EQ(tty.c_ospeed, 56000u);
  EXPECT_EQ(tty.c_ispeed, 56000u);
  EXPECT_EQ(tty.c_iflag, 0u);
  EXPECT_EQ(tty.c_lflag, 0u);
  EXPECT_EQ(tty.c_cc[VMIN], 1);

  s.Parity = pEven;
  EXPECT_EQ(Translate(s).c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB));
  s.Parity = pMark;
  EXPECT_EQ(Translate(s).c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | PARODD | CMSPAR));
  s.Parity = pSpace;
  EXPECT_EQ(Translate(s).c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | CMSPAR));
  s.Parity = pNone;
  EXPECT_EQ(Translate(s).c_cflag & (PARENB | PARODD | CMSPAR), 0u);

  s.StopBits = sb2_0;
  s.ByteSize = 7;
  EXPECT_EQ(Translate(s).c_cflag & (CSIZE | CSTOPB), tcflag_t(CS7 | CSTOPB));
  s.StopBits = sb1_5;
  s.ByteSize = 5;
  EXPECT_EQ(Translate(s).c_cflag & (CSIZE | CSTOPB), tcflag_t(CS5 | CSTOPB));
}

TEST(PosixTermios, FlowControl) {
  LineSettings s;
  s.fOutxCtsFlow = true;
  s.fRtsControl = RtsControl::Handshake;
  termios2 tty = Translate(s);
  EXPECT_TRUE(tty.c_cflag & CRTSCTS);
  EXPECT_EQ(tty.c_iflag & (IXON | IXOFF), 0u);

  s = LineSettings{};
  s.fOutX = s.fInX = true;
  s.XonChar = 0x11;
  s.XoffChar = 0x13;
  tty = Translate(s);
  EXPECT_FALSE(tty.c_cflag & CRTSCTS);
  EXPECT_EQ(tty.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
  EXPECT_EQ(tty.c_cc[VSTART], 0x11);
  EXPECT_EQ(tty.c_cc[VSTOP], 0x13);
}

TEST(PosixTermios, RecordsTheTtyLayerCannotHonourAreRefused) {
  const auto refused = [](auto change) {
    LineSettings s;
    change(s);
    termios2 tty{};
    return !ToTermios(s, tty);
  };
  EXPECT_TRUE(refused([](LineSettings& s) { s.BaudRate = 0; }));
  EXPECT_TRUE(refused([](LineSettings& s) { s.ByteSize = 4; }));
  EXPECT_TRUE(refused([](LineSettings& s) { s.ByteSize = 9; }));
  EXPECT_TRUE(refused([](LineSettings& s) { s.Parity = 5; }));
  EXPECT_TRUE(refused([](LineSettings& s) { s.StopBits = sb1_5; }));  // with 8 data bits
  EXPECT_TRUE(refused([](LineSettings& s) {
    s.ByteSize = 5;
    s.StopBits = sb2_0;
  }));
  EXPECT_TRUE(refused([](LineSettings& s) { s.fOutxCtsFlow = true; }));  // without RTS handshake
  EXPECT_TRUE(refused([](LineSettings& s) { s.fOutxDsrFlow = true; }));
  EXPECT_TRUE(refused([](LineSettings& s) { s.fDtrControl = DtrControl::Handshake; }));
  EXPECT_TRUE(refused([](LineSettings& s) { s.fNull = true; }));
  EXPECT_FALSE(refused([](LineSettings& s) { s.BaudRate = 56000; }));
}

TEST(PosixTermios, ReadBackGivesTheRecord) {
  for (std::uint8_t parity = pNone; parity <= pSpace; ++parity) {
    LineSettings s;
    s.BaudRate = 123457;
    s.Parity = parity;
    s.ByteSize = 6;
    s.StopBits = sb2_0;
    s.fOutX = s.fInX = true;
    s.XonChar = 0x11;
    s.XoffChar = 0x13;
    s.EofChar = 0x1A;
    EXPECT_EQ(FromTermios(Translate(s)), s);
  }
}

}  // namespace
}  // namespace kestrel
