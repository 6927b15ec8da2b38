#pragma once
// Where the results, the error lines and the progress go. With progress on (standard error is a
// terminal and no -q), each running port has one line on standard error, redrawn in place;
// results and errors written meanwhile appear above those lines, never amid them. Every member
// may be called from any thread.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::cli {

struct ProgressUpdate {
  std::string action;  // e.g. "write flash"
  std::uint64_t done = 0;
  std::uint64_t total = 0;                        // 0 when not known
  std::chrono::steady_clock::duration elapsed{};  // since the action began
};

// A port's progress line: port, action, bytes done of total, rate and time left, e.g.
// "COM3  write flash  12288/32768 bytes  5.2 kB/s  0:04 left".
std::string ProgressLine(const std::string& port, const ProgressUpdate& update);

class Console {
 public:
  // `ports` name the lines; `width` is the terminal's, lines are cut to fit it.
  Console(std::vector<std::string> ports, std::FILE* results, std::FILE* errors, bool showProgress,
          int width);
  // Takes the progress lines away.
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Sets port `port`'s line (an index into `ports`); redrawn at most every 100 ms but at once
  // when the action is complete.
  void Progress(std::size_t port, const ProgressUpdate& update);
  // Takes the port's line away.
  void EndProgress(std::size_t port);
  // Writes text to the results and to the error stream, each write checked (PutOutput).
  void Write(std::string_view results, std::string_view errors);

 private:
  // These run with mutex_ held.
  void Redraw();
  void Clear();
  // The sequence that erases the progress lines drawn; none drawn afterwards.
  std::string TakeAway();
  void Put(std::string_view text);  // to the error stream, flushed

  const std::vector<std::string> ports_;
  std::FILE* const results_;
  std::FILE* const errors_;
  const bool showProgress_;
  const std::size_t width_;
  std::mutex mutex_;
  std::vector<std::string> lines_;  // per port; empty: no line
  std::size_t drawn_ = 0;           // lines on screen now
  std::chrono::steady_clock::time_point lastDraw_{};
};

// Progress reports of one port's run, bound to its line.
class PortProgress {
 public:
  PortProgress(Console& console, std::size_t port) : console_(console), port_(port) {}
  void Update(const ProgressUpdate& update) { console_.Progress(port_, update); }

 private:
  Console& console_;
  std::size_t port_;
};

}  // namespace kestrel::cli
