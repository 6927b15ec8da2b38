#include "link/LinkTrace.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "link/Frame.h"
#include "link/TraceFormat.h"

namespace kestrel {

namespace {

std::string FrameName(std::span<const std::uint8_t> frame) {
  if (frame.size() <= FrameHeaderSize) return "poll";
  return OpcodeName(frame[FrameHeaderSize]);
}

// The trace's problems, told once: the trace file is the program's, whichever link writes it.
class Problems {
 public:
  void SetTeller(LinkTrace::ProblemTeller teller) {
    const std::lock_guard lock(mutex_);
    teller_ = std::move(teller);
  }
  void Tell(const std::string& problem) {
    const std::lock_guard lock(mutex_);
    if (told_) return;
    told_ = true;
    if (teller_)
      teller_(problem);
    else
      std::fprintf(stderr, "kestrel: %s\n", problem.c_str());
  }

 private:
  std::mutex mutex_;
  LinkTrace::ProblemTeller teller_;
  bool told_ = false;
};

Problems& TraceProblems() {
  static Problems problems;
  return problems;
}

}  // namespace

LinkTrace::LinkTrace(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "a")) {
  if (!file_) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
}

LinkTrace::~LinkTrace() { std::fclose(file_); }

std::unique_ptr<LinkTrace> LinkTrace::FromEnvironment() {
  const char* path = std::getenv("KESTREL_TRACE");
  if (!path || !*path) return nullptr;
  try {
    return std::make_unique<LinkTrace>(path);
  } catch (const std::exception& error) {
    TraceProblems().Tell(std::string("no trace: ") + error.what());
    return nullptr;
  }
}

void LinkTrace::TellProblemsTo(ProblemTeller teller) { TraceProblems().SetTeller(std::move(teller)); }

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
  errno = 0;
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0) {
    const int error = errno != 0 ? errno : EIO;
    // The lines that do not fit are lost; the next ones are tried again.
    std::clearerr(file_);
    TraceProblems().Tell("the trace " + path_ + " cannot be written: " + std::strerror(error));
  }
}

}  // namespace kestrel
