#include "link/TReadThread.h"

#include <cstring>
#include <new>

namespace kestrel {
namespace {

// Every line event but the character-received one: reception is driven by reads.
constexpr std::uint32_t ReportedEvents =
    EV_RXFLAG | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_ERR | EV_RING | EV_PERR | EV_RX80FULL;

std::uint32_t ModemEvents(std::uint32_t modemStatus) {
  std::uint32_t events = 0;
  if (modemStatus & MS_CTS_ON) events |= EV_CTS;
  if (modemStatus & MS_DSR_ON) events |= EV_DSR;
  if (modemStatus & MS_RING_ON) events |= EV_RING;
  if (modemStatus & MS_RLSD_ON) events |= EV_RLSD;
  return events;
}

}  // namespace

TReadThread::TReadThread(SerialDriver& driver, NotifyTarget& notifyWindow)
    : driver_(driver),
      notifyWindow_(notifyWindow),
      buffer_(std::make_unique<std::uint8_t[]>(ReadBufferSize)),
      thread_([this] { Execute(); }) {}

TReadThread::~TReadThread() { thread_.join(); }

void TReadThread::Execute() {
  if (Run() == Outcome::Failed) notifyWindow_.Post({MsgRequestHangup});
  driver_.PurgeReceive();
}

TReadThread::Outcome TReadThread::Run() {
  if (!driver_.SetCommMask(ReportedEvents)) return Outcome::Failed;
  std::uint32_t modemStatus = 0;
  if (driver_.GetModemStatus(modemStatus) && modemStatus != 0)
    PostCommEvent(ModemEvents(modemStatus), modemStatus);

  if (Outcome started = StartEventWait(); started != Outcome::Going) return started;
  if (Outcome started = StartRead(); started != Outcome::Going) return started;

  for (;;) {
    switch (driver_.WaitReader()) {
      case SerialDriver::Wake::Stop:
        return Outcome::Stopped;
      case SerialDriver::Wake::LineEvent: {
        std::uint32_t events = 0;
        if (!driver_.FetchCommEvent(events) || !HandleEvents(events)) return Outcome::Failed;
        if (Outcome next = StartEventWait(); next != Outcome::Going) return next;
        break;
      }
      case SerialDriver::Wake::Ready: {
        std::size_t count = 0;
        switch (driver_.Read(buffer_.get(), ReadBufferSize, count)) {
          case SerialDriver::Io::Pending:  // woken early: nothing to fetch yet
            break;
          case SerialDriver::Io::Completed:
            if (!Deliver(count)) return Outcome::Failed;
            if (Outcome next = StartRead(); next != Outcome::Going) return next;
            break;
          default:
            return Outcome::Failed;
        }
        break;
      }
      default:
        return Outcome::Failed;
    }
  }
}

// Starts the next line-event wait, handling the reports that are there at once.
TReadThread::Outcome TReadThread::StartEventWait() {
  for (;;) {
    if (driver_.StopRaised()) return Outcome::Stopped;
    std::uint32_t events = 0;
    switch (driver_.WaitCommEvent(events)) {
      case SerialDriver::Io::Pending:
        return Outcome::Going;
      case SerialDriver::Io::Completed:
        if (!HandleEvents(events)) return Outcome::Failed;
        break;
      default:
        return Outcome::Failed;
    }
  }
}

// Starts the next read, delivering the bytes that are there at once.
TReadThread::Outcome TReadThread::StartRead() {
  for (;;) {
    if (driver_.StopRaised()) return Outcome::Stopped;
    std::size_t count = 0;
    switch (driver_.Read(buffer_.get(), ReadBufferSize, count)) {
      case SerialDriver::Io::Pending:
        return Outcome::Going;
      case SerialDriver::Io::Completed:
        if (!Deliver(count)) return Outcome::Failed;
        break;
      default:
        return Outcome::Failed;
    }
  }
}

bool TReadThread::HandleEvents(std::uint32_t events) {
  if (events & EV_ERR) {
    std::uint32_t errors = 0;
    if (!driver_.ClearCommError(errors)) return false;
    lineErrors_.store(errors, std::memory_order_release);
  }
  if (events & ReportedEvents) {
    std::uint32_t modemStatus = 0;
    driver_.GetModemStatus(modemStatus);
    PostCommEvent(events, modemStatus);
  }
  return true;
}

// A chunk goes over as a fresh block of count + 1 bytes, the last one zero, stamped with the
// time it was read. A count of zero means the far side has gone.
bool TReadThread::Deliver(std::size_t count) {
  if (count == 0 || count > ReadBufferSize) return false;
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[count + 1]());
  if (!block) return false;
  std::memcpy(block.get(), buffer_.get(), count);
  return notifyWindow_.Post({MsgReceiveData, static_cast<std::uint32_t>(count), std::move(block)});
}

void TReadThread::PostCommEvent(std::uint32_t events, std::uint32_t modemStatus) {
  notifyWindow_.Post({MsgCommEvent, (events & 0xFFFF) | (modemStatus << 16)});
}

}  // namespace kestrel
