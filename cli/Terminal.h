#pragma once
// The platform's side of the console: arguments, terminals and raw standard streams.

#include <cstdio>
#include <string>
#include <vector>

namespace kestrel::cli {

// The program's arguments after its name, in UTF-8 (on Windows taken from the wide command
// line, whatever the console's code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Whether the stream is an interactive terminal (a console window on Windows).
bool IsTerminal(std::FILE* stream);

// The terminal's width in columns; 80 when it cannot be told.
int TerminalWidth(std::FILE* stream);

// Makes the stream pass bytes unchanged (Windows translates line ends otherwise).
void UseBinaryMode(std::FILE* stream);

// A write into a pipe whose reader has gone fails with EPIPE instead of ending the program with
// a signal (POSIX; Windows has no such signal).
void IgnoreBrokenPipeSignal();

// While it lives, the console shows UTF-8 text and obeys cursor-movement sequences (Windows;
// elsewhere terminals do already).
class ConsoleSetup {
 public:
  ConsoleSetup();
  ~ConsoleSetup();
  ConsoleSetup(const ConsoleSetup&) = delete;
  ConsoleSetup& operator=(const ConsoleSetup&) = delete;

 private:
  unsigned outputCodePage_ = 0;
  unsigned long errorMode_ = 0;
  bool restoreErrorMode_ = false;
};

}  // namespace kestrel::cli
