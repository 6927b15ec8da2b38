// kestrel-emulator: the programmer device on a pseudo-terminal (or a serial line) until
// SIGINT, SIGTERM or SIGHUP; the COM alias is removed on the way out. Exits with 1 when it cannot
// start or could not store the state file, with 2 for a bad command line.

#include <pthread.h>
#include <signal.h>

#include <iostream>

#include "emulator/CommandLine.h"
#include "emulator/Emulator.h"

using namespace kestrel::emulator;

int main(int argc, char** argv) {
  CommandLine line = ParseCommandLine(argc, argv);
  if (!line.error.empty()) {
    std::cerr << "kestrel-emulator: " << line.error << "\n\n" << Usage();
    return 2;
  }
  if (line.help) {
    std::cout << Usage();
    return 0;
  }

  // A trace piped into a reader that quits must not end the emulator without its clean-up.
  signal(SIGPIPE, SIG_IGN);
  // Signals are taken by sigwait below; the device thread inherits the mask.
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  Emulator emulator(line.options);
  try {
    emulator.Start();
  } catch (const std::exception& error) {
    std::cerr << "kestrel-emulator: " << error.what() << '\n';
    return 1;
  }
  std::cout << "kestrel-emulator: programmer on " << emulator.HostPath();
  if (!emulator.AliasPath().empty()) {
    std::cout << ", registered as " << line.options.portName << " (" << emulator.AliasPath().string() << ")";
  }
  std::cout << "; stop with Ctrl+C" << std::endl;

  int received = 0;
  sigwait(&signals, &received);
  emulator.Stop();
  if (!emulator.StateKept()) {
    std::cerr << "kestrel-emulator: the chips' state is not stored in " << line.options.stateFile << '\n';
    return 1;
  }
  return 0;
}
