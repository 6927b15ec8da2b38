#pragma once
// A pseudo-terminal pair for tests: the test holds the master side and plays the far end of the
// line; the code under test opens the slave by its path, as it would a serial port.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::test {

// The slave's line settings, as the master side reads them.
struct PtySettings {
  std::uint32_t iflag = 0, oflag = 0, cflag = 0, lflag = 0;
  std::uint32_t ispeed = 0, ospeed = 0;
};

class Pty {
 public:
  Pty();  // throws std::runtime_error when no pseudo-terminal can be had
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int Master() const { return master_; }

  // Writes every byte to the line; false when the far side refuses.
  bool Write(const void* data, std::size_t size);
  bool Write(const std::vector<std::uint8_t>& bytes) { return Write(bytes.data(), bytes.size()); }
  // Reads until `size` bytes have come or the line has been quiet for `quiet`.
  std::vector<std::uint8_t> Read(std::size_t size, std::chrono::milliseconds quiet = std::chrono::seconds(5));
  PtySettings Settings() const;
  // The far end vanishes: the slave's reader sees the line end.
  void CloseMaster();

 private:
  int master_ = -1;
  std::string slavePath_;
};

// Points XDG_CONFIG_HOME at a fresh temporary folder for its lifetime, where COM aliases can be made.
class TempConfigHome {
 public:
  TempConfigHome();
  ~TempConfigHome();
  TempConfigHome(const TempConfigHome&) = delete;
  TempConfigHome& operator=(const TempConfigHome&) = delete;

  const std::string& Path() const { return path_; }
  // Makes the alias `com` (say "COM1") a symlink to `target`.
  void AddAlias(const std::string& com, const std::string& target) const;

 private:
  std::string path_;
  std::string saved_;
  bool hadSaved_ = false;
};

}  // namespace kestrel::test
