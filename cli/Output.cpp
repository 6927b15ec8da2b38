#include "cli/Output.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <system_error>

#include "cli/TextReport.h"

namespace kestrel::cli {

namespace {

struct Failure {
  int error = 0;
  bool told = false;
};

// The first failure of each stream written to; the process has one set of standard streams.
class Failures {
 public:
  int Error(std::FILE* stream) {
    const std::lock_guard lock(mutex_);
    return failures_[stream].error;
  }
  void Note(std::FILE* stream, int error) {
    const std::lock_guard lock(mutex_);
    Failure& failure = failures_[stream];
    if (failure.error == 0) failure.error = error != 0 ? error : EIO;
  }
  // The failure, marked as told; none when there is none or it was told already.
  Failure Take(std::FILE* stream) {
    const std::lock_guard lock(mutex_);
    Failure& failure = failures_[stream];
    const Failure taken = failure.told ? Failure{} : failure;
    failure.told = true;
    return taken;
  }

 private:
  std::mutex mutex_;
  std::map<std::FILE*, Failure> failures_;
};

Failures& StreamFailures() {
  static Failures failures;
  return failures;
}

std::string StreamName(std::FILE* stream) {
  if (stream == stdout) return "standard output";
  if (stream == stderr) return "standard error";
  return "output";
}

std::string Told(std::FILE* stream, const Failure& failure) {
  if (failure.error == 0 || failure.error == EPIPE) return {};
  return StreamName(stream) + ": " + std::generic_category().message(failure.error);
}

}  // namespace

bool PutOutput(std::FILE* stream, std::string_view bytes) {
  Failures& failures = StreamFailures();
  if (failures.Error(stream) != 0) return false;
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() && std::fflush(stream) == 0)
    return true;
  failures.Note(stream, errno);
  return false;
}

std::string TakeOutputFailure(std::FILE* stream) { return Told(stream, StreamFailures().Take(stream)); }

ExitStatus EndOutput(ExitStatus status) {
  Failures& failures = StreamFailures();
  errno = 0;
  if (std::fclose(stdout) != 0) failures.Note(stdout, errno);
  errno = 0;
  if (std::fflush(stderr) != 0) failures.Note(stderr, errno);
  bool failed = false;
  for (std::FILE* stream : {stdout, stderr}) {
    failed = failed || failures.Error(stream) != 0;
    if (const std::string told = TakeOutputFailure(stream); !told.empty())
      PutOutput(stderr, ProgramMessage(told));
  }
  return failed ? Worse(status, ExitStatus::File) : status;
}

}  // namespace kestrel::cli
