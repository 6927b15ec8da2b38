#pragma once
// The serial driver over a Windows COM device: overlapped reads, writes and line-event waits,
// each completing through its own manual-reset event, and a manual-reset stop event that the
// reader and the writer wait on together with their I/O. A port whose driver has no line events
// (it refuses the line-event wait with ERROR_NOT_SUPPORTED, as virtual COM ports may) is read
// without them.

#include <string>

#include "link/SerialDriver.h"

// After the seam and the component's header: windows.h defines macros of their constants' names
// (EV_RXFLAG, SETRTS, ...), with the same values.
#include <windows.h>

namespace kestrel {

// The device path to open for a configured port name: a bare device name such as "COM12" gets
// the \\.\ prefix that COM numbers above 9 need; a name holding a path separator or a colon
// (\\.\COM3, C:\file) is used as it is.
std::string Win32DevicePath(const std::string& portName);

// The device-control record for a settings record, and back.
DCB ToDcb(const LineSettings& settings);
LineSettings FromDcb(const DCB& dcb);

class Win32SerialDriver final : public SerialDriver {
 public:
  Win32SerialDriver() = default;
  ~Win32SerialDriver() override;
  Win32SerialDriver(const Win32SerialDriver&) = delete;
  Win32SerialDriver& operator=(const Win32SerialDriver&) = delete;

  OpenResult Open(const std::string& portName) override;
  void Close() override;
  bool GetState(LineSettings& settings) override;
  bool SetState(const LineSettings& settings) override;
  bool SetReadInterval(std::uint32_t milliseconds) override;
  bool SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) override;
  bool EscapeCommFunction(int code) override;
  bool CreateStopSignal() override;
  void RaiseStop() override;

  bool StopRaised() override;
  bool SetCommMask(std::uint32_t events) override;
  bool GetModemStatus(std::uint32_t& status) override;
  bool ClearCommError(std::uint32_t& errors) override;
  Io WaitCommEvent(std::uint32_t& events) override;
  bool FetchCommEvent(std::uint32_t& events) override;
  Io Read(std::uint8_t* buffer, std::size_t size, std::size_t& count) override;
  Wake WaitReader() override;
  void PurgeReceive() override;

  Io Write(const std::uint8_t* data, std::size_t size, std::size_t& written) override;
  Wake WaitWriter() override;
  void PurgeTransmit() override;

 private:
  // One overlapped operation: its record, its completion event and whether it is under way.
  struct Overlapped {
    OVERLAPPED record{};
    bool pending = false;

    bool MakeEvent();
    void CloseEvent();
  };

  // Ends an operation under way and waits until the device has let go of its record and buffer.
  void Abort(Overlapped& operation);

  HANDLE port_ = INVALID_HANDLE_VALUE;
  HANDLE stop_ = nullptr;
  // Reader thread.
  Overlapped eventWait_;
  Overlapped read_;
  DWORD eventMask_ = 0;     // filled in by the line-event wait
  bool lineEvents_ = true;  // false once the device has refused line-event waits
  // Writer thread.
  Overlapped write_;
};

}  // namespace kestrel
