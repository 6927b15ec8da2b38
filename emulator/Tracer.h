#pragma once
// The --trace log: every frame in and out, with the seconds since start, in hexadecimal,
// named by its command and marked with the faults put into it. Its first line says where its
// start lies on the monotonic clock, which stamps the program's own trace.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "emulator/Pacer.h"

namespace kestrel::emulator {

class Tracer {
 public:
  using Sink = std::function<void(const std::string&)>;

  // Traces nothing while `sink` is empty.
  explicit Tracer(Sink sink);

  bool On() const { return static_cast<bool>(sink_); }
  void Received(std::span<const std::uint8_t> payload);
  // A frame or other bytes sent; `what` names them.
  void Sent(std::string_view what, std::span<const std::uint8_t> bytes);
  void Note(std::string_view text);

 private:
  void Line(std::string_view arrow, std::string_view what, std::span<const std::uint8_t> bytes);

  Sink sink_;
  Clock::time_point start_;
};

}  // namespace kestrel::emulator
