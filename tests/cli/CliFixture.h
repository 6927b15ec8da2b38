#pragma once
// kestrel-cli as a script runs it: the real program against emulated programmers on
// pseudo-terminals, registered as COM names in a scratch config folder.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "emulator/Emulator.h"
#include "tests/support/Pty.h"

namespace kestrel::test {

using Bytes = std::vector<std::uint8_t>;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  emulator::Emulator& AddDevice(const std::string& com,
                                const std::function<void(emulator::EmulatorOptions&)>& configure = {}) {
    emulator::EmulatorOptions options;
    options.portName = com;
    options.configHome = config_.Path();
    if (configure) configure(options);
    devices_.push_back(std::make_unique<emulator::Emulator>(options));
    devices_.back()->Start();
    return *devices_.back();
  }

  // Runs the program with `input` on its standard input.
  CliRun Cli(const QStringList& arguments, const std::string& input = {}) const {
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(config_.Path()));
    process.start(QStringLiteral(KESTREL_CLI_PATH), QStringList{"-q"} + arguments);
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(120000)) << arguments.join(' ').toStdString();
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
  }

  // Runs the program with its standard output on `out`, a descriptor the test made. A signal
  // that ends it gives 128 and the signal's number, as a shell tells it.
  CliRun CliOnto(const QStringList& arguments, int out) const {
    const std::string errors = config_.Path() + "/errors.txt";
    std::vector<std::string> args{KESTREL_CLI_PATH, "-q"};
    for (const QString& argument : arguments) args.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (error != 0 || waitpid(pid, &status, 0) != pid) return {};
    std::ifstream text(errors);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), "",
            std::string(std::istreambuf_iterator<char>(text), {})};
  }

  QString File(const std::string& name, const Bytes& bytes) const {
    const std::string path = config_.Path() + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return QString::fromStdString(path);
  }

  Bytes Read(const std::string& name) const {
    std::ifstream in(config_.Path() + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  static Bytes Random(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
  }

  static Bytes FlashOf(const emulator::Emulator& device, const char* chip, std::size_t length) {
    const emulator::ChipState state = device.Chip(emulator::Emulator::ChipNumber(chip));
    const Bytes& flash = state.Memory(emulator::MemoryKind::Flash);
    return Bytes(flash.begin(), flash.begin() + static_cast<std::ptrdiff_t>(length));
  }

  TempConfigHome config_;
  std::vector<std::unique_ptr<emulator::Emulator>> devices_;
};

}  // namespace kestrel::test
