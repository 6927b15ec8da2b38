// The memory image's files on Windows: paths are UTF-8 and go to the wide-character calls, so
// Cyrillic folder names work whatever the system's code page; files are read and written as
// bytes, never as text.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "buffer/FileIo.h"

namespace kestrel {
namespace {

// The reason given for a folder where a file was expected.
constexpr DWORD IsFolder = ERROR_DIRECTORY;

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string Reason(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
      return "нет прав доступа";
    case ERROR_WRITE_PROTECT:
      return "носитель только для чтения";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "нет места на диске";
    case ERROR_PATH_NOT_FOUND:
      return "нет такой папки";
    case IsFolder:
      return "это папка, а не файл";
    default:
      return "ошибка Windows " + std::to_string(error);
  }
}

[[noreturn]] void Fail(const char* action, const std::string& path, DWORD error) {
  throw FileError(std::string("Не удалось ") + action + " файл «" + path + "»: " + Reason(error) + ".",
                  static_cast<int>(error));
}

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Returns 0 or the error that stopped the writing.
DWORD WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    bytes = bytes.subspan(written);
  }
  return 0;
}

std::wstring TemporaryNameBeside(const std::wstring& path) {
  static std::atomic<unsigned> counter{0};
  const auto slash = path.find_last_of(L"\\/");
  const std::wstring directory = slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  return directory + L"." + name + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++) + L".tmp";
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t limit) {
  const std::wstring name = Wide(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    Fail("открыть", path, IsFolder);
  const UniqueHandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
      return std::nullopt;
    Fail("открыть", path, error);
  }

  // A file on disk has a size; a device or pipe (NUL, CON, a named pipe) is read to its end.
  std::size_t expected = 4096;
  if (LARGE_INTEGER size{}; GetFileType(file.get()) == FILE_TYPE_DISK && GetFileSizeEx(file.get(), &size))
    expected = static_cast<std::size_t>(size.QuadPart) + 1;
  std::vector<std::uint8_t> bytes(std::min(limit, expected));
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) {
      if (filled >= limit) break;
      bytes.resize(std::min(limit, filled * 2 + 4096));
    }
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - filled, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(file.get(), bytes.data() + filled, chunk, &got, nullptr)) {
      // A pipe whose writer has closed it has ended.
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      Fail("прочитать", path, GetLastError());
    }
    if (got == 0) break;
    filled += got;
  }
  bytes.resize(filled);
  return bytes;
}

int TryReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::wstring target = Wide(path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return static_cast<int>(IsFolder);
  // A device or pipe (NUL, CON, COM3, a named pipe) is written where it is; only a file on disk
  // is replaced. Opening a file on disk for the look changes nothing in it.
  if (const UniqueHandle existing(CreateFileW(target.c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
      existing.get() != INVALID_HANDLE_VALUE && GetFileType(existing.get()) != FILE_TYPE_DISK)
    return static_cast<int>(WriteAll(existing.get(), bytes));
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) return static_cast<int>(ERROR_ACCESS_DENIED);

  std::wstring temporary;
  HANDLE raw = INVALID_HANDLE_VALUE;
  do {
    temporary = TemporaryNameBeside(target);
    raw =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  } while (raw == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS);
  if (raw == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());

  DWORD error = 0;
  {
    const UniqueHandle file(raw);
    error = WriteAll(file.get(), bytes);
    if (error == 0 && !FlushFileBuffers(file.get())) error = GetLastError();
  }
  // Replacing keeps the old file's attributes and access rights.
  if (error == 0 && !(exists ? ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                             : MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)))
    error = GetLastError();
  if (error != 0) DeleteFileW(temporary.c_str());
  return static_cast<int>(error);
}

void ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (const int error = TryReplaceFileContents(path, bytes))
    Fail("сохранить", path, static_cast<DWORD>(error));
}

// In the words POSIX systems use for the same causes.
std::string FileErrorCause(int systemError) {
  switch (static_cast<DWORD>(systemError)) {
    case ERROR_ACCESS_DENIED:
      return "permission denied";
    case ERROR_WRITE_PROTECT:
      return "read-only file system";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "no space left on device";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "no such file or directory";
    case IsFolder:
      return "is a directory";
    default:
      return "Windows error " + std::to_string(systemError);
  }
}

}  // namespace kestrel
