#pragma once
// An exclusive lock on a lock file, held while the object lives. Other processes and other
// FileLock objects of this process wait for it; the system drops it when the process ends,
// however it ends. The file is created empty when missing and never removed, so that every
// process locks the same file.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrel::cli {

// A lock file that cannot be opened or locked; the text names the file and the reason.
struct FileLockError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class FileLock {
 public:
  // Waits until the lock is ours. FileLockError when it cannot be taken.
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  std::intptr_t handle_;  // the platform's handle of the open file
};

}  // namespace kestrel::cli
