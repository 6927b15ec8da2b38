#include "link/Win32SerialDriver.h"

#include <algorithm>

namespace kestrel {
namespace {

DWORD ByteCount(std::size_t size) { return static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD)); }

// A started operation that did not complete at once: under way, or failed.
SerialDriver::Io Failure() {
  return GetLastError() == ERROR_INVALID_HANDLE ? SerialDriver::Io::InvalidHandle : SerialDriver::Io::Failed;
}

}  // namespace

std::string Win32DevicePath(const std::string& portName) {
  if (portName.empty() || portName.find_first_of("\\/:") != std::string::npos) return portName;
  return "\\\\.\\" + portName;
}

DCB ToDcb(const LineSettings& s) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = s.BaudRate;
  dcb.fBinary = s.fBinary;
  dcb.fParity = s.fParity;
  dcb.fOutxCtsFlow = s.fOutxCtsFlow;
  dcb.fOutxDsrFlow = s.fOutxDsrFlow;
  dcb.fDtrControl = static_cast<DWORD>(s.fDtrControl);  // the same order as DTR_CONTROL_*
  dcb.fDsrSensitivity = s.fDsrSensitivity;
  dcb.fTXContinueOnXoff = s.fTXContinueOnXoff;
  dcb.fOutX = s.fOutX;
  dcb.fInX = s.fInX;
  dcb.fErrorChar = s.fErrorChar;
  dcb.fNull = s.fNull;
  dcb.fRtsControl = static_cast<DWORD>(s.fRtsControl);  // the same order as RTS_CONTROL_*
  dcb.fAbortOnError = s.fAbortOnError;
  dcb.XonLim = s.XonLim;
  dcb.XoffLim = s.XoffLim;
  dcb.ByteSize = s.ByteSize;
  dcb.Parity = s.Parity;  // TParity and TStopBits have the platform's ordinals
  dcb.StopBits = s.StopBits;
  dcb.XonChar = static_cast<char>(s.XonChar);
  dcb.XoffChar = static_cast<char>(s.XoffChar);
  dcb.ErrorChar = static_cast<char>(s.ErrorChar);
  dcb.EofChar = static_cast<char>(s.EofChar);
  dcb.EvtChar = static_cast<char>(s.EvtChar);
  return dcb;
}

LineSettings FromDcb(const DCB& dcb) {
  LineSettings s;
  s.BaudRate = dcb.BaudRate;
  s.fBinary = dcb.fBinary;
  s.fParity = dcb.fParity;
  s.fOutxCtsFlow = dcb.fOutxCtsFlow;
  s.fOutxDsrFlow = dcb.fOutxDsrFlow;
  s.fDtrControl = static_cast<DtrControl>(dcb.fDtrControl);
  s.fDsrSensitivity = dcb.fDsrSensitivity;
  s.fTXContinueOnXoff = dcb.fTXContinueOnXoff;
  s.fOutX = dcb.fOutX;
  s.fInX = dcb.fInX;
  s.fErrorChar = dcb.fErrorChar;
  s.fNull = dcb.fNull;
  s.fRtsControl = static_cast<RtsControl>(dcb.fRtsControl);
  s.fAbortOnError = dcb.fAbortOnError;
  s.XonLim = dcb.XonLim;
  s.XoffLim = dcb.XoffLim;
  s.ByteSize = dcb.ByteSize;
  s.Parity = dcb.Parity;
  s.StopBits = dcb.StopBits;
  s.XonChar = static_cast<std::uint8_t>(dcb.XonChar);
  s.XoffChar = static_cast<std::uint8_t>(dcb.XoffChar);
  s.ErrorChar = static_cast<std::uint8_t>(dcb.ErrorChar);
  s.EofChar = static_cast<std::uint8_t>(dcb.EofChar);
  s.EvtChar = static_cast<std::uint8_t>(dcb.EvtChar);
  return s;
}

std::unique_ptr<SerialDriver> MakeSerialDriver() { return std::make_unique<Win32SerialDriver>(); }

bool Win32SerialDriver::Overlapped::MakeEvent() {
  if (!record.hEvent) record.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  return record.hEvent != nullptr;
}

void Win32SerialDriver::Overlapped::CloseEvent() {
  if (record.hEvent) CloseHandle(record.hEvent);
  record.hEvent = nullptr;
}

Win32SerialDriver::~Win32SerialDriver() { Close(); }

SerialDriver::OpenResult Win32SerialDriver::Open(const std::string& portName) {
  const HANDLE port = CreateFileA(Win32DevicePath(portName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) return OpenResult::CannotOpen;
  if (GetFileType(port) != FILE_TYPE_CHAR) {
    CloseHandle(port);
    return OpenResult::NotSerial;
  }
  port_ = port;
  lineEvents_ = true;
  return OpenResult::Opened;
}

// The worker threads have ended their I/O on the way out; what a thread that never ran left
// under way ends here.
void Win32SerialDriver::Close() {
  for (Overlapped* operation : {&eventWait_, &read_, &write_}) {
    Abort(*operation);
    operation->CloseEvent();
  }
  if (port_ != INVALID_HANDLE_VALUE) CloseHandle(port_);
  port_ = INVALID_HANDLE_VALUE;
  if (stop_) CloseHandle(stop_);
  stop_ = nullptr;
}

bool Win32SerialDriver::GetState(LineSettings& settings) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port_, &dcb)) return false;
  settings = FromDcb(dcb);
  return true;
}

bool Win32SerialDriver::SetState(const LineSettings& settings) {
  DCB dcb = ToDcb(settings);
  return SetCommState(port_, &dcb);
}

bool Win32SerialDriver::SetReadInterval(std::uint32_t milliseconds) {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = milliseconds;
  return SetCommTimeouts(port_, &timeouts);
}

bool Win32SerialDriver::SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) {
  return ::SetupComm(port_, rxQueue, txQueue);
}

// ModemControl's codes are the platform's.
bool Win32SerialDriver::EscapeCommFunction(int code) {
  return ::EscapeCommFunction(port_, static_cast<DWORD>(code));
}

bool Win32SerialDriver::CreateStopSignal() {
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return stop_ != nullptr;
}

void Win32SerialDriver::RaiseStop() { SetEvent(stop_); }

bool Win32SerialDriver::StopRaised() { return WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0; }

bool Win32SerialDriver::SetCommMask(std::uint32_t events) {
  if (!eventWait_.MakeEvent() || !read_.MakeEvent()) return false;
  if (::SetCommMask(port_, events)) return true;
  if (GetLastError() != ERROR_NOT_SUPPORTED) return false;
  lineEvents_ = false;
  return true;
}

bool Win32SerialDriver::GetModemStatus(std::uint32_t& status) {
  DWORD lines = 0;
  if (!GetCommModemStatus(port_, &lines)) return false;
  status = lines;
  return true;
}

bool Win32SerialDriver::ClearCommError(std::uint32_t& errors) {
  DWORD word = 0;
  if (!::ClearCommError(port_, &word, nullptr)) return false;
  errors = word;
  return true;
}

// On a port without line events the wait stays under way for good, outside WaitReader's wait.
SerialDriver::Io Win32SerialDriver::WaitCommEvent(std::uint32_t& events) {
  if (!lineEvents_ || eventWait_.pending) return Io::Pending;
  eventMask_ = 0;
  if (::WaitCommEvent(port_, &eventMask_, &eventWait_.record)) {
    events = eventMask_;
    return Io::Completed;
  }
  switch (GetLastError()) {
    case ERROR_IO_PENDING:
      eventWait_.pending = true;
      return Io::Pending;
    case ERROR_NOT_SUPPORTED:
      lineEvents_ = false;
      return Io::Pending;
    default:
      return Failure();
  }
}

bool Win32SerialDriver::FetchCommEvent(std::uint32_t& events) {
  events = 0;
  DWORD unused = 0;
  if (GetOverlappedResult(port_, &eventWait_.record, &unused, FALSE)) {
    eventWait_.pending = false;
    events = eventMask_;
    return true;
  }
  switch (GetLastError()) {
    case ERROR_IO_INCOMPLETE:
      return true;
    case ERROR_NOT_SUPPORTED:
      eventWait_.pending = false;
      lineEvents_ = false;
      return true;
    default:
      eventWait_.pending = false;
      return false;
  }
}

// While a read is under way, a call fetches its result: the bytes are in the buffer it was
// started with.
SerialDriver::Io Win32SerialDriver::Read(std::uint8_t* buffer, std::size_t size, std::size_t& count) {
  DWORD got = 0;
  if (read_.pending) {
    if (GetOverlappedResult(port_, &read_.record, &got, FALSE)) {
      read_.pending = false;
      count = got;
      return Io::Completed;
    }
    if (GetLastError() == ERROR_IO_INCOMPLETE) return Io::Pending;
    read_.pending = false;
    return Failure();
  }
  if (ReadFile(port_, buffer, ByteCount(size), nullptr, &read_.record)) {
    if (!GetOverlappedResult(port_, &read_.record, &got, FALSE)) return Failure();
    count = got;
    return Io::Completed;
  }
  if (GetLastError() != ERROR_IO_PENDING) return Failure();
  read_.pending = true;
  return Io::Pending;
}

SerialDriver::Wake Win32SerialDriver::WaitReader() {
  HANDLE handles[3] = {stop_};
  Wake wakes[3] = {Wake::Stop};
  DWORD count = 1;
  if (eventWait_.pending) {
    handles[count] = eventWait_.record.hEvent;
    wakes[count++] = Wake::LineEvent;
  }
  if (read_.pending) {
    handles[count] = read_.record.hEvent;
    wakes[count++] = Wake::Ready;
  }
  const DWORD woken = WaitForMultipleObjects(count, handles, FALSE, INFINITE) - WAIT_OBJECT_0;
  return woken < count ? wakes[woken] : Wake::Failed;
}

// A pending read outlives PurgeComm on some drivers, so it is cancelled as well.
void Win32SerialDriver::PurgeReceive() {
  PurgeComm(port_, PURGE_RXABORT | PURGE_RXCLEAR);
  Abort(read_);
  Abort(eventWait_);
  read_.CloseEvent();
  eventWait_.CloseEvent();
}

// While a write is under way, a call waits for it and returns how many bytes went.
SerialDriver::Io Win32SerialDriver::Write(const std::uint8_t* data, std::size_t size, std::size_t& written) {
  DWORD sent = 0;
  if (write_.pending) {
    write_.pending = false;
    if (!GetOverlappedResult(port_, &write_.record, &sent, TRUE)) return Failure();
    written = sent;
    return Io::Completed;
  }
  if (!write_.MakeEvent()) return Io::Failed;
  if (WriteFile(port_, data, ByteCount(size), nullptr, &write_.record)) {
    if (!GetOverlappedResult(port_, &write_.record, &sent, FALSE)) return Failure();
    written = sent;
    return Io::Completed;
  }
  if (GetLastError() != ERROR_IO_PENDING) return Failure();
  write_.pending = true;
  return Io::Pending;
}

// The writer frees the bytes of a write that the stop signal or a failed wait interrupts, so
// the write is ended before the writer hears of it.
SerialDriver::Wake Win32SerialDriver::WaitWriter() {
  const HANDLE handles[] = {stop_, write_.record.hEvent};
  const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  if (woken == WAIT_OBJECT_0 + 1) return Wake::Ready;
  Abort(write_);
  return woken == WAIT_OBJECT_0 ? Wake::Stop : Wake::Failed;
}

void Win32SerialDriver::PurgeTransmit() {
  PurgeComm(port_, PURGE_TXABORT | PURGE_TXCLEAR);
  Abort(write_);
  write_.CloseEvent();
}

void Win32SerialDriver::Abort(Overlapped& operation) {
  if (!operation.pending) return;
  CancelIoEx(port_, &operation.record);
  DWORD unused = 0;
  GetOverlappedResult(port_, &operation.record, &unused, TRUE);
  operation.pending = false;
}

}  // namespace kestrel
