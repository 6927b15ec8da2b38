#pragma once
// The device's end of the serial line: the master side of a pseudo-terminal whose slave the
// program opens as its COM port, or a real serial device. Non-blocking throughout.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrel::emulator {

class Line {
 public:
  // A pseudo-terminal when `devicePath` is empty; otherwise that serial device at `baud`.
  Line(std::string devicePath, std::uint32_t baud);
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  // Throws std::system_error when the line cannot be opened or set up.
  void Open();
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  // What the program opens: the pseudo-terminal's slave, or the device itself.
  const std::string& HostPath() const { return hostPath_; }

  // Appends what has arrived to `out`; false when the line has failed.
  bool Read(std::vector<std::uint8_t>& out);
  // Throws away what has arrived and not been read.
  void DiscardInput();
  // Waits until what was written has been taken by the program (a pty) or has left the wire
  // (a serial device), at most `patience`.
  void Drain(std::chrono::milliseconds patience);
  // Bytes the program leaves unread past `limit` are lost, as on a line nobody listens to.
  void DropUnreadBeyond(std::size_t limit);
  // Writes the bytes, waiting a while when the line cannot take more; what still does not fit
  // is lost. False when the line has failed.
  bool Write(std::span<const std::uint8_t> bytes);

 private:
  void OpenPseudoTerminal();
  void OpenDevice();

  std::string devicePath_;
  std::uint32_t baud_;
  int fd_ = -1;
  // The pty's slave, held open so the line lives on while the program has it closed.
  int slave_ = -1;
  std::string hostPath_;
};

}  // namespace kestrel::emulator
