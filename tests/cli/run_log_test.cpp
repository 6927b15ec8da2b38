// The run log shared by threads and processes appending at once.

#include "cli/RunLog.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/JsonReport.h"
#include "tests/buffer/ScratchFiles.h"

using namespace kestrel::cli;

namespace {

// A record of some 200 KB, long enough that two writes of one would let others in between,
// named after its writer.
PortResult Record(const std::string& name) {
  PortResult result;
  result.port = name;
  result.programmer = "PR-2M";
  ProgrammerReport programmer{name, {}, {}};
  for (int chip = 0; chip < 10000; ++chip) programmer.chips.push_back(name + "/" + std::to_string(chip));
  result.actions = {{Action(ActionKind::Info), programmer}};
  return result;
}

// Appends `count` records on each of `threads` threads, named "WRITER-THREAD-N".
void AppendOnThreads(RunLog& log, const std::string& writer, int threads, int count) {
  std::vector<std::thread> appenders;
  for (int t = 0; t < threads; ++t)
    appenders.emplace_back([&, t] {
      for (int i = 0; i < count; ++i)
        EXPECT_FALSE(log.Append(Record(writer + "-" + std::to_string(t) + "-" + std::to_string(i))));
    });
  for (std::thread& appender : appenders) appender.join();
}

}  // namespace

TEST(RunLog, AFileThatCannotTakeRecordsIsToldAtOpening) {
  const kestrel::ScratchDir folder;
  for (const std::string& path : {folder.Path().string(), folder.File("missing/log")}) {
    const OpenedLog opened = RunLog::Open(path);
    EXPECT_FALSE(opened.log);
    EXPECT_TRUE(opened.error.starts_with(path + ": the log cannot be opened (")) << opened.error;
  }
}

TEST(RunLog, ProcessesAndThreadsAppendWholeRecordsOnlyAfterACutOne) {
  const kestrel::ScratchDir folder;
  const std::string path = folder.File("runs.jsonl");
  // A record cut short by a crash of an earlier run.
  std::ofstream(path) << R"({"time":"2024-01-01T00:00:00.000Z","port":"cut)";
  constexpr int Processes = 3, Threads = 2, Records = 15;
  std::vector<pid_t> children;
  for (int process = 0; process < Processes; ++process) {
    const pid_t pid = fork();
    if (pid == 0) {
      // Each process opens the log itself, as kestrel-cli does.
      const OpenedLog opened = RunLog::Open(path);
      if (opened.log) AppendOnThreads(*opened.log, "P" + std::to_string(process), Threads, Records);
      _exit(opened.log && !::testing::Test::HasFailure() ? 0 : 1);
    }
    children.push_back(pid);
  }
  {
    const OpenedLog opened = RunLog::Open(path);
    ASSERT_TRUE(opened.log) << opened.error;
    AppendOnThreads(*opened.log, "main", Threads, Records);
  }
  for (const pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  std::vector<std::string> expected;
  for (const std::string& writer :
       {std::string("main"), std::string("P0"), std::string("P1"), std::string("P2")})
    for (int t = 0; t < Threads; ++t)
      for (int i = 0; i < Records; ++i)
        expected.push_back(JsonReport(Record(writer + "-" + std::to_string(t) + "-" + std::to_string(i))));
  ASSERT_EQ(lines.size(), expected.size() + 1);
  EXPECT_EQ(lines.front(), R"({"time":"2024-01-01T00:00:00.000Z","port":"cut)"
                           "\n");
  lines.erase(lines.begin());
  std::sort(lines.begin(), lines.end());
  std::sort(expected.begin(), expected.end());
  // Every line is one record whole: none cut, none mixed with another.
  EXPECT_TRUE(lines == expected);
}
