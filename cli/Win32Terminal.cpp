#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "cli/Terminal.h"
#include "link/Win32Text.h"

namespace kestrel::cli {

std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; wide && i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

int TerminalWidth(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (GetConsoleScreenBufferInfo(console, &info)) return info.srWindow.Right - info.srWindow.Left + 1;
  return 80;
}

void UseBinaryMode(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

void IgnoreBrokenPipeSignal() {}

ConsoleSetup::ConsoleSetup() : outputCodePage_(GetConsoleOutputCP()) {
  SetConsoleOutputCP(CP_UTF8);
  DWORD mode = 0;
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (GetConsoleMode(error, &mode)) {
    errorMode_ = mode;
    restoreErrorMode_ = true;
    SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
}

ConsoleSetup::~ConsoleSetup() {
  if (outputCodePage_ != 0) SetConsoleOutputCP(outputCodePage_);
  if (restoreErrorMode_) SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), errorMode_);
}

}  // namespace kestrel::cli
