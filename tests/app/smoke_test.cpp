// Starts the real program under its own virtual X server, with the device emulator as COM1, and
// saves a screenshot of the main window in the build tree: tests/artifacts/kestrel-main-window.png.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Pty.h"

extern char** environ;

namespace kestrel::test {
namespace {

using namespace std::chrono_literals;

// A child process that is ended (SIGTERM, then waited for) when the object goes.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
        const std::vector<std::pair<int, int>>& keepFds = {}) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // The extra settings replace inherited ones of the same name.
    std::vector<std::string> envStrings(extraEnv);
    for (char** e = environ; *e; ++e) {
      const std::string entry(*e);
      const std::string name = entry.substr(0, entry.find('=') + 1);
      if (std::none_of(extraEnv.begin(), extraEnv.end(),
                       [&](const std::string& x) { return x.starts_with(name); }))
        envStrings.push_back(entry);
    }
    std::vector<char*> env;
    for (const std::string& e : envStrings) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const auto& [from, to] : keepFds) posix_spawn_file_actions_adddup2(&actions, from, to);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return pid_ > 0; }
  bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  pid_t pid_ = -1;
};

std::string Tool(const char* name) { return QStandardPaths::findExecutable(name).toStdString(); }

// Output of a short command; empty when it fails.
QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(5000) || process.exitCode() != 0) return {};
  return QString::fromUtf8(process.readAllStandardOutput());
}

struct Window {
  QString id;
  QRect geometry;
};

// The program's largest top-level window on the display, once it is there.
std::optional<Window> FindMainWindow(const QString& display) {
  const QString tree = Run("xwininfo", {"-display", display, "-root", "-children"});
  const QRegularExpression line(R"((0x[0-9a-f]+) .*\("kestrel" "kestrel"\)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+))");
  std::optional<Window> best;
  for (auto it = line.globalMatch(tree); it.hasNext();) {
    const auto m = it.next();
    const QRect geometry(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(2).toInt(),
                         m.captured(3).toInt());
    if (!best || geometry.width() * geometry.height() > best->geometry.width() * best->geometry.height())
      best = Window{m.captured(1), geometry};
  }
  return best;
}

QString Caption(const QString& display, const QString& id) {
  const QString property = Run("xprop", {"-display", display, "-id", id, "_NET_WM_NAME"});
  const int quote = property.indexOf('"');
  return quote < 0 ? QString() : property.mid(quote + 1).section('"', 0, 0);
}

TEST(SmokeTest, ProgramStartsUnderXvfbAndShowsItsMainWindow) {
  for (const char* tool : {"Xvfb", "xwininfo", "xprop"})
    if (Tool(tool).empty()) GTEST_SKIP() << tool << " is missing: run scripts/setup.sh";

  // The server picks a free display and writes its number to the pipe once it is ready.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  Child xvfb({Tool("Xvfb"), "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp"}, {},
             {{ready[1], 3}});
  close(ready[1]);
  ASSERT_TRUE(xvfb.Started());
  std::string number;
  char c;
  while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
  close(ready[0]);
  ASSERT_FALSE(number.empty()) << "Xvfb did not start";
  const std::string display = ":" + number;

  TempConfigHome home;
  Child emulator({KESTREL_EMULATOR_PATH, "--port", "COM1", "--config-home", home.Path()}, {});
  ASSERT_TRUE(emulator.Started());
  const auto alias = std::filesystem::path(home.Path()) / "TARVELIN/ports/COM1";
  for (int i = 0; i < 50 && !std::filesystem::exists(alias); ++i) std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(std::filesystem::exists(alias)) << "the emulator did not register COM1";

  Child program({KESTREL_PROGRAM_PATH}, {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                                         "XDG_CONFIG_HOME=" + home.Path(), "LANG=C.UTF-8"});
  ASSERT_TRUE(program.Started());
  const QString qDisplay = QString::fromStdString(display);
  std::optional<Window> window;
  for (int i = 0; i < 100 && !(window = FindMainWindow(qDisplay)); ++i) std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(window) << "no window of the program appeared";
  EXPECT_GE(window->geometry.width(), 800);
  EXPECT_GE(window->geometry.height(), 600);

  // Give the programmer a moment to introduce itself, then take the picture.
  QString caption;
  for (int i = 0; i < 30; ++i) {
    caption = Caption(qDisplay, window->id);
    if (!caption.isEmpty() && caption != QString::fromUtf8("Программатор не подключен")) break;
    std::this_thread::sleep_for(100ms);
  }
  std::this_thread::sleep_for(500ms);
  RecordProperty("caption", caption.toStdString());
  std::cout << "main window caption: " << caption.toStdString() << std::endl;
  EXPECT_FALSE(caption.isEmpty());
  ASSERT_TRUE(program.Running()) << "the program ended";

  setenv("DISPLAY", display.c_str(), 1);
  int argc = 3;
  char name[] = "smoke", platformFlag[] = "-platform", platform[] = "xcb";
  char* argv[] = {name, platformFlag, platform, nullptr};
  QGuiApplication screenOwner(argc, argv);
  const QRect g = window->geometry;
  const QImage shot =
      screenOwner.primaryScreen()->grabWindow(0, g.x(), g.y(), g.width(), g.height()).toImage();
  ASSERT_EQ(shot.size(), g.size());
  const auto artifacts = std::filesystem::path(KESTREL_BINARY_DIR) / "tests/artifacts";
  std::filesystem::create_directories(artifacts);
  const std::string path = (artifacts / "kestrel-main-window.png").string();
  ASSERT_TRUE(shot.save(QString::fromStdString(path)));
  std::cout << "screenshot: " << path << std::endl;

  // The main window's own colour shows in the margin left of the file browser.
  EXPECT_EQ(QColor(shot.pixel(2, 100)), QColor(230, 230, 210));
  EXPECT_TRUE(program.Running());
}

}  // namespace
}  // namespace kestrel::test
