#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/Terminal.h"

namespace kestrel::cli {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

int TerminalWidth(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void UseBinaryMode(std::FILE*) {}

void IgnoreBrokenPipeSignal() { signal(SIGPIPE, SIG_IGN); }

ConsoleSetup::ConsoleSetup() = default;
ConsoleSetup::~ConsoleSetup() = default;

}  // namespace kestrel::cli
