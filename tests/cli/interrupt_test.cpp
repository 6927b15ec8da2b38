// Interrupts, sent as real signals to a child process that caught them.

#include "cli/Interrupt.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace kestrel::cli;

TEST(Interrupt, TheFirstSignalIsRememberedASecondEndsTheProgramWithItsStatus) {
  struct Case {
    int first, second;
    ExitStatus status;
  };
  for (const Case& each :
       {Case{SIGINT, SIGTERM, ExitStatus::Interrupted}, Case{SIGTERM, SIGINT, ExitStatus::Terminated},
        Case{SIGINT, SIGINT, ExitStatus::Interrupted}}) {
    int seen[2];
    ASSERT_EQ(pipe(seen), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      CatchInterrupts();
      // A thread started afterwards, as the ports are: its wait is not cut short.
      int waited = -1;
      std::thread port([&] { waited = poll(nullptr, 0, 300); });
      kill(getpid(), each.first);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (InterruptStatus() == ExitStatus::Done && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      port.join();
      const unsigned char report[2]{static_cast<unsigned char>(InterruptStatus()), waited == 0};
      if (write(seen[1], report, 2) != 2) _exit(1);
      kill(getpid(), each.second);
      std::this_thread::sleep_for(std::chrono::seconds(5));
      _exit(0);  // the second signal did not end it
    }
    close(seen[1]);
    unsigned char report[2]{};
    EXPECT_EQ(read(seen[0], report, 2), 2);
    close(seen[0]);
    EXPECT_EQ(report[0], static_cast<int>(each.status));
    EXPECT_EQ(report[1], 1) << "the port thread's wait was cut short";
    int ended = 0;
    ASSERT_EQ(waitpid(pid, &ended, 0), pid);
    EXPECT_TRUE(WIFEXITED(ended));
    EXPECT_EQ(WEXITSTATUS(ended), static_cast<int>(each.status));
  }
}
