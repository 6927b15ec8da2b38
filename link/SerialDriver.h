#pragma once
// The platform seam under TComm32: the serial device and the signalling its two worker threads
// wait on. The POSIX implementation drives a tty, the Win32 one a COM device; tests put a fake
// behind it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kestrel {

// Line events.
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;  // the event character arrived
inline constexpr std::uint32_t EV_TXEMPTY = 0x0004;
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;  // line error: see the error word
inline constexpr std::uint32_t EV_RING = 0x0100;
inline constexpr std::uint32_t EV_PERR = 0x0200;
inline constexpr std::uint32_t EV_RX80FULL = 0x0400;

// Modem status.
inline constexpr std::uint32_t MS_CTS_ON = 0x10;
inline constexpr std::uint32_t MS_DSR_ON = 0x20;
inline constexpr std::uint32_t MS_RING_ON = 0x40;
inline constexpr std::uint32_t MS_RLSD_ON = 0x80;

// Line error word.
inline constexpr std::uint32_t CE_RXOVER = 0x01;
inline constexpr std::uint32_t CE_OVERRUN = 0x02;
inline constexpr std::uint32_t CE_RXPARITY = 0x04;
inline constexpr std::uint32_t CE_FRAME = 0x08;
inline constexpr std::uint32_t CE_BREAK = 0x10;

enum class DtrControl : std::uint8_t { Disable, Enable, Handshake };
enum class RtsControl : std::uint8_t { Disable, Enable, Handshake, Toggle };

// The whole line-settings record, handed to the driver as one.
struct LineSettings {
  std::uint32_t BaudRate = 9600;
  // Line option flags.
  bool fBinary = true;
  bool fParity = false;  // check parity on received bytes
  bool fOutxCtsFlow = false;
  bool fOutxDsrFlow = false;
  DtrControl fDtrControl = DtrControl::Disable;
  bool fDsrSensitivity = false;
  bool fTXContinueOnXoff = false;
  bool fOutX = false;
  bool fInX = false;
  bool fErrorChar = false;
  bool fNull = false;
  RtsControl fRtsControl = RtsControl::Disable;
  bool fAbortOnError = false;

  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 8;  // data bits, 4 to 8
  std::uint8_t Parity = 0;    // TParity's ordinal
  std::uint8_t StopBits = 0;  // TStopBits's ordinal
  std::uint8_t XonChar = 0;
  std::uint8_t XoffChar = 0;
  std::uint8_t ErrorChar = 0;
  std::uint8_t EofChar = 0;
  std::uint8_t EvtChar = 0;

  bool operator==(const LineSettings&) const = default;
};

class SerialDriver {
 public:
  // AccessDenied: the device is there, but the user has no rights to it.
  enum class OpenResult { Opened, CannotOpen, NotSerial, AccessDenied };
  // A started read, write or line-event wait: done at once, under way (its completion wakes the
  // thread's wait), failed, or failed because the device is gone.
  enum class Io { Completed, Pending, Failed, InvalidHandle };
  // What ended a worker thread's wait. Ready: the pending read or write can go on.
  enum class Wake { Stop, LineEvent, Ready, Failed };

  virtual ~SerialDriver() = default;

  // User-interface thread.
  // Opens the device the configured port name denotes: exclusive, read/write, non-blocking.
  virtual OpenResult Open(const std::string& portName) = 0;
  // After an Open that answered AccessDenied: one line on how to get the rights; empty when the
  // platform has no advice.
  virtual std::string AccessHint() const { return {}; }
  // Releases the device and the stop signal. The worker threads must have ended.
  virtual void Close() = 0;
  virtual bool GetState(LineSettings& settings) = 0;
  virtual bool SetState(const LineSettings& settings) = 0;
  // A read ends once the line has been quiet this long after its first byte; no total timeouts.
  virtual bool SetReadInterval(std::uint32_t milliseconds) = 0;
  virtual bool SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) = 0;
  virtual bool EscapeCommFunction(int code) = 0;
  virtual bool CreateStopSignal() = 0;
  // Wakes both worker threads for good.
  virtual void RaiseStop() = 0;

  // Worker threads.
  virtual bool StopRaised() = 0;

  // Reader thread.
  virtual bool SetCommMask(std::uint32_t events) = 0;
  virtual bool GetModemStatus(std::uint32_t& status) = 0;
  // The line errors since the last call.
  virtual bool ClearCommError(std::uint32_t& errors) = 0;
  // Starts a line-event wait; Completed puts the events at once.
  virtual Io WaitCommEvent(std::uint32_t& events) = 0;
  // The events of a pending line-event wait whose completion woke the reader.
  virtual bool FetchCommEvent(std::uint32_t& events) = 0;
  // Starts a read of up to `size` bytes; Completed puts the count (0: the far side has gone).
  // Called again after Ready, it finishes the read under way, whose bytes an overlapped driver
  // puts into the buffer the read was started with: the reader passes the same one each time.
  virtual Io Read(std::uint8_t* buffer, std::size_t size, std::size_t& count) = 0;
  // Waits without time limit for the stop signal, a line event or received bytes.
  virtual Wake WaitReader() = 0;
  // Discards the receive queue.
  virtual void PurgeReceive() = 0;

  // Writer thread.
  // Starts writing; Completed puts how many bytes went. Called again after Ready with the bytes
  // not yet written, it finishes the write under way.
  virtual Io Write(const std::uint8_t* data, std::size_t size, std::size_t& written) = 0;
  // Waits without time limit for the stop signal or room to write.
  virtual Wake WaitWriter() = 0;
  // Discards the transmit queue.
  virtual void PurgeTransmit() = 0;
};

// The platform's own serial driver.
std::unique_ptr<SerialDriver> MakeSerialDriver();

}  // namespace kestrel
