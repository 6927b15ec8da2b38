#pragma once
// Whole-file reads and safe replacing writes of the memory image's files.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrel {

// A file that cannot be opened, created or written; the text names the file and the reason.
struct FileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads at most `limit` bytes of the regular file at `path` (pass one more than the largest size
// wanted to learn that a file is too long without reading all of it). Empty when no regular
// file of that name exists; FileError when it exists but cannot be read.
std::optional<std::vector<std::uint8_t>> ReadRegularFile(const std::string& path, std::size_t limit);

// Makes the file at `path` hold exactly `bytes`: they are written to a new file beside it, flushed
// to disk, which then replaces it, so a failure or a crash leaves the old file as it was or the new
// one whole. An existing file keeps its
// permissions; a read-only one is refused. FileError on failure.
void ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes);
// The same without the user's texts: 0 when done, else the system's error number (errno, or a
// Windows error code on Windows).
int TryReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace kestrel
