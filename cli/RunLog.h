#pragma once
// The run log of --log: one JSON line (JsonReport) per port's run, appended to a file that the
// ports of a gang and other processes share. Each record goes in whole under an exclusive lock
// on the file, in one write, flushed to disk before the lock is let go; records are never cut or
// interleaved, and a crash loses at most the record being written. A record cut by a crash
// before is ended with a line feed first, so that the next record stands on its own line.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "cli/Result.h"

namespace kestrel::cli {

class RunLog;

struct OpenedLog {
  std::unique_ptr<RunLog> log;
  std::string error;  // when there is no log: why, naming the file
};

class RunLog {
 public:
  // Opens the file for appending, creating it when missing. Done before anything is sent, so
  // that a log that cannot be written stops the job at once (status 2).
  static OpenedLog Open(const std::string& path);
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Appends the port's record; the error, naming the file, when it could not. Any thread.
  std::optional<std::string> Append(const PortResult& result);

 private:
  RunLog(std::string path, std::intptr_t handle) : path_(std::move(path)), handle_(handle) {}
  // Appends `line` (ending in a line feed) as above; 0 or the system's error number.
  int AppendLine(std::string_view line);

  const std::string path_;
  const std::intptr_t handle_;  // the platform's handle of the open file
  std::mutex mutex_;            // the file lock does not tell this process's threads apart
};

}  // namespace kestrel::cli
