#pragma once
// A scriptable serial driver for tests: what it answers is set in its shared state, what the
// component asked of it is recorded there, and the test feeds received bytes and line events.
// The state outlives the driver, so a test can look at it after the component is gone.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/SerialDriver.h"

namespace kestrel::test {

struct FakeSerialState {
  std::mutex mutex;
  std::condition_variable changed;

  // Answers.
  SerialDriver::OpenResult openResult = SerialDriver::OpenResult::Opened;
  LineSettings deviceSettings;  // what GetState reports; SetState replaces it
  bool acceptSettings = true;
  bool stopSignalCreated = true;
  bool modemStatusKnown = true;
  std::uint32_t modemStatus = 0;
  std::uint32_t lineErrors = 0;  // ClearCommError hands them out and clears them
  SerialDriver::Io writeAnswer = SerialDriver::Io::Completed;  // Pending: the write never ends
  std::size_t writeLimit = SIZE_MAX;                           // most bytes one write takes

  // Requests seen.
  std::string openedName;
  int opens = 0;
  int closes = 0;
  std::vector<LineSettings> applied;
  std::vector<int> escapes;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> queueSizes;
  std::uint32_t readInterval = 0;
  std::uint32_t commMask = 0;
  int modemStatusReads = 0;
  std::vector<std::uint8_t> written;
  bool stopRaised = false;
  bool receivePurged = false;
  bool transmitPurged = false;

  // Line input: each entry is what one read returns (empty: the far side has gone).
  std::deque<std::vector<std::uint8_t>> reads;
  std::uint32_t events = 0;

  void Receive(std::vector<std::uint8_t> bytes);
  void RaiseEvents(std::uint32_t bits);
  // Waits (up to a few seconds, so a fault fails the test rather than hanging it) until `done`
  // holds under the lock; returns whether it does.
  bool WaitFor(const std::function<bool()>& done);
};

class FakeSerialDriver : public SerialDriver {
 public:
  explicit FakeSerialDriver(std::shared_ptr<FakeSerialState> state) : state_(std::move(state)) {}

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
  std::shared_ptr<FakeSerialState> state_;
};

}  // namespace kestrel::test
