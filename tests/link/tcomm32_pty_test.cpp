// TComm32 with the POSIX driver over a real pseudo-terminal pair: what reaches the line, what
// comes back from it, and the component's end while bytes are on the way.

#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "link/NotifyQueue.h"
#include "link/PosixPortNames.h"
#include "link/TComm32.h"
#include "tests/support/OpenPortError.h"
#include "tests/support/Pty.h"

namespace kestrel {
namespace {

using test::Pty;

// A byte stream that shows any loss, duplication or reordering.
std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (auto& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(seed >> 24);
  }
  return bytes;
}

struct Port {
  explicit Port(const std::string& name) {
    auto target = std::make_unique<NotifyQueue>();
    notify = target.get();
    comm = std::make_unique<TComm32>(std::move(target));
    comm->SetCommPort(name);
    comm->SetBaudRate(56000);
    comm->SetParity(pOdd);
    comm->OnReceiveData = [this](const void* buffer, std::uint16_t length) {
      const auto* bytes = static_cast<const std::uint8_t*>(buffer);
      EXPECT_EQ(bytes[length], 0);
      received.insert(received.end(), bytes, bytes + length);
      ++chunks;
    };
  }

  std::string OpenError() { return test::OpenPortError(*comm); }

  bool Receive(std::size_t size) {
    return notify->DrainUntil([&] { return received.size() >= size; });
  }

  NotifyQueue* notify = nullptr;
  std::unique_ptr<TComm32> comm;
  std::vector<std::uint8_t> received;
  int chunks = 0;
};

TEST(TComm32Pty, AppliedSettingsReadBackFromTheFarSide) {
  Pty pty;
  Port port(pty.SlavePath());
  ASSERT_TRUE(port.comm->OpenPort());
  test::PtySettings line = pty.Settings();
  EXPECT_EQ(line.ospeed, 56000u);
  EXPECT_EQ(line.ispeed, 56000u);
  EXPECT_EQ(line.cflag & CSIZE, CS8);
  EXPECT_TRUE(line.cflag & PARODD);  // a pty drops PARENB itself
  EXPECT_FALSE(line.cflag & (CSTOPB | CRTSCTS));
  EXPECT_TRUE(line.cflag & CREAD);
  EXPECT_TRUE(line.cflag & CLOCAL);
  EXPECT_EQ(line.lflag, 0u);  // raw: no echo, no line editing, no signals
  EXPECT_EQ(line.oflag, 0u);
  EXPECT_EQ(line.iflag, 0u);  // no parity check, no XON/XOFF, no translation

  port.comm->SetStopBits(sb2_0);
  port.comm->SetBaudRate(250000);
  line = pty.Settings();
  EXPECT_TRUE(line.cflag & CSTOPB);
  EXPECT_EQ(line.ospeed, 250000u);
  EXPECT_FALSE(port.comm->ModemControl(SETRTS));  // a pty has no modem lines
}

TEST(TComm32Pty, DevicesThatCannotServe) {
  EXPECT_EQ(Port("/nonexistent/ttyS9").OpenError(), "Невозможно открыть порт!");
  EXPECT_EQ(Port("/dev/null").OpenError(), "Задан не COM-порт");
  const std::string file = testing::TempDir() + "kestrel_not_a_port";
  std::ofstream(file) << "data";
  Port ordinaryFile(file);
  EXPECT_EQ(ordinaryFile.OpenError(), "Задан не COM-порт");
  EXPECT_FALSE(ordinaryFile.comm->WriteData("x", 1));
  std::remove(file.c_str());

  // A port is held exclusively until its component is gone.
  Pty pty;
  auto first = std::make_unique<Port>(pty.SlavePath());
  ASSERT_TRUE(first->comm->OpenPort());
  EXPECT_EQ(first->OpenError(), "Заданный порт уже открыт!");
  Port second(pty.SlavePath());
  EXPECT_EQ(second.OpenError(), "Невозможно открыть порт!");
  first.reset();
  EXPECT_TRUE(second.comm->OpenPort());
}

TEST(TComm32Pty, OpensAComAlias) {
  test::TempConfigHome config;
  Pty pty;
  config.AddAlias("COM57", pty.SlavePath());
  Port port("COM57");
  ASSERT_TRUE(port.comm->OpenPort());
  ASSERT_TRUE(pty.Write({0x42}));
  ASSERT_TRUE(port.Receive(1));
  EXPECT_EQ(port.received, std::vector<std::uint8_t>{0x42});
}

TEST(TComm32Pty, BytesBothWaysAndAnEmptyWrite) {
  Pty pty;
  Port port(pty.SlavePath());
  ASSERT_TRUE(port.comm->OpenPort());
  ASSERT_TRUE(pty.Write({0xD1, 0xE0, 0xEB, 0xEE}));
  ASSERT_TRUE(port.Receive(4));
  EXPECT_EQ(port.received, (std::vector<std::uint8_t>{0xD1, 0xE0, 0xEB, 0xEE}));

  EXPECT_TRUE(port.comm->WriteData(nullptr, 0));
  const std::uint8_t frame[] = {0xD1, 0xE0, 0xEB, 0xEE, 0x00, 0x00};
  EXPECT_TRUE(port.comm->WriteData(frame, sizeof frame));
  EXPECT_EQ(pty.Read(sizeof frame + 1, std::chrono::milliseconds(300)),
            std::vector<std::uint8_t>(frame, frame + sizeof frame));
}

TEST(TComm32Pty, EventCharacterReportsComeFromTheBytes) {
  Pty pty;
  Port port(pty.SlavePath());
  int eventChars = 0;
  port.comm->OnEventChar = [&](TComm32& sender) {
    EXPECT_TRUE(sender.LastEventMask() & EV_RXFLAG);
    ++eventChars;
  };
  ASSERT_TRUE(port.comm->OpenPort());  // EventChar 0
  ASSERT_TRUE(pty.Write({1, 2, 3}));
  ASSERT_TRUE(port.Receive(3));
  port.notify->Drain();
  EXPECT_EQ(eventChars, 0);
  ASSERT_TRUE(pty.Write({4, 0, 5}));
  ASSERT_TRUE(port.notify->DrainUntil([&] { return eventChars == 1 && port.received.size() == 6; }));

  port.comm->SetEventChar('Z');
  ASSERT_TRUE(pty.Write({0}));
  ASSERT_TRUE(port.Receive(7));
  ASSERT_TRUE(pty.Write({'Z'}));
  ASSERT_TRUE(port.notify->DrainUntil([&] { return eventChars == 2 && port.received.size() == 8; }));
}

// The far end vanishes and its name stays unresolvable for a while; then the name leads to a new
// line, which the component opens by itself and uses with the same settings.
TEST(TComm32Pty, AVanishedLineIsOpenedAgainWhereItsNameLeads) {
  test::TempConfigHome home;
  auto first = std::make_unique<Pty>();
  home.AddAlias("COM57", first->SlavePath());
  Port port("COM57");
  port.comm->SetReopenInterval(std::chrono::milliseconds(20));
  int hangups = 0, reopens = 0;
  port.comm->OnRequestHangup = [&](TComm32&) { ++hangups; };
  port.comm->OnPortReopened = [&](TComm32&) { ++reopens; };
  ASSERT_TRUE(port.comm->OpenPort());
  ASSERT_TRUE(first->Write({7}));
  ASSERT_TRUE(port.Receive(1));

  first->CloseMaster();
  ASSERT_TRUE(port.notify->DrainUntil([&] { return hangups == 1; }));
  EXPECT_FALSE(port.comm->WriteData("x", 1)) << "closed while lost";
  std::filesystem::remove(std::filesystem::path(PortAliasFolder()) / "COM57");
  port.notify->DrainUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(reopens, 0);
  EXPECT_EQ(hangups, 1) << "one loss, however many threads noticed it";

  Pty second;
  home.AddAlias("COM57", second.SlavePath());
  ASSERT_TRUE(port.notify->DrainUntil([&] { return reopens == 1; }));
  EXPECT_EQ(second.Settings().ospeed, 56000u);
  EXPECT_TRUE(port.comm->WriteData("x", 1));
  EXPECT_EQ(second.Read(1), std::vector<std::uint8_t>{'x'});
  ASSERT_TRUE(second.Write({8}));
  ASSERT_TRUE(port.Receive(2));
  EXPECT_EQ(port.received, (std::vector<std::uint8_t>{7, 8}));
  EXPECT_EQ(hangups, 1);
}

TEST(TComm32Pty, MegabytesBothWaysNothingLostOrReordered) {
  constexpr std::size_t Size = 4 << 20;
  const std::vector<std::uint8_t> inbound = Pattern(Size, 1);
  const std::vector<std::uint8_t> outbound = Pattern(Size, 2);
  Pty pty;
  Port port(pty.SlavePath());
  ASSERT_TRUE(port.comm->OpenPort());

  std::vector<std::uint8_t> farReceived;
  std::thread farReader([&] { farReceived = pty.Read(Size); });
  std::thread farWriter([&] { EXPECT_TRUE(pty.Write(inbound)); });
  for (std::size_t at = 0; at < Size;) {
    const std::size_t block = std::min<std::size_t>(Size - at, 1 + at % 65535);
    ASSERT_TRUE(port.comm->WriteData(outbound.data() + at, static_cast<std::uint16_t>(block)));
    at += block;
    port.notify->Drain();
  }
  EXPECT_TRUE(port.Receive(Size));
  farWriter.join();
  farReader.join();
  EXPECT_TRUE(port.received == inbound);
  EXPECT_TRUE(farReceived == outbound);
  EXPECT_GT(port.chunks, 1);
}

// The far side streams until told to stop, and swallows whatever comes.
class FarFlood {
 public:
  explicit FarFlood(int master) : master_(master) {
    writer_ = std::thread([this] {
      const std::vector<std::uint8_t> bytes = Pattern(4096, 3);
      while (!stop_) {
        pollfd room{master_, POLLOUT, 0};
        if (poll(&room, 1, 10) > 0 && write(master_, bytes.data(), bytes.size()) < 0 && errno != EAGAIN)
          break;
      }
    });
    reader_ = std::thread([this] {
      std::vector<std::uint8_t> sink(65536);
      while (!stop_) {
        pollfd data{master_, POLLIN, 0};
        if (poll(&data, 1, 10) > 0 && read(master_, sink.data(), sink.size()) <= 0 && errno != EAGAIN) break;
      }
    });
  }
  ~FarFlood() {
    stop_ = true;
    writer_.join();
    reader_.join();
  }

 private:
  int master_;
  std::atomic<bool> stop_{false};
  std::thread writer_, reader_;
};

TEST(TComm32Pty, DestructionWithDataInFlight) {
  Pty pty;
  const std::vector<std::uint8_t> block = Pattern(60000, 4);
  for (int round = 0; round < 5; ++round) {
    FarFlood flood(pty.Master());
    Port port(pty.SlavePath());
    ASSERT_TRUE(port.comm->OpenPort());
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(port.comm->WriteData(block.data(), block.size()));
    ASSERT_TRUE(port.notify->DrainUntil([&] { return !port.received.empty(); }));
    // Blocks still queued and chunks still undelivered as the component goes.
  }
}

}  // namespace
}  // namespace kestrel
