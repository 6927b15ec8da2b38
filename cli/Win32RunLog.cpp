#include "cli/RunLog.h"

// After the results, whose link names windows.h would take as its macros.
#include <windows.h>

#include <system_error>

#include "buffer/FilePath.h"
#include "cli/FileLock.h"

namespace kestrel::cli {

namespace {

// Whether the file is empty or ends with a line feed: the last record is whole.
bool EndsWithLineFeed(HANDLE file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart == 0) return true;
  OVERLAPPED at{};
  const auto offset = static_cast<ULONGLONG>(size.QuadPart - 1);
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  char last = '\n';
  DWORD got = 0;
  return !ReadFile(file, &last, 1, &got, &at) || got != 1 || last == '\n';
}

}  // namespace

OpenedLog RunLog::Open(const std::string& path) {
  // Appending only: every write goes to the end, whoever else writes.
  const HANDLE file =
      CreateFileW(FilePath(path).c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return {nullptr, path + ": the log cannot be opened (" +
                         std::system_category().message(static_cast<int>(GetLastError())) + ")"};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return {nullptr, path + ": the log must be a regular file"};
  }
  return {std::unique_ptr<RunLog>(new RunLog(path, reinterpret_cast<std::intptr_t>(file))), {}};
}

RunLog::~RunLog() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

int RunLog::AppendLine(std::string_view line) {
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  const HeldLock lock(handle_);
  if (lock.Error() != 0) return lock.Error();
  std::string whole;
  if (!EndsWithLineFeed(file)) whole = '\n';
  whole += line;
  DWORD written = 0;
  if (!WriteFile(file, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr))
    return static_cast<int>(GetLastError());
  if (written != whole.size()) return static_cast<int>(ERROR_WRITE_FAULT);
  return FlushFileBuffers(file) ? 0 : static_cast<int>(GetLastError());
}

}  // namespace kestrel::cli
