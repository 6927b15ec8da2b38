#pragma once
// The program's line trace for support: every frame sent and received and the link's events,
// appended to a file, one line each, in the emulator's --trace format:
//   [    81234.567] -> GetChipName: D1 E0 EB EE 02 A4 FA 00 FA
//   [    81236.012] <- poll: D1 E0 EB EE 00 8A
//   [    81236.013] -- stale poll ignored
// Stamps are milliseconds of the monotonic clock: for a frame sent, when it was handed to the
// writer; for a frame received, when the reader took its last bytes off the line. The program
// makes one when the environment variable KESTREL_TRACE names a file.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "link/LineTiming.h"

namespace kestrel {

class LinkTrace {
 public:
  // Appends to `path`; throws std::runtime_error when it cannot be opened.
  explicit LinkTrace(const std::string& path);
  ~LinkTrace();
  LinkTrace(const LinkTrace&) = delete;
  LinkTrace& operator=(const LinkTrace&) = delete;

  // The trace KESTREL_TRACE asks for; null when the variable is unset or empty, or the file
  // cannot be opened (a problem told as below).
  static std::unique_ptr<LinkTrace> FromEnvironment();

  // Where a trace that cannot be opened or written is told, once in the program's life however
  // many links trace: a line on standard error beginning "kestrel: " unless the program set its
  // own teller at its start, before any link runs.
  using ProblemTeller = std::function<void(const std::string& problem)>;
  static void TellProblemsTo(ProblemTeller teller);

  // A whole frame: a poll, or a command or reply named by its opcode.
  void Sent(LinkTime at, std::span<const std::uint8_t> frame);
  void Received(LinkTime at, std::span<const std::uint8_t> frame);
  void Event(LinkTime at, std::string_view text);

 private:
  void Write(LinkTime at, std::string_view arrow, std::string_view what, std::span<const std::uint8_t> bytes);

  std::string path_;
  std::FILE* file_;
};

}  // namespace kestrel
