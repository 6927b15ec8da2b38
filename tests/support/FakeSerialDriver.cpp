#include "tests/support/FakeSerialDriver.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

namespace kestrel::test {

void FakeSerialState::Receive(std::vector<std::uint8_t> bytes) {
  {
    std::lock_guard lock(mutex);
    reads.push_back(std::move(bytes));
  }
  changed.notify_all();
}

void FakeSerialState::RaiseEvents(std::uint32_t bits) {
  {
    std::lock_guard lock(mutex);
    events |= bits;
  }
  changed.notify_all();
}

bool FakeSerialState::WaitFor(const std::function<bool()>& done) {
  std::unique_lock lock(mutex);
  return changed.wait_for(lock, std::chrono::seconds(10), done);
}

SerialDriver::OpenResult FakeSerialDriver::Open(const std::string& portName) {
  std::lock_guard lock(state_->mutex);
  state_->openedName = portName;
  if (state_->openResult == OpenResult::Opened) ++state_->opens;
  return state_->openResult;
}

void FakeSerialDriver::Close() {
  std::lock_guard lock(state_->mutex);
  ++state_->closes;
}

bool FakeSerialDriver::GetState(LineSettings& settings) {
  std::lock_guard lock(state_->mutex);
  settings = state_->deviceSettings;
  return true;
}

bool FakeSerialDriver::SetState(const LineSettings& settings) {
  std::lock_guard lock(state_->mutex);
  state_->applied.push_back(settings);
  if (state_->acceptSettings) state_->deviceSettings = settings;
  return state_->acceptSettings;
}

bool FakeSerialDriver::SetReadInterval(std::uint32_t milliseconds) {
  std::lock_guard lock(state_->mutex);
  state_->readInterval = milliseconds;
  return true;
}

bool FakeSerialDriver::SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) {
  std::lock_guard lock(state_->mutex);
  state_->queueSizes.emplace_back(rxQueue, txQueue);
  return true;
}

bool FakeSerialDriver::EscapeCommFunction(int code) {
  std::lock_guard lock(state_->mutex);
  state_->escapes.push_back(code);
  return true;
}

// A new stop signal starts lowered.
bool FakeSerialDriver::CreateStopSignal() {
  std::lock_guard lock(state_->mutex);
  if (state_->stopSignalCreated) state_->stopRaised = false;
  return state_->stopSignalCreated;
}

void FakeSerialDriver::RaiseStop() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopRaised = true;
  }
  state_->changed.notify_all();
}

bool FakeSerialDriver::StopRaised() {
  std::lock_guard lock(state_->mutex);
  return state_->stopRaised;
}

bool FakeSerialDriver::SetCommMask(std::uint32_t events) {
  {
    std::lock_guard lock(state_->mutex);
    state_->commMask = events;
  }
  state_->changed.notify_all();
  return true;
}

bool FakeSerialDriver::GetModemStatus(std::uint32_t& status) {
  std::lock_guard lock(state_->mutex);
  ++state_->modemStatusReads;
  status = state_->modemStatus;
  return state_->modemStatusKnown;
}

bool FakeSerialDriver::ClearCommError(std::uint32_t& errors) {
  std::lock_guard lock(state_->mutex);
  errors = std::exchange(state_->lineErrors, 0);
  return true;
}

SerialDriver::Io FakeSerialDriver::WaitCommEvent(std::uint32_t&) { return Io::Pending; }

bool FakeSerialDriver::FetchCommEvent(std::uint32_t& events) {
  std::lock_guard lock(state_->mutex);
  events = std::exchange(state_->events, 0);
  return true;
}

SerialDriver::Io FakeSerialDriver::Read(std::uint8_t* buffer, std::size_t size, std::size_t& count) {
  std::lock_guard lock(state_->mutex);
  if (state_->reads.empty()) return Io::Pending;
  std::vector<std::uint8_t>& next = state_->reads.front();
  count = std::min(size, next.size());
  if (count != 0) std::memcpy(buffer, next.data(), count);
  next.erase(next.begin(), next.begin() + static_cast<std::ptrdiff_t>(count));
  if (next.empty()) state_->reads.pop_front();
  return Io::Completed;
}

SerialDriver::Wake FakeSerialDriver::WaitReader() {
  std::unique_lock lock(state_->mutex);
  state_->changed.wait(lock,
                       [this] { return state_->stopRaised || state_->events || !state_->reads.empty(); });
  if (state_->stopRaised) return Wake::Stop;
  return state_->events ? Wake::LineEvent : Wake::Ready;
}

void FakeSerialDriver::PurgeReceive() {
  {
    std::lock_guard lock(state_->mutex);
    state_->receivePurged = true;
  }
  state_->changed.notify_all();
}

SerialDriver::Io FakeSerialDriver::Write(const std::uint8_t* data, std::size_t size, std::size_t& written) {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->writeAnswer != Io::Completed) return state_->writeAnswer;
    written = std::min(size, state_->writeLimit);
    state_->written.insert(state_->written.end(), data, data + written);
  }
  state_->changed.notify_all();
  return Io::Completed;
}

SerialDriver::Wake FakeSerialDriver::WaitWriter() {
  std::unique_lock lock(state_->mutex);
  state_->changed.wait(lock, [this] { return state_->stopRaised; });
  return Wake::Stop;
}

void FakeSerialDriver::PurgeTransmit() {
  {
    std::lock_guard lock(state_->mutex);
    state_->transmitPurged = true;
  }
  state_->changed.notify_all();
}

}  // namespace kestrel::test
