#include "emulator/Tracer.h"

#include <array>
#include <cstdio>

#include "link/Frame.h"
#include "link/TraceFormat.h"

namespace kestrel::emulator {

Tracer::Tracer(Sink sink) : sink_(std::move(sink)), start_(Clock::now()) {
  if (!On()) return;
  // The program's trace stamps its lines with milliseconds of the same clock.
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "0 s here is %.3f ms of the monotonic clock",
                std::chrono::duration<double, std::milli>(start_.time_since_epoch()).count());
  Note(text.data());
}

void Tracer::Received(std::span<const std::uint8_t> payload) {
  if (On()) Line("<-", OpcodeName(payload[0]), ComposeFrame(payload));
}

void Tracer::Sent(std::string_view what, std::span<const std::uint8_t> bytes) {
  if (On()) Line("->", what, bytes);
}

void Tracer::Note(std::string_view text) {
  if (On()) Line("--", text, {});
}

void Tracer::Line(std::string_view arrow, std::string_view what, std::span<const std::uint8_t> bytes) {
  const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  std::array<char, 32> stamp{};
  std::snprintf(stamp.data(), stamp.size(), "%10.6f", seconds);
  sink_(TraceLine(stamp.data(), arrow, what, bytes));
}

}  // namespace kestrel::emulator
