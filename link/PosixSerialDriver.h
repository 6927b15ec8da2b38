#pragma once
// The serial driver over a Linux tty: termios2 for any integer rate, poll(2) on the device plus
// eventfds for the stop signal and line-event completions, modem ioctls where the device has
// them. A pseudo-terminal has no modem lines: its line-event wait then completes only for the
// event character, which is found in the received bytes themselves.

#include <asm/termbits.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "link/SerialDriver.h"

namespace kestrel {

// The termios2 record for a settings record; false when the tty layer cannot honour it.
bool ToTermios(const LineSettings& settings, termios2& tty);
// The settings record a termios2 record describes (the event character is not in it).
LineSettings FromTermios(const termios2& tty);

class PosixSerialDriver final : public SerialDriver {
 public:
  PosixSerialDriver() = default;
  ~PosixSerialDriver() override;

  OpenResult Open(const std::string& portName) override;
  std::string AccessHint() const override { return accessHint_; }
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
  void AddEvents(std::uint32_t events);
  std::uint32_t TakeEvents();
  void NoteReceived(const std::uint8_t* data, std::size_t count);
  void WatchModemLines();
  void StopModemWatcher();

  int fd_ = -1;
  std::string accessHint_;
  int stopFd_ = -1;
  int eventFd_ = -1;  // readable while line events wait to be fetched
  bool hasModemLines_ = false;
  bool hasCounters_ = false;
  // Set by a wait that saw a hang-up or an error, so that a read or write that then finds
  // nothing to do ends instead of waiting again at once; each is touched by one thread only,
  // and by Close once the threads have ended.
  bool readerSawHangup_ = false;
  bool writerSawHangup_ = false;
  std::atomic<bool> stopRaised_{false};
  std::atomic<std::uint32_t> eventMask_{0};
  std::atomic<std::uint32_t> pendingEvents_{0};
  std::atomic<std::uint32_t> lineErrors_{0};
  std::atomic<std::uint8_t> evtChar_{0};
  std::atomic<int> readIntervalMs_{1};
  // The reader's last error counters, to tell new line errors from old ones.
  std::uint32_t lastFrame_ = 0, lastOverrun_ = 0, lastParity_ = 0, lastBreak_ = 0, lastBufOverrun_ = 0;

  // Waits for modem-line changes where the device reports them; woken by a signal to end.
  std::thread modemWatcher_;
  std::atomic<bool> watcherStopping_{false};
  std::mutex watcherMutex_;
  std::condition_variable watcherEndedChanged_;
  bool watcherEnded_ = false;
};

}  // namespace kestrel
