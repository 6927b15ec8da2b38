// kestrel-cli: the programmer from the command line, on one port or several at once.

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "cli/Console.h"
#include "cli/ImageFiles.h"
#include "cli/Interrupt.h"
#include "cli/JsonReport.h"
#include "cli/LineSettings.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/PortRun.h"
#include "cli/RunLog.h"
#include "cli/Terminal.h"
#include "cli/TextReport.h"
#include "link/LinkTrace.h"

using namespace kestrel::cli;

namespace {

bool ReadsIntoStandardOutput(const Job& job) {
  for (const Action& action : job.actions)
    if (action.kind == ActionKind::Read && action.file == StandardStream) return true;
  return false;
}

// A record the log could not take fails the port: the board's record is lost.
void AppendToLog(RunLog& log, PortResult& result) {
  const auto error = log.Append(result);
  if (!error) return;
  result.status = Worse(result.status, ExitStatus::File);
  result.error = result.error.empty() ? *error : result.error + "; " + *error;
}

// Runs the job on every port at once, each on its own thread, and writes each port's results
// (and its record to the log, if any) as it ends. Returns the worst status.
ExitStatus RunPorts(const Job& job, const LoadedInputs& inputs, Console& console, RunLog* log) {
  std::vector<ExitStatus> statuses(job.ports.size(), ExitStatus::Done);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < job.ports.size(); ++i) {
    threads.emplace_back([&, i] {
      PortProgress progress(console, i);
      const auto started = std::chrono::system_clock::now();
      const auto start = std::chrono::steady_clock::now();
      PortResult result = RunPort(
          PortJob{
              .port = job.ports[i], .baud = *job.baud, .parity = *job.parity, .job = job, .inputs = inputs},
          progress);
      result.started = started;
      result.duration = std::chrono::steady_clock::now() - start;
      if (log) AppendToLog(*log, result);
      console.EndProgress(i);
      console.Write(job.json ? JsonReport(result) : TextReport(result, job.ports.size() > 1),
                    ErrorLine(result));
      statuses[i] = result.status;
    });
  }
  ExitStatus worst = ExitStatus::Done;
  for (std::size_t i = 0; i < threads.size(); ++i) {
    threads[i].join();
    worst = Worse(worst, statuses[i]);
  }
  return worst;
}

}  // namespace

int main(int argc, char** argv) {
  const ConsoleSetup consoleSetup;
  IgnoreBrokenPipeSignal();
  CommandLine commandLine = ParseCommandLine(ProgramArguments(argc, argv));
  switch (commandLine.kind) {
    case CommandLine::Kind::Help:
      PutOutput(stdout, UsageText);
      return static_cast<int>(EndOutput(ExitStatus::Done));
    case CommandLine::Kind::Version:
      PutOutput(stdout, "kestrel-cli " KESTREL_VERSION "\n");
      return static_cast<int>(EndOutput(ExitStatus::Done));
    case CommandLine::Kind::UsageError:
      PutOutput(stderr, ProgramMessage(commandLine.error));
      return static_cast<int>(EndOutput(ExitStatus::Usage));
    case CommandLine::Kind::Run:
      break;
  }
  // Before any thread starts: the interrupts are then taken by a thread of their own.
  CatchInterrupts();
  Job& job = commandLine.job;
  for (const std::string& warning : ApplyStoredSettings(job, ReadStoredSettings()))
    PutOutput(stderr, ProgramMessage(warning));

  std::unique_ptr<RunLog> log;
  if (job.log) {
    OpenedLog opened = RunLog::Open(*job.log);
    if (!opened.log) {
      std::fputs(ProgramMessage(opened.error).c_str(), stderr);
      return static_cast<int>(ExitStatus::Usage);
    }
    log = std::move(opened.log);
  }
  const LoadedInputs inputs = LoadInputImages(job);
  if (!inputs.error.empty()) {
    PutOutput(stderr, ProgramMessage(inputs.error));
    return static_cast<int>(EndOutput(ExitStatus::File));
  }
  // A read into the standard output has it to itself; the results then go with the errors.
  std::FILE* results = ReadsIntoStandardOutput(job) ? stderr : stdout;
  Console console(job.ports, results, stderr, !job.quiet && IsTerminal(stderr), TerminalWidth(stderr));
  // A trace that cannot be written is told among the errors, above the progress lines.
  kestrel::LinkTrace::TellProblemsTo(
      [&console](const std::string& problem) { console.Write({}, ProgramMessage(problem)); });
  return static_cast<int>(EndOutput(RunPorts(job, inputs, console, log.get())));
}
