#pragma once
// Whole-file reads and safe writes of the memory image's files, shared by the desktop program,
// kestrel-cli and the emulator.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrel {

// A file that cannot be opened, created, read or written; the text names the file and the
// reason in Russian, for the desktop program's message box.
struct FileError : std::runtime_error {
  using std::runtime_error::runtime_error;
  FileError(const std::string& what, int systemError) : std::runtime_error(what), error(systemError) {}
  // The system's error number (errno, or a Windows error code on Windows); 0 when none.
  int error = 0;
};

// Reads at most `limit` bytes from `path` (pass one more than the largest size wanted to learn
// that a file is too long without reading all of it). A regular file is read whole; a FIFO, a
// character device, a terminal or /dev/fd/N is read as a stream up to its end, a FIFO's open
// waiting for its writer as any reader's does. Empty when nothing exists at `path`; FileError
// when something exists but cannot be read (a directory with EISDIR).
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t limit);

// Makes the file at `path` hold exactly `bytes`. A regular file, or a name where none exists
// yet, gets a new file beside it, flushed to the disk, which then replaces it: a failure leaves
// the old file as it was. A symbolic link is followed and the file it leads to replaced; the link
// stays. An existing file keeps its permissions; a read-only one is refused. Anything else that
// exists (a device, a FIFO, a socket, a terminal, /proc/self/fd/N) is written where it is,
// never replaced and never truncated; a FIFO that nobody reads fails at once (ENXIO).
// FileError on failure.
void ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes);
// The same without the user's texts: 0 when done, else the system's error number (errno, or a
// Windows error code on Windows).
int TryReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes);

// The cause of a FileError's system error in English, beginning in lower case: "is a directory",
// "no space left on device", "permission denied".
std::string FileErrorCause(int systemError);

}  // namespace kestrel
