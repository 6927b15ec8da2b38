// Latency of the serial component over a pseudo-terminal with the Qt hand-over: far side write
// to OnReceiveData on the user-interface thread, WriteData to the bytes on the far side; and the
// process's CPU time while the port sits open and idle.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "app/QtNotifyTarget.h"
#include "link/TComm32.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int RoundTrips = 3000;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double ProcessCpuMillis() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void Report(const char* what, std::vector<double> samples, double medianGoal, double p99Goal) {
  std::sort(samples.begin(), samples.end());
  const double median = samples[samples.size() / 2];
  const double p99 = samples[samples.size() * 99 / 100];
  std::printf("%-34s median %.3f ms (goal < %.1f)  p99 %.3f ms (goal < %.1f)  max %.3f ms  n=%zu\n", what,
              median, medianGoal, p99, p99Goal, samples.back(), samples.size());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);

  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char slave[128];
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
      ptsname_r(master, slave, sizeof slave) != 0) {
    std::fprintf(stderr, "no pseudo-terminal\n");
    return 1;
  }

  kestrel::TComm32 comm(kestrel::MakeQtNotifyTarget());
  comm.SetCommPort(slave);
  comm.SetBaudRate(56000);
  comm.SetParity(kestrel::pOdd);
  if (!comm.OpenPort()) return 1;

  std::atomic<Clock::rep> farWrote{0}, nearWrote{0};
  std::vector<double> inbound, outbound;
  inbound.reserve(RoundTrips);
  outbound.reserve(RoundTrips);

  // The user-interface side answers every byte with one byte.
  comm.OnReceiveData = [&](const void* buffer, std::uint16_t length) {
    inbound.push_back(Millis(Clock::now() - Clock::time_point(Clock::duration(farWrote.load()))));
    nearWrote = Clock::now().time_since_epoch().count();
    comm.WriteData(buffer, length);
  };

  std::thread far([&] {
    std::uint8_t byte = 0;
    for (int i = 0; i < RoundTrips; ++i) {
      farWrote = Clock::now().time_since_epoch().count();
      if (write(master, &byte, 1) != 1) break;
      pollfd answer{master, POLLIN, 0};
      if (poll(&answer, 1, 5000) <= 0 || read(master, &byte, 1) != 1) break;
      outbound.push_back(Millis(Clock::now() - Clock::time_point(Clock::duration(nearWrote.load()))));
      ++byte;
    }
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
  });
  app.exec();
  far.join();
  if (outbound.size() != RoundTrips) {
    std::fprintf(stderr, "only %zu of %d round trips completed\n", outbound.size(), RoundTrips);
    return 1;
  }
  Report("far write -> OnReceiveData", inbound, 1.5, 3.0);
  Report("WriteData -> far read", outbound, 1.5, 3.0);

  const double before = ProcessCpuMillis();
  QTimer::singleShot(5000, &app, &QCoreApplication::quit);
  app.exec();
  std::printf("idle CPU with the port open: %.2f ms in 5 s (goal < 10)\n", ProcessCpuMillis() - before);
  close(master);
  return 0;
}
