#include <windows.h>

#include <system_error>

#include "buffer/FilePath.h"
#include "cli/FileLock.h"

namespace kestrel::cli {

namespace {

HANDLE Handle(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

std::string ErrorText(DWORD error) { return std::system_category().message(static_cast<int>(error)); }

}  // namespace

// Over the whole range a file can have, whether or not it holds anything.
HeldLock::HeldLock(std::intptr_t file) : file_(file) {
  OVERLAPPED whole{};
  if (!LockFileEx(Handle(file_), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
    error_ = static_cast<int>(GetLastError());
}

HeldLock::~HeldLock() {
  OVERLAPPED whole{};
  if (error_ == 0) UnlockFileEx(Handle(file_), 0, MAXDWORD, MAXDWORD, &whole);
}

FileLock::FileLock(const std::string& path) {
  const HANDLE file = CreateFileW(FilePath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw FileLockError(path + ": cannot be opened to lock it (" + ErrorText(GetLastError()) + ")");
  handle_ = reinterpret_cast<std::intptr_t>(file);
  lock_ = std::make_unique<HeldLock>(handle_);
  if (const int error = lock_->Error()) {
    CloseHandle(file);
    throw FileLockError(path + ": cannot be locked (" + ErrorText(static_cast<DWORD>(error)) + ")");
  }
}

FileLock::~FileLock() {
  lock_.reset();
  CloseHandle(Handle(handle_));
}

}  // namespace kestrel::cli
