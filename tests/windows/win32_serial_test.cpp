// TComm32 with the Windows serial driver: the device-control record it hands over, the failures
// OpenPort reports for names that are no serial port, and, with the device emulator behind the
// COM port that KESTREL_TEST_COM_PORT names, frames both ways, line events, modem lines and a
// device that vanishes and comes back under the same name. Under Wine the COM port is a
// pseudo-terminal: where Wine cannot do what the driver asks, the check says so and is skipped.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/Commands.h"
#include "link/Frame.h"
#include "link/NotifyQueue.h"
#include "link/TComm32.h"
#include "tests/support/FakeSerialDriver.h"
#include "tests/support/OpenPortError.h"

// Last: its macros carry the names of the component's constants.
#include "link/Win32SerialDriver.h"

namespace kestrel {
namespace {

using namespace std::chrono_literals;

TEST(Win32DevicePath, BareNamesGetTheDevicePrefixPathsStayAsTheyAre) {
  EXPECT_EQ(Win32DevicePath("COM1"), "\\\\.\\COM1");
  EXPECT_EQ(Win32DevicePath("COM12"), "\\\\.\\COM12");
  EXPECT_EQ(Win32DevicePath("\\\\.\\COM3"), "\\\\.\\COM3");
  EXPECT_EQ(Win32DevicePath("C:\\data\\image.bin"), "C:\\data\\image.bin");
  EXPECT_EQ(Win32DevicePath(""), "");
}

// The settings record TComm32 applies for a flow control, as the driver's record.
DCB AppliedDcb(TFlowControl flow) {
  auto state = std::make_shared<test::FakeSerialState>();
  TComm32 comm(std::make_unique<NotifyQueue>(), std::make_unique<test::FakeSerialDriver>(state));
  comm.SetBaudRate(56000);
  comm.SetParity(pOdd);
  comm.SetFlowControl(flow);
  comm.OpenPort();
  return ToDcb(state->applied.back());
}

TEST(Win32Dcb, CarriesTheLineSettingsAndTheFlagWordOfEachFlowControl) {
  const DCB none = AppliedDcb(fcNone);
  EXPECT_EQ(none.DCBlength, sizeof(DCB));
  EXPECT_EQ(none.BaudRate, 56000u);
  EXPECT_EQ(none.ByteSize, 8);
  EXPECT_EQ(none.Parity, ODDPARITY);
  EXPECT_EQ(none.StopBits, ONESTOPBIT);
  EXPECT_EQ(none.fBinary, 1u);
  EXPECT_EQ(none.fParity, 0u);
  EXPECT_EQ(none.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
  EXPECT_EQ(none.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
  EXPECT_EQ(none.fOutxCtsFlow + none.fOutX + none.fInX + none.fOutxDsrFlow + none.fDsrSensitivity, 0u);

  const DCB hardware = AppliedDcb(fcHardware);
  EXPECT_EQ(hardware.fOutxCtsFlow, 1u);
  EXPECT_EQ(hardware.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
  EXPECT_EQ(hardware.fOutX + hardware.fInX, 0u);

  const DCB software = AppliedDcb(fcSoftware);
  EXPECT_EQ(software.fOutX + software.fInX, 2u);
  EXPECT_EQ(software.fOutxCtsFlow, 0u);
  EXPECT_EQ(software.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));

  LineSettings every{};
  every.BaudRate = 123457;
  every.fBinary = every.fParity = every.fOutxCtsFlow = every.fOutxDsrFlow = every.fDsrSensitivity = true;
  every.fTXContinueOnXoff = every.fOutX = every.fInX = every.fErrorChar = every.fNull = every.fAbortOnError =
      true;
  every.fDtrControl = DtrControl::Handshake;
  every.fRtsControl = RtsControl::Toggle;
  every.XonLim = 1000;
  every.XoffLim = 2000;
  every.ByteSize = 7;
  every.Parity = pSpace;
  every.StopBits = sb2_0;
  every.XonChar = 0x11;
  every.XoffChar = 0x13;
  every.ErrorChar = 0xFF;
  every.EofChar = 0x1A;
  every.EvtChar = 0x80;
  EXPECT_EQ(FromDcb(ToDcb(every)), every);
}

std::string OpenError(const std::string& name) {
  TComm32 comm(std::make_unique<NotifyQueue>());
  comm.SetCommPort(name);
  return test::OpenPortError(comm);
}

TEST(Win32SerialFailures, OpenPortNamesWhatIsWrongWithThePort) {
  EXPECT_EQ(OpenError("COM199"), "Невозможно открыть порт!");
  EXPECT_EQ(OpenError(""), "Невозможно открыть порт!");

  const auto file = std::filesystem::temp_directory_path() / "kestrel-not-a-port.bin";
  std::ofstream(file) << "x";
  EXPECT_EQ(OpenError(file.string()), "Задан не COM-порт");
  std::filesystem::remove(file);

  // A character device whose driver takes no line settings.
  EXPECT_EQ(OpenError("NUL"), "Неверно заданы параметры порта!");
}

// TComm32 on a COM port with the device emulator behind it, which polls and replies to what is
// written.
class Link {
 public:
  explicit Link(std::string name) : name_(std::move(name)) {}

  // Opens the port and waits for the device's first poll, trying again while the name denotes
  // no device (the device is between two lines). The modem lines are set as the program sets
  // them; their answers do not matter.
  void Connect() {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    do {
      comm_.reset();
      received_.clear();
      hangups = eventChars = 0;
      auto target = std::make_unique<NotifyQueue>();
      notify_ = target.get();
      comm_ = std::make_unique<TComm32>(std::move(target));
      comm_->SetCommPort(name_);
      comm_->SetBaudRate(56000);
      comm_->SetParity(pOdd);
      comm_->OnReceiveData = [this](const void* buffer, std::uint16_t length) {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        EXPECT_EQ(bytes[length], 0);
        received_.insert(received_.end(), bytes, bytes + length);
      };
      comm_->OnRequestHangup = [this](TComm32&) { ++hangups; };
      comm_->OnEventChar = [this](TComm32&) { ++eventChars; };
      const std::string error = test::OpenPortError(*comm_);
      if (error == "Невозможно открыть порт!") {
        std::this_thread::sleep_for(100ms);
        continue;
      }
      ASSERT_EQ(error, "");
      comm_->ModemControl(SETRTS);
      comm_->ModemControl(CLRDTR);
      if (Await([this] { return PollsSeen() > 0; }, 2s)) return;
    } while (std::chrono::steady_clock::now() < deadline);
    FAIL() << "no poll from the device on " << name_;
  }

  // Delivers notifications until `done` holds; false on time-out or a hang-up report.
  bool Await(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return notify_->DrainUntil([&] { return done() || hangups > 0; }, timeout) && done();
  }

  // The payloads of the whole frames received so far; a poll has an empty one.
  std::vector<std::vector<std::uint8_t>> Frames() const {
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t at = 0; at + FrameHeaderSize <= received_.size(); ++at) {
      const std::uint8_t* frame = received_.data() + at;
      if (!IsMarkerAt(frame) || !HeaderValid(frame)) continue;
      const std::size_t length = frame[4];
      if (length == 0) {
        frames.emplace_back();
      } else if (at + length + FrameOverhead <= received_.size() && PayloadValid(frame)) {
        frames.emplace_back(frame + FrameHeaderSize, frame + FrameHeaderSize + length);
      }
    }
    return frames;
  }

  std::size_t PollsSeen() const {
    std::size_t polls = 0;
    for (const auto& payload : Frames()) polls += payload.empty();
    return polls;
  }

  // The programmer's name, once its reply is in.
  std::optional<std::string> ProgrammerName() const {
    for (const auto& payload : Frames()) {
      if (payload.size() >= 2 && payload[0] == OpGetProgrammerName && payload.size() >= 2u + payload[1])
        return std::string(payload.begin() + 2, payload.begin() + 2 + payload[1]);
    }
    return std::nullopt;
  }

  void AskForTheName() {
    received_.clear();
    const std::uint8_t request[] = {OpGetProgrammerName};
    const auto frame = ComposeFrame(request);
    ASSERT_TRUE(comm_->WriteData(frame.data(), static_cast<std::uint16_t>(frame.size())));
    ASSERT_TRUE(Await([this] { return ProgrammerName().has_value(); }, 5s)) << "no reply to the name request";
    EXPECT_FALSE(ProgrammerName()->empty());
  }

  const std::string& Name() const { return name_; }
  TComm32& Comm() { return *comm_; }
  NotifyQueue& Notify() { return *notify_; }

  int hangups = 0;
  int eventChars = 0;

 private:
  std::string name_;
  std::unique_ptr<TComm32> comm_;
  NotifyQueue* notify_ = nullptr;
  std::vector<std::uint8_t> received_;
};

// The COM port that an environment variable names.
std::optional<std::string> PortFrom(const char* variable) {
  const char* port = std::getenv(variable);
  if (!port || !*port) return std::nullopt;
  return port;
}

// One link for the whole suite: under Wine the port is a pseudo-terminal that keeps the parity
// bit it was given, and a second SetCommState with parity on it fails (its tty layer reads the
// settings back, and a pseudo-terminal never keeps PARENB), so each line is opened once.
class Win32SerialPort : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto port = PortFrom("KESTREL_TEST_COM_PORT");
    if (!port) GTEST_SKIP() << "KESTREL_TEST_COM_PORT names no COM port with the device emulator behind it";
    if (!link_) {
      link_ = std::make_unique<Link>(*port);
      ASSERT_NO_FATAL_FAILURE(link_->Connect());
    }
  }
  static void TearDownTestSuite() { link_.reset(); }

  static inline std::unique_ptr<Link> link_;
};

// The modem-line calls right after opening may fail (a port without modem lines); that stops
// nothing.
TEST_F(Win32SerialPort, ExchangesFramesWithTheDevice) {
  EXPECT_EQ(test::OpenPortError(link_->Comm()), "Заданный порт уже открыт!");
  ASSERT_NO_FATAL_FAILURE(link_->AskForTheName());
  // The device goes on polling after the reply.
  const std::size_t polls = link_->PollsSeen();
  EXPECT_TRUE(link_->Await([&] { return link_->PollsSeen() > polls; }, 2s));
  EXPECT_EQ(link_->hangups, 0);
}

// Why a port reports no line events: its driver refuses the line-event wait for the component's
// mask. Asked on a second handle, which only a port that is not exclusive (Wine's) grants.
std::string NoLineEventsReason(const std::string& port) {
  const HANDLE handle = CreateFileA(Win32DevicePath(port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return "";
  std::string reason;
  OVERLAPPED wait{};
  wait.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD events = 0;
  constexpr DWORD Mask = 0x07FE;
  if (SetCommMask(handle, Mask) && !WaitCommEvent(handle, &events, &wait) &&
      GetLastError() == ERROR_NOT_SUPPORTED)
    reason = "WaitCommEvent with the mask 0x07FE fails with ERROR_NOT_SUPPORTED: the port has no line events";
  CancelIoEx(handle, &wait);
  DWORD unused = 0;
  GetOverlappedResult(handle, &wait, &unused, TRUE);
  CloseHandle(wait.hEvent);
  CloseHandle(handle);
  return reason;
}

TEST_F(Win32SerialPort, ReportsTheEventCharacter) {
  // Every frame starts with D1; setting it while open applies the settings again.
  link_->Comm().SetEventChar(FrameMarker[0]);
  const bool reported = link_->Await([] { return link_->eventChars > 0; }, 2s);
  link_->Comm().SetEventChar(0);
  if (reported) return;
  const std::string reason = NoLineEventsReason(link_->Name());
  if (!reason.empty()) GTEST_SKIP() << reason << "; reception goes on without them";
  FAIL() << "no event-character report";
}

TEST_F(Win32SerialPort, DrivesTheModemLines) {
  if (!link_->Comm().ModemControl(SETRTS)) {
    if (GetLastError() == ERROR_NOT_SUPPORTED)
      GTEST_SKIP() << "EscapeCommFunction fails with ERROR_NOT_SUPPORTED: the port has no modem lines";
    FAIL() << "SETRTS failed with error " << GetLastError();
  }
  for (const int code : {CLRRTS, SETDTR, CLRDTR}) EXPECT_TRUE(link_->Comm().ModemControl(code)) << code;
}

// A device that closes its line after answering its first command and opens a new one under the
// same COM name: the reader reports the hang-up, and the name reaches the new line.
TEST(Win32VanishingPort, IsReopenedByName) {
  const auto port = PortFrom("KESTREL_TEST_VANISHING_COM_PORT");
  if (!port)
    GTEST_SKIP() << "KESTREL_TEST_VANISHING_COM_PORT names no COM port with a vanishing device behind it";
  Link link(*port);
  ASSERT_NO_FATAL_FAILURE(link.Connect());
  ASSERT_NO_FATAL_FAILURE(link.AskForTheName());
  EXPECT_TRUE(link.Notify().DrainUntil([&] { return link.hangups > 0; }, 5s)) << "no hang-up report";
  ASSERT_NO_FATAL_FAILURE(link.Connect());
  ASSERT_NO_FATAL_FAILURE(link.AskForTheName());
}

}  // namespace
}  // namespace kestrel
