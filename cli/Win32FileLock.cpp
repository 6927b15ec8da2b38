#include <windows.h>

#include <system_error>

#include "buffer/FilePath.h"
#include "cli/FileLock.h"

namespace kestrel::cli {

namespace {

[[noreturn]] void Fail(const std::string& path, const char* what, DWORD error) {
  throw FileLockError(path + ": cannot be " + what + " (" +
                      std::system_category().message(static_cast<int>(error)) + ")");
}

}  // namespace

FileLock::FileLock(const std::string& path) {
  const HANDLE file = CreateFileW(FilePath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail(path, "opened to lock it", GetLastError());
  // The whole range a file can have, whether or not it holds anything.
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    Fail(path, "locked", error);
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

FileLock::~FileLock() {
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  OVERLAPPED whole{};
  UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(file);
}

}  // namespace kestrel::cli
