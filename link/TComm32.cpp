#include "link/TComm32.h"

#include <cstring>
#include <new>

#include "link/LinkTrace.h"
#include "link/TReadThread.h"
#include "link/TReopenThread.h"
#include "link/TWriteThread.h"

namespace kestrel {

TComm32::TComm32(std::unique_ptr<NotifyTarget> notifyWindow, std::unique_ptr<SerialDriver> driver)
    : NotifyWindow(std::move(notifyWindow)), driver_(driver ? std::move(driver) : MakeSerialDriver()) {
  NotifyWindow->SetHandler([this](Notification notification) { Notify(std::move(notification)); });
}

TComm32::~TComm32() {
  reopenThread_.reset();
  if (portOpen_) CloseDevice();
}

void TComm32::SetBaudRate(std::uint32_t value) {
  dcb_.BaudRate = value;
  ApplyState();
}

void TComm32::SetByteSize(TBytesize value) {
  dcb_.ByteSize = static_cast<std::uint8_t>(value + 4);
  ApplyState();
}

void TComm32::SetParity(TParity value) {
  dcb_.Parity = static_cast<std::uint8_t>(value);
  ApplyState();
}

void TComm32::SetStopBits(TStopBits value) {
  dcb_.StopBits = static_cast<std::uint8_t>(value);
  ApplyState();
}

TFlowControl TComm32::FlowControl() const {
  if (dcb_.fOutxCtsFlow && dcb_.fRtsControl == RtsControl::Handshake) return fcHardware;
  if (dcb_.fOutX && dcb_.fInX) return fcSoftware;
  return fcNone;
}

void TComm32::SetFlowControl(TFlowControl value) {
  dcb_.fOutxCtsFlow = value == fcHardware;
  dcb_.fRtsControl = value == fcHardware ? RtsControl::Handshake : RtsControl::Disable;
  dcb_.fOutX = dcb_.fInX = value == fcSoftware;
  ApplyState();
}

void TComm32::SetRxQueue(std::uint32_t value) {
  rxQueue_ = value;
  if (StateApplied) driver_->SetupComm(rxQueue_, txQueue_);
}

void TComm32::SetTxQueue(std::uint32_t value) {
  txQueue_ = value;
  if (StateApplied) driver_->SetupComm(rxQueue_, txQueue_);
}

void TComm32::SetEventChar(std::uint8_t value) {
  dcb_.EvtChar = value;
  if (StateApplied) driver_->SetState(dcb_);
}

// Hands the whole settings record to an open device again; its answer does not matter here.
void TComm32::ApplyState() {
  if (portOpen_) driver_->SetState(dcb_);
}

bool TComm32::OpenPort() {
  if (portOpen_) throw ECommsError("Заданный порт уже открыт!");
  switch (OpenDevice()) {
    case OpenOutcome::Opened:
      break;
    case OpenOutcome::NotSerial:
      throw ECommsError("Задан не COM-порт");
    case OpenOutcome::AccessDenied:
      if (const std::string hint = driver_->AccessHint(); !hint.empty())
        throw ECommsError("Невозможно открыть порт!\n\r" + hint);
      [[fallthrough]];
    case OpenOutcome::CannotOpen:
      throw ECommsError("Невозможно открыть порт!");
    case OpenOutcome::BadSettings:
      throw ECommsError("Неверно заданы параметры порта!");
    case OpenOutcome::NoStopSignal:
      return false;
    case OpenOutcome::NoReadThread:
      throw ECommsError("Невозможно создать Read thread");
    case OpenOutcome::NoWriteThread:
      throw ECommsError("Невозможно создать Write thread");
  }
  reopenThread_.reset();
  return true;
}

// Opens the device named by CommPort, applies the settings and starts both threads. A device
// whose settings are refused, or that gets no stop signal, is closed again; one whose threads
// cannot be created stays open with the threads that did start.
TComm32::OpenOutcome TComm32::OpenDevice() {
  switch (driver_->Open(commPort_)) {
    case SerialDriver::OpenResult::Opened:
      break;
    case SerialDriver::OpenResult::NotSerial:
      return OpenOutcome::NotSerial;
    case SerialDriver::OpenResult::AccessDenied:
      return OpenOutcome::AccessDenied;
    default:
      return OpenOutcome::CannotOpen;
  }
  portOpen_ = true;
  TraceEvent("opened");

  // The driver keeps its own flow-control limits and characters and its error and end-of-file
  // characters; everything else comes from the properties.
  LineSettings current = dcb_;
  driver_->GetState(current);
  dcb_.XonLim = current.XonLim;
  dcb_.XoffLim = current.XoffLim;
  dcb_.XonChar = current.XonChar;
  dcb_.XoffChar = current.XoffChar;
  dcb_.ErrorChar = current.ErrorChar;
  dcb_.EofChar = current.EofChar;
  dcb_.fBinary = true;
  driver_->SetReadInterval(static_cast<std::uint32_t>(ReadInterval.count()));

  StateApplied = true;
  if (!driver_->SetState(dcb_)) {
    CloseDevice();
    return OpenOutcome::BadSettings;
  }
  driver_->SetupComm(rxQueue_, txQueue_);
  if (!driver_->CreateStopSignal()) {
    CloseDevice();
    return OpenOutcome::NoStopSignal;
  }

  try {
    readThread_ = std::make_unique<TReadThread>(*driver_, *NotifyWindow);
  } catch (...) {
    return OpenOutcome::NoReadThread;
  }
  try {
    writeThread_ = std::make_unique<TWriteThread>(*driver_, *NotifyWindow);
  } catch (...) {
    return OpenOutcome::NoWriteThread;
  }
  return OpenOutcome::Opened;
}

// Stops the threads that run and releases the device and the stop signal.
void TComm32::CloseDevice() {
  if (readThread_ || writeThread_) driver_->RaiseStop();
  readThread_.reset();
  writeThread_.reset();
  driver_->Close();
  portOpen_ = false;
  StateApplied = false;
  TraceEvent("closed");
}

void TComm32::SetReopenInterval(std::chrono::milliseconds value) {
  reopenInterval_ = value;
  if (reopenThread_) StartReopening();
}

// The line hung up or its device went away: close it and try again at every interval.
void TComm32::LosePort() {
  CloseDevice();
  StartReopening();
}

void TComm32::StartReopening() {
  reopenThread_.reset();
  try {
    reopenThread_ = std::make_unique<TReopenThread>(*NotifyWindow, reopenInterval_);
  } catch (...) {
    TraceEvent("cannot be tried again: no thread");
  }
}

void TComm32::Reopen() {
  const OpenOutcome outcome = OpenDevice();
  if (outcome != OpenOutcome::Opened) {
    if (portOpen_) CloseDevice();
    TraceEvent("reopen failed");
    return;
  }
  reopenThread_.reset();
  if (rtsLevel_) driver_->EscapeCommFunction(rtsLevel_);
  if (dtrLevel_) driver_->EscapeCommFunction(dtrLevel_);
  TraceEvent("reopened");
  if (OnPortReopened) OnPortReopened(*this);
}

bool TComm32::WriteData(const void* Buffer, std::uint16_t Length) {
  if (!writeThread_) return false;
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[Length + 1u]());
  if (!block) return false;
  if (Length != 0) std::memcpy(block.get(), Buffer, Length);
  return writeThread_->Post(std::move(block), Length);
}

bool TComm32::ModemControl(int code) {
  if (code == SETRTS || code == CLRRTS) rtsLevel_ = code;
  if (code == SETDTR || code == CLRDTR) dtrLevel_ = code;
  return portOpen_ && driver_->EscapeCommFunction(code);
}

// Notifications come in the order they were posted. The threads of a port that was lost have
// been joined before the reopening thread starts, so their last requests come before its first
// and find the port already closed.
void TComm32::Notify(Notification notification) {
  switch (notification.code) {
    case MsgReceiveData:
      receivedAt_ = notification.posted;
      if (OnReceiveData && notification.block)
        OnReceiveData(notification.block.get(), static_cast<std::uint16_t>(notification.count));
      break;
    case MsgRequestHangup:
      if (!portOpen_) break;
      TraceEvent("hung up");
      if (OnRequestHangup) OnRequestHangup(*this);
      LosePort();
      break;
    case MsgCommEvent:
      RaiseCommEvents(notification.count);
      break;
    case MsgReopenPort:
      if (reopenThread_ && !portOpen_) Reopen();
      break;
    default:
      break;
  }
}

// "port COM1 opened" and the like.
void TComm32::TraceEvent(std::string_view event) {
  if (Trace) Trace->Event(LinkClock::now(), "port " + commPort_ + " " + std::string(event));
}

void TComm32::RaiseCommEvents(std::uint32_t value) {
  lastEventMask_ = static_cast<std::uint16_t>(value & 0xFFFF);
  lastModemStatus_ = static_cast<std::uint16_t>(value >> 16);
  const auto raise = [this](const TNotifyEvent& event) {
    if (event) event(*this);
  };
  // A modem line's change, then its new level.
  const auto raiseLine = [&](std::uint32_t eventBit, std::uint32_t statusBit, const TNotifyEvent& change,
                             const TNotifyEvent& set, const TNotifyEvent& clear) {
    if (!(lastEventMask_ & eventBit)) return;
    raise(change);
    raise((lastModemStatus_ & statusBit) ? set : clear);
  };

  raise(OnCommEvent);
  if ((lastEventMask_ & EV_ERR) && OnError) OnError(readThread_ ? readThread_->LineErrors() : 0);
  if (lastEventMask_ & EV_RXFLAG) raise(OnEventChar);
  if (lastEventMask_ & EV_BREAK) raise(OnBreak);
  if (lastEventMask_ & EV_TXEMPTY) raise(OnTXEMPTY);
  if (lastEventMask_ & EV_RX80FULL) raise(OnRX80FULL);
  if (lastEventMask_ & EV_PERR) raise(OnPERR);
  raiseLine(EV_CTS, MS_CTS_ON, OnChangeCTS, OnSetCTS, OnClearCTS);
  raiseLine(EV_DSR, MS_DSR_ON, OnChangeDSR, OnSetDSR, OnClearDSR);
  raiseLine(EV_RING, MS_RING_ON, OnChangeRing, OnSetRing, OnClearRing);
  raiseLine(EV_RLSD, MS_RLSD_ON, OnChangeRLSD, OnSetRLSD, OnClearRLSD);
}

}  // namespace kestrel
