#include "cli/Console.h"

#include <cmath>

#include "cli/Output.h"

namespace kestrel::cli {

namespace {

constexpr auto RedrawInterval = std::chrono::milliseconds(100);

std::string Duration(std::uint64_t seconds) {
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(seconds / 60),
                  static_cast<unsigned>(seconds % 60));
  return text;
}

// The line cut to `columns` characters (UTF-8 sequences count as one).
std::string Fit(const std::string& line, std::size_t columns) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) == 0x80) continue;
    if (count++ == columns) return line.substr(0, i);
  }
  return line;
}

}  // namespace

std::string ProgressLine(const std::string& port, const ProgressUpdate& update) {
  std::string line = port + "  " + update.action;
  if (update.total == 0) return line;
  line += "  " + std::to_string(update.done) + "/" + std::to_string(update.total) + " bytes";
  const double seconds = std::chrono::duration<double>(update.elapsed).count();
  if (update.done == 0 || seconds <= 0) return line;
  const double rate = static_cast<double>(update.done) / seconds;
  char text[32];
  std::snprintf(text, sizeof text, "  %.1f kB/s", rate / 1000);
  line += text;
  if (update.done < update.total)
    line += "  " +
            Duration(static_cast<std::uint64_t>(
                std::ceil(static_cast<double>(update.total - update.done) / rate))) +
            " left";
  return line;
}

Console::Console(std::vector<std::string> ports, std::FILE* results, std::FILE* errors, bool showProgress,
                 int width)
    : ports_(std::move(ports)),
      results_(results),
      errors_(errors),
      showProgress_(showProgress),
      width_(width > 1 ? static_cast<std::size_t>(width - 1) : 1),
      lines_(ports_.size()) {}

Console::~Console() {
  const std::lock_guard lock(mutex_);
  Clear();
}

void Console::Progress(std::size_t port, const ProgressUpdate& update) {
  if (!showProgress_ || port >= lines_.size()) return;
  const std::lock_guard lock(mutex_);
  const bool added = lines_[port].empty();
  lines_[port] = Fit(ProgressLine(ports_[port], update), width_);
  const auto now = std::chrono::steady_clock::now();
  if (added || update.done == update.total || now - lastDraw_ >= RedrawInterval) {
    lastDraw_ = now;
    Redraw();
  }
}

void Console::EndProgress(std::size_t port) {
  if (!showProgress_ || port >= lines_.size()) return;
  const std::lock_guard lock(mutex_);
  lines_[port].clear();
  Redraw();
}

void Console::Write(std::string_view results, std::string_view errors) {
  const std::lock_guard lock(mutex_);
  Clear();
  if (!results.empty()) PutOutput(results_, results);
  if (!errors.empty()) PutOutput(errors_, errors);
  Redraw();
}

std::string Console::TakeAway() {
  if (drawn_ == 0) return {};
  // Up to the first progress line, then erase to the end of the screen.
  std::string erase = "\x1b[" + std::to_string(drawn_) + "A\r\x1b[J";
  drawn_ = 0;
  return erase;
}

void Console::Clear() { Put(TakeAway()); }

void Console::Redraw() {
  if (!showProgress_) return;
  std::string frame = TakeAway();
  for (const std::string& line : lines_) {
    if (line.empty()) continue;
    frame += line + "\n";
    ++drawn_;
  }
  Put(frame);
}

void Console::Put(std::string_view text) {
  if (text.empty()) return;
  std::fwrite(text.data(), 1, text.size(), errors_);
  std::fflush(errors_);
}

}  // namespace kestrel::cli
