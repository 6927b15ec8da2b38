#pragma once
// The serial port component: opens one serial device, applies the line settings held in its
// properties and runs a reader and a writer thread. Sending hands a private copy of the bytes to
// the writer and returns at once; every received chunk is handed to the user-interface thread
// and delivered there through OnReceiveData. Every member is for the user-interface thread.
//
// A port whose line hangs up or whose device disappears (a worker thread asks for a hang-up) is
// closed and then opened again by the same name, with the same settings and modem lines, once
// every ReopenInterval until it opens; OnPortReopened then tells the program. No box is shown.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "link/NotifyTarget.h"
#include "link/SerialDriver.h"

namespace kestrel {

class LinkTrace;

// The component's exception; its text is UTF-8.
class ECommsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TBytesize { sz_4, sz_5, sz_6, sz_7, sz_8 };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TStopBits { sb1_0, sb1_5, sb2_0 };
enum TFlowControl { fcNone, fcHardware, fcSoftware };

// ModemControl codes.
inline constexpr int SETXOFF = 1, SETXON = 2, SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6, RESETDEV = 7,
                     SETBREAK = 8, CLRBREAK = 9;

class TReadThread;
class TWriteThread;
class TReopenThread;

class TComm32 {
 public:
  using TNotifyEvent = std::function<void(TComm32& sender)>;
  using TReceiveDataEvent = std::function<void(const void* Buffer, std::uint16_t BufferLength)>;
  using TErrorEvent = std::function<void(std::uint32_t ErrorCode)>;

  // notifyWindow: the hand-over to the user-interface thread (Qt: MakeQtNotifyTarget()).
  // driver: the platform seam; null means the platform's own serial driver. No device is touched.
  explicit TComm32(std::unique_ptr<NotifyTarget> notifyWindow,
                   std::unique_ptr<SerialDriver> driver = nullptr);
  // Ends every thread and releases the device and the stop signal, whatever state the port is in.
  ~TComm32();
  TComm32(const TComm32&) = delete;
  TComm32& operator=(const TComm32&) = delete;

  // Properties. BaudRate, ByteSize, Parity, StopBits and FlowControl re-apply the line settings
  // while the port is open, EventChar once they have been applied; RxQueue and TxQueue then ask
  // for the queue sizes again; CommPort takes effect at the next OpenPort.
  std::uint32_t BaudRate() const { return dcb_.BaudRate; }
  void SetBaudRate(std::uint32_t value);
  TBytesize ByteSize() const { return static_cast<TBytesize>(dcb_.ByteSize - 4); }
  void SetByteSize(TBytesize value);
  TParity Parity() const { return static_cast<TParity>(dcb_.Parity); }
  void SetParity(TParity value);
  TStopBits StopBits() const { return static_cast<TStopBits>(dcb_.StopBits); }
  void SetStopBits(TStopBits value);
  const std::string& CommPort() const { return commPort_; }
  void SetCommPort(std::string value) { commPort_ = std::move(value); }
  TFlowControl FlowControl() const;
  void SetFlowControl(TFlowControl value);
  std::uint32_t RxQueue() const { return rxQueue_; }
  void SetRxQueue(std::uint32_t value);
  std::uint32_t TxQueue() const { return txQueue_; }
  void SetTxQueue(std::uint32_t value);
  std::uint8_t EventChar() const { return dcb_.EvtChar; }
  void SetEventChar(std::uint8_t value);

  // The line events and modem status of the latest line-event report.
  std::uint16_t LastEventMask() const { return lastEventMask_; }
  std::uint16_t LastModemStatus() const { return lastModemStatus_; }

  // Events, raised on the user-interface thread. OnReceiveData's buffer is valid only during the
  // call; a zero byte follows its last byte. OnRequestHangup comes before the lost port closes;
  // OnPortReopened once it is open again.
  TReceiveDataEvent OnReceiveData;
  TNotifyEvent OnCommEvent, OnBreak, OnChangeCTS, OnChangeDSR, OnPERR, OnChangeRing, OnChangeRLSD, OnRX80FULL,
      OnTXEMPTY, OnSetCTS, OnSetDSR, OnSetRing, OnSetRLSD, OnClearCTS, OnClearDSR, OnClearRing, OnClearRLSD,
      OnEventChar, OnRequestHangup, OnPortReopened;
  TErrorEvent OnError;

  // During OnReceiveData: when the reader took the chunk off the line.
  LinkTime ReceivedAt() const { return receivedAt_; }

  // How often a lost port is tried again; a new interval applies at once.
  std::chrono::milliseconds ReopenInterval() const { return reopenInterval_; }
  void SetReopenInterval(std::chrono::milliseconds value);

  // Where the port's events are traced; null for no trace.
  LinkTrace* Trace = nullptr;

  // Opens and configures the device named by CommPort and starts both threads. Returns false only
  // when the stop signal cannot be created; every other failure throws ECommsError.
  bool OpenPort();
  // Queues a copy of the bytes for the writer; false when there is no writer to take them.
  bool WriteData(const void* Buffer, std::uint16_t Length);
  // Performs one modem-line function (SETRTS, CLRDTR, ...) and returns the driver's answer. The
  // levels set for RTS and DTR are set again when a lost port opens again.
  bool ModemControl(int code);

 private:
  // How far opening got.
  enum class OpenOutcome {
    Opened,
    CannotOpen,
    AccessDenied,
    NotSerial,
    BadSettings,
    NoStopSignal,
    NoReadThread,
    NoWriteThread
  };

  OpenOutcome OpenDevice();
  void CloseDevice();
  void LosePort();
  void StartReopening();
  void Reopen();
  void ApplyState();
  void Notify(Notification notification);
  void RaiseCommEvents(std::uint32_t value);
  void TraceEvent(std::string_view event);

  std::unique_ptr<NotifyTarget> NotifyWindow;
  std::unique_ptr<SerialDriver> driver_;
  LineSettings dcb_;
  std::string commPort_ = "COM2";
  std::uint32_t rxQueue_ = 4096;
  std::uint32_t txQueue_ = 4096;
  bool portOpen_ = false;
  bool StateApplied = false;
  std::unique_ptr<TReadThread> readThread_;
  std::unique_ptr<TWriteThread> writeThread_;
  std::unique_ptr<TReopenThread> reopenThread_;  // only while the port is lost
  std::chrono::milliseconds reopenInterval_{1000};
  int rtsLevel_ = 0;  // the last SETRTS or CLRRTS asked for, 0 for none
  int dtrLevel_ = 0;  // the last SETDTR or CLRDTR asked for, 0 for none
  LinkTime receivedAt_{};
  std::uint16_t lastEventMask_ = 0;
  std::uint16_t lastModemStatus_ = 0;
};

}  // namespace kestrel
