#include "link/LinkTrace.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "link/Frame.h"
#include "link/TraceFormat.h"

namespace kestrel {

namespace {

std::string FrameName(std::span<const std::uint8_t> frame) {
  if (frame.size() <= FrameHeaderSize) return "poll";
  return OpcodeName(frame[FrameHeaderSize]);
}

}  // namespace

LinkTrace::LinkTrace(const std::string& path) : file_(std::fopen(path.c_str(), "a")) {
  if (!file_) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
}

LinkTrace::~LinkTrace() { std::fclose(file_); }

std::unique_ptr<LinkTrace> LinkTrace::FromEnvironment() {
  const char* path = std::getenv("KESTREL_TRACE");
  if (!path || !*path) return nullptr;
  try {
    return std::make_unique<LinkTrace>(path);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kestrel: no trace: %s\n", error.what());
    return nullptr;
  }
}

void LinkTrace::Sent(LinkTime at, std::span<const std::uint8_t> frame) {
  Write(at, "->", FrameName(frame), frame);
}

void LinkTrace::Received(LinkTime at, std::span<const std::uint8_t> frame) {
  Write(at, "<-", FrameName(frame), frame);
}

void LinkTrace::Event(LinkTime at, std::string_view text) { Write(at, "--", text, {}); }

// Each line goes out at once, so the trace holds everything up to a crash.
void LinkTrace::Write(LinkTime at, std::string_view arrow, std::string_view what,
                      std::span<const std::uint8_t> bytes) {
  std::array<char, 32> stamp{};
  std::snprintf(stamp.data(), stamp.size(), "%13.3f",
                std::chrono::duration<double, std::milli>(at.time_since_epoch()).count());
  const std::string line = TraceLine(stamp.data(), arrow, what, bytes) + '\n';
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace kestrel
