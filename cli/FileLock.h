#pragma once
// Exclusive locks over whole files, each held while its object lives. Other processes and other
// locks of this process wait for them; the system drops them when the process ends, however it
// ends.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace kestrel::cli {

// A lock file that cannot be opened or locked; the text names the file and the reason.
struct FileLockError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The lock on a file already open, by the platform's handle of it.
class HeldLock {
 public:
  // Waits until the lock is ours, or the system refuses it.
  explicit HeldLock(std::intptr_t file);
  ~HeldLock();
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

  // 0 while the lock is held, else the system's error number.
  int Error() const { return error_; }

 private:
  std::intptr_t file_;
  int error_ = 0;
};

// The lock on a lock file, which is created empty when missing and never removed, so that every
// process locks the same file.
class FileLock {
 public:
  // Waits until the lock is ours. FileLockError when it cannot be taken.
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  std::intptr_t handle_;  // the platform's handle of the open file
  std::unique_ptr<HeldLock> lock_;
};

}  // namespace kestrel::cli
