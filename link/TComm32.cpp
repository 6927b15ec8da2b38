#include "link/TComm32.h"

#include <cstring>
#include <new>

#include "link/TReadThread.h"
#include "link/TWriteThread.h"

namespace kestrel {

TComm32::TComm32(std::unique_ptr<NotifyTarget> notifyWindow, std::unique_ptr<SerialDriver> driver)
    : NotifyWindow(std::move(notifyWindow)), driver_(driver ? std::move(driver) : MakeSerialDriver()) {
  NotifyWindow->SetHandler(
      [this](std::uint32_t code, std::uint32_t count, std::unique_ptr<std::uint8_t[]> block) {
        Notify(code, count, std::move(block));
      });
}

TComm32::~TComm32() {
  if (!portOpen_) return;
  if (readThread_ || writeThread_) driver_->RaiseStop();
  readThread_.reset();
  writeThread_.reset();
  driver_->Close();
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
  switch (driver_->Open(commPort_)) {
    case SerialDriver::OpenResult::Opened:
      break;
    case SerialDriver::OpenResult::NotSerial:
      throw ECommsError("Задан не COM-порт");
    default:
      throw ECommsError("Невозможно открыть порт!");
  }
  portOpen_ = true;

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
  driver_->SetReadInterval(1);

  const auto closeDevice = [this] {
    driver_->Close();
    portOpen_ = false;
    StateApplied = false;
  };
  StateApplied = true;
  if (!driver_->SetState(dcb_)) {
    closeDevice();
    throw ECommsError("Неверно заданы параметры порта!");
  }
  driver_->SetupComm(rxQueue_, txQueue_);
  if (!driver_->CreateStopSignal()) {
    closeDevice();
    return false;
  }

  try {
    readThread_ = std::make_unique<TReadThread>(*driver_, *NotifyWindow);
  } catch (...) {
    throw ECommsError("Невозможно создать Read thread");
  }
  try {
    writeThread_ = std::make_unique<TWriteThread>(*driver_, *NotifyWindow);
  } catch (...) {
    throw ECommsError("Невозможно создать Write thread");
  }
  return true;
}

bool TComm32::WriteData(const void* Buffer, std::uint16_t Length) {
  if (!writeThread_) return false;
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[Length + 1u]());
  if (!block) return false;
  if (Length != 0) std::memcpy(block.get(), Buffer, Length);
  return writeThread_->Post(std::move(block), Length);
}

bool TComm32::ModemControl(int code) { return portOpen_ && driver_->EscapeCommFunction(code); }

void TComm32::Notify(std::uint32_t code, std::uint32_t count, std::unique_ptr<std::uint8_t[]> block) {
  switch (code) {
    case MsgReceiveData:
      if (OnReceiveData && block) OnReceiveData(block.get(), static_cast<std::uint16_t>(count));
      break;
    case MsgRequestHangup:
      if (OnRequestHangup) OnRequestHangup(*this);
      break;
    case MsgCommEvent:
      RaiseCommEvents(count);
      break;
    default:
      break;
  }
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
