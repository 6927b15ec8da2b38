#include "tests/app/ProgramHarness.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/MessageBoxes.h"
#include "app/Startup.h"
#include "app/TForm1.h"
#include "app/TForm3.h"
#include "app/TForm5.h"
#include "operations/forms/TBitDialog.h"

namespace kestrel::test {

using namespace std::chrono_literals;

namespace {
std::string configHome;
}

void ProgramEnvironment::SetUp() {
  // The offscreen platform says so on every raise of the queue window.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
    if (!message.startsWith(QLatin1String("This plugin does not support")))
      std::fprintf(stderr, "%s\n", qPrintable(message));
  });
  config_ = std::make_unique<TempConfigHome>();
  configHome = config_->Path();
}

void ProgramEnvironment::TearDown() {
  config_.reset();
  configHome.clear();
}

const std::string& ProgramEnvironment::ConfigHome() { return configHome; }

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

void MouseUp(QWidget* target) {
  const QPointF at(3, 3);
  QMouseEvent event(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void Key(QWidget* target, QEvent::Type type, int key) {
  QKeyEvent event(type, key, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

Bytes Pattern(std::size_t length, unsigned seed) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>((i * 131 + seed) ^ (i >> 8));
  return bytes;
}

std::string IntelHex(const Bytes& image) {
  std::string text;
  char field[24];
  for (std::size_t at = 0; at < image.size(); at += 16) {
    if (at != 0 && at % 0x10000 == 0) {
      const unsigned upper = static_cast<unsigned>(at >> 16);
      std::snprintf(field, sizeof field, ":02000004%04X%02X\r\n", upper,
                    (0x100 - (6 + (upper >> 8) + (upper & 0xFF)) % 0x100) % 0x100);
      text += field;
    }
    const std::size_t count = std::min<std::size_t>(16, image.size() - at);
    unsigned sum = count + (at >> 8 & 0xFF) + (at & 0xFF);
    std::snprintf(field, sizeof field, ":%02X%04X00", unsigned(count), unsigned(at & 0xFFFF));
    text += field;
    for (std::size_t i = 0; i < count; ++i) {
      std::snprintf(field, sizeof field, "%02X", image[at + i]);
      text += field;
      sum += image[at + i];
    }
    std::snprintf(field, sizeof field, "%02X\r\n", (0x100 - sum % 0x100) % 0x100);
    text += field;
  }
  return text + ":00000001FF\r\n";
}

std::vector<std::string> Texts(const QListWidget* list) {
  std::vector<std::string> texts;
  for (int row = 0; row < list->count(); ++row) texts.push_back(list->item(row)->text().toStdString());
  return texts;
}

std::vector<std::string> BoxNames(const TBitDialog& dialog) {
  std::vector<std::string> names;
  for (const QCheckBox* box : dialog.BitBoxes) names.push_back(box->text().toStdString());
  return names;
}

void ProgramTest::SetUp() {
  emulator::EmulatorOptions options;
  Configure(options);
  options.configHome = ProgramEnvironment::ConfigHome();
  options.trace = [this](const std::string& line) {
    // "[time] <- Name: bytes" for a command received, "[time] -> poll: bytes" for a poll sent.
    const std::lock_guard lock(traceMutex_);
    if (line.find("] -> poll:") != std::string::npos) lastPoll_ = std::chrono::steady_clock::now();
    const auto arrow = line.find("<- ");
    if (arrow != std::string::npos)
      received_.push_back(line.substr(arrow + 3, line.find(':', arrow) - arrow - 3));
  };
  device_ = std::make_unique<emulator::Emulator>(options);
  device_->Start();
  SetModalResponder([this](const ModalRequest& request) {
    boxes_.push_back(request.text.toStdString());
    return std::pair{Answer::Yes, QString()};
  });
  CreateForms();
  Form1->show();
  ASSERT_TRUE(Discovered()) << "discovery did not finish; caption " << Form1->windowTitle().toStdString()
                            << "; boxes " << ::testing::PrintToString(boxes_);
}

void ProgramTest::TearDown() {
  DestroyForms();
  SetModalResponder(nullptr);
  device_->Stop();
}

Session& ProgramTest::S() { return Form1->Session1; }

void ProgramTest::WaitIdle() {
  ASSERT_TRUE(WaitFor(Idle)) << "commands still waiting";
  EXPECT_FALSE(Form5->isVisible()) << "the queue window closes when the queue runs empty";
}

bool ProgramTest::Discovered(std::chrono::milliseconds limit) {
  const int chips = static_cast<int>(device_->ChipCount());
  return WaitFor([&] { return Form1->ListBox1->count() == chips && Idle(); }, limit);
}

std::vector<std::string> ProgramTest::TakeReceived() {
  const std::lock_guard lock(traceMutex_);
  return std::exchange(received_, {});
}

std::chrono::steady_clock::time_point ProgramTest::LastPoll() {
  const std::lock_guard lock(traceMutex_);
  return lastPoll_;
}

void ProgramTest::SelectChip(std::size_t number) {
  Form1->ListBox1->setCurrentRow(static_cast<int>(number));
  MouseUp(Form1->ListBox1->viewport());
  WaitIdle();
}

void ProgramTest::Click(std::uint8_t code, bool byEnter) {
  QListWidget* list = Form1->ListBox2;
  const int row = S().Chip().RowOf(static_cast<ChipCommand>(code));
  ASSERT_GE(row, 0) << "the chip does not offer " << int(code);
  list->setCurrentRow(row);
  if (byEnter)
    Key(list, QEvent::KeyPress, Qt::Key_Return);
  else
    MouseUp(list->viewport());
}

void ProgramTest::Choose(std::uint8_t code, bool byEnter) {
  Click(code, byEnter);
  if (!HasFatalFailure()) WaitIdle();
}

void ProgramTest::SetOptions(std::initializer_list<int> checked) {
  for (int option = 1; option <= 7; ++option)
    Form3->CheckBox(option)->setChecked(std::find(checked.begin(), checked.end(), option) != checked.end());
}

void ProgramTest::UseWorkingFile(const Bytes& image, const std::string& name) {
  const auto file = std::filesystem::path(ProgramEnvironment::ConfigHome()) / name;
  const bool hex = file.extension() == ".hex";
  std::ofstream(file, std::ios::binary) << (hex ? IntelHex(image) : std::string(image.begin(), image.end()));
  S().Image().SetWorkingFileName(file.string());
}

std::string ProgramTest::Status() { return Form1->StatusText().toStdString(); }

}  // namespace kestrel::test
