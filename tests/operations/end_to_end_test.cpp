// The program against the emulated programmer over a pseudo-terminal: the real serial component,
// the real windows (offscreen) and the real core, driven through the lists and the dialogs.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/KestrelApplication.h"
#include "app/MessageBoxes.h"
#include "app/Startup.h"
#include "app/TForm1.h"
#include "app/TForm3.h"
#include "app/TForm5.h"
#include "app/TForm7.h"
#include "buffer/BinaryFile.h"
#include "emulator/Emulator.h"
#include "link/Commands.h"
#include "operations/MemorySequences.h"
#include "operations/forms/TForm4.h"
#include "operations/forms/TForm6.h"
#include "tests/support/Pty.h"

using namespace kestrel;
using namespace std::chrono_literals;
using emulator::Emulator;
using Bytes = std::vector<std::uint8_t>;

namespace {

// One application for the whole run, as in the program; settings and COM aliases live in a
// scratch folder.
class ProgramEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // The offscreen platform says so on every raise of the queue window.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
      if (!message.startsWith(QLatin1String("This plugin does not support")))
        std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    config = std::make_unique<test::TempConfigHome>();
    app_ = std::make_unique<KestrelApplication>(argc_, argv_);
  }
  void TearDown() override {
    app_.reset();
    config.reset();
  }
  static inline std::unique_ptr<test::TempConfigHome> config;

 private:
  int argc_ = 1;
  char name_[16] = "end_to_end";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<KestrelApplication> app_;
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new ProgramEnvironment);

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 60s) {
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

// Intel HEX data records of 16 bytes from address 0 and the end record.
std::string IntelHex(const Bytes& image) {
  std::string text;
  char field[16];
  for (std::size_t at = 0; at < image.size(); at += 16) {
    const std::size_t count = std::min<std::size_t>(16, image.size() - at);
    unsigned sum = count + (at >> 8 & 0xFF) + (at & 0xFF);
    std::snprintf(field, sizeof field, ":%02X%04X00", unsigned(count), unsigned(at));
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

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emulator::EmulatorOptions options;
    options.configHome = ProgramEnvironment::config->Path();
    options.trace = [this](const std::string& line) {
      // Commands the device received: "[time] <- Name: bytes".
      const auto arrow = line.find("<- ");
      if (arrow == std::string::npos) return;
      const std::lock_guard lock(traceMutex_);
      received_.push_back(line.substr(arrow + 3, line.find(':', arrow) - arrow - 3));
    };
    device_ = std::make_unique<Emulator>(options);
    device_->Start();
    SetModalResponder([this](const ModalRequest& request) {
      boxes_.push_back(request.text.toStdString());
      return std::pair{Answer::Yes, QString()};
    });
    CreateForms();
    Form1->show();
    const std::size_t chips = Emulator::Catalogue().size();
    ASSERT_TRUE(WaitFor([&] { return Form1->ListBox1->count() == int(chips) && Idle(); }))
        << "discovery did not finish; caption " << Form1->windowTitle().toStdString() << "; boxes "
        << ::testing::PrintToString(boxes_);
  }

  void TearDown() override {
    DestroyForms();
    SetModalResponder(nullptr);
    device_->Stop();
  }

  static Session& S() { return Form1->Session1; }
  static bool Idle() { return S().CommandQueue.empty(); }

  void WaitIdle() {
    ASSERT_TRUE(WaitFor(Idle)) << S().CommandQueue.size() << " commands still waiting";
    EXPECT_FALSE(Form5->isVisible()) << "the queue window closes when the queue runs empty";
  }

  std::vector<std::string> TakeReceived() {
    const std::lock_guard lock(traceMutex_);
    return std::exchange(received_, {});
  }

  void SelectChip(std::size_t number) {
    Form1->ListBox1->setCurrentRow(int(number));
    MouseUp(Form1->ListBox1->viewport());
    WaitIdle();
  }

  // Chooses the command list's row of `code`, by mouse or by Enter going down.
  void Choose(std::uint8_t code, bool byEnter = false) {
    QListWidget* list = Form1->ListBox2;
    int row = 0;
    while (row < list->count() && S().RowCommands[row] != code) ++row;
    ASSERT_LT(row, list->count()) << "the chip does not offer " << int(code);
    list->setCurrentRow(row);
    if (byEnter)
      Key(list, QEvent::KeyPress, Qt::Key_Return);
    else
      MouseUp(list->viewport());
    WaitIdle();
  }

  std::string Status() const { return Form1->StatusText().toStdString(); }

  std::unique_ptr<Emulator> device_;
  std::vector<std::string> boxes_;  // texts of the message boxes shown

 private:
  std::mutex traceMutex_;
  std::vector<std::string> received_;
};

TEST_F(EndToEndTest, DiscoveryShowsTheProgrammerAndItsChips) {
  EXPECT_EQ(Form1->windowTitle().toStdString(), emulator::ProgrammerName());
  std::vector<std::string> lines;
  for (const QLabel* label : Form7->InfoLabels) lines.push_back(label->text().toStdString());
  EXPECT_EQ(lines, emulator::ProgrammerInfoLines());
  std::vector<std::string> chips;
  for (const auto& chip : Emulator::Catalogue()) chips.push_back(chip.name);
  EXPECT_EQ(Texts(Form1->ListBox1), chips);
  EXPECT_TRUE(boxes_.empty());
}

// Writes, verifies and reads back both memories of a chip.
class MemoryRoundTrip : public EndToEndTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MemoryRoundTrip, WriteVerifyAndReadBackBothMemories) {
  const std::size_t chip = Emulator::ChipNumber(GetParam());
  const emulator::ChipType& type = Emulator::Catalogue()[chip];

  // Selecting the chip: the requests in order, then the lists and the bit editors rebuilt.
  TakeReceived();
  Form1->ListBox1->setCurrentRow(int(chip));
  Key(Form1->ListBox1, QEvent::KeyPress, Qt::Key_Return);
  Key(Form1->ListBox1, QEvent::KeyRelease, Qt::Key_Return);
  WaitIdle();
  std::vector<std::string> expected{"SelectChip",      "GetCommandMask",       "GetLockBitCount",
                                    "GetFuseBitCount", "GetProgramMemorySize", "GetEepromSize",
                                    "GetRamSize"};
  expected.insert(expected.end(), type.locks.size(), "GetLockBitName");
  expected.insert(expected.end(), type.fuses.size(), "GetFuseBitName");
  EXPECT_EQ(TakeReceived(), expected);
  EXPECT_EQ(BoxNames(*Form4), type.locks);
  std::vector<std::string> fuseNames;
  for (const auto& fuse : type.fuses) fuseNames.push_back(fuse.name);
  EXPECT_EQ(BoxNames(*Form6), fuseNames);
  EXPECT_EQ(S().Chip.ProgramMemorySize, type.flashSize);
  EXPECT_EQ(S().Chip.EepromSize, type.eepromSize);
  std::vector<std::string> rows;
  for (int code = 0; code < 32; ++code)
    if (type.commandMask >> code & 1) rows.emplace_back(CommandNames[code]);
  EXPECT_EQ(Texts(Form1->ListBox2), rows);

  // Program memory from the working file, reloaded by the write itself: erase, write, verify.
  // A chip above 64 KiB takes a raw image, which HEX records with 16-bit offsets cannot address.
  const bool large = type.flashSize > 0x10000;
  const Bytes image = Pattern(large ? type.flashSize - 30000 : type.flashSize * 3 / 4 + 5, 1);
  const auto file =
      std::filesystem::path(ProgramEnvironment::config->Path()) / (large ? "image.bin" : "image.hex");
  std::ofstream(file, std::ios::binary)
      << (large ? std::string(image.begin(), image.end()) : IntelHex(image));
  S().WorkingFileName = file.string();
  for (int option : {1, 2, 3, 4}) Form3->CheckBox(option)->setChecked(true);
  Choose(10);
  EXPECT_EQ(Status(), AllCorrectText);
  EXPECT_EQ(S().DataBuffer, image);
  Bytes flash = device_->Chip(chip).flash;
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
  EXPECT_TRUE(std::all_of(flash.begin() + image.size(), flash.end(), [](auto b) { return b == 0xFF; }));

  // Read back the whole memory.
  S().DataBuffer.clear();
  Choose(9);
  EXPECT_EQ(S().DataBuffer, flash);

  // A byte changed behind the program's back: the verify names the first bad block.
  const std::uint32_t changed = 3 * 224 + 17;
  device_->ModifyChip(chip, [&](emulator::ChipState& state) { state.flash[changed] ^= 0x5A; });
  Choose(11);
  EXPECT_EQ(Status(), "Ошибка по адресу " + Hex(changed / 224 * 224) + ". Попробуйте программировать снова!");

  // EEPROM from the buffer as edited, without reloading: erase, write, verify, read back.
  const Bytes data = Pattern(type.eepromSize - 3, 7);
  S().DataBuffer = data;
  for (int option : {1, 2, 3, 4}) Form3->CheckBox(option)->setChecked(false);
  Form3->CheckBox(5)->setChecked(false);
  Form3->CheckBox(6)->setChecked(true);
  Form3->CheckBox(7)->setChecked(true);
  Choose(14);
  EXPECT_EQ(Status(), AllCorrectText);
  const Bytes eeprom = device_->Chip(chip).eeprom;
  EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom.begin()));
  EXPECT_EQ(eeprom.back(), 0xFF);
  S().DataBuffer.clear();
  Choose(13);
  EXPECT_EQ(S().DataBuffer, eeprom);
  EXPECT_EQ(device_->Chip(chip).flash[changed], flash[changed] ^ 0x5A) << "erasing the EEPROM left the flash";
  EXPECT_TRUE(boxes_.empty());
}

INSTANTIATE_TEST_SUITE_P(SmallAndLargeChip, MemoryRoundTrip, ::testing::Values("ATmega328P", "ATmega128A"));

TEST_F(EndToEndTest, SignatureFuseAndLockBitsAndEraseAll) {
  const std::size_t chip = Emulator::ChipNumber("ATmega328P");
  const emulator::ChipType& type = Emulator::Catalogue()[chip];
  SelectChip(chip);

  Choose(0, true);
  std::string signature = "Сигнатура:";
  for (const std::uint8_t byte : type.signature) signature += " " + Hex(byte);
  EXPECT_EQ(Status(), signature + " верна");

  // Fuse bits written from the dialog, every one, then read back into cleared boxes.
  Choose(4);
  ASSERT_TRUE(Form6->isVisible());
  ASSERT_TRUE(Form6->Button1->isEnabled());
  std::vector<bool> fuses(type.fuses.size());
  for (std::size_t i = 0; i < fuses.size(); ++i) Form6->BitBoxes[i]->setChecked(fuses[i] = i % 3 == 1);
  MouseUp(Form6->Button1);
  EXPECT_FALSE(Form6->isVisible());
  WaitIdle();
  Bytes stored = device_->Chip(chip).fuses;
  EXPECT_EQ(std::vector<bool>(stored.begin(), stored.end()), fuses);
  for (QCheckBox* box : Form6->BitBoxes) box->setChecked(true);
  Choose(3);
  EXPECT_FALSE(Form6->Button1->isEnabled());
  EXPECT_EQ(Form6->CheckedStates(), fuses);

  // Lock bits: the checked ones are programmed; the others stay as they were.
  Choose(6);
  ASSERT_TRUE(Form4->isVisible());
  for (QCheckBox* box : Form4->BitBoxes) box->setChecked(false);
  Form4->BitBoxes[0]->setChecked(true);
  Form4->BitBoxes[2]->setChecked(true);
  Key(Form4->Button1, QEvent::KeyPress, Qt::Key_Return);
  Key(Form4->Button1, QEvent::KeyRelease, Qt::Key_Return);
  WaitIdle();
  std::vector<bool> locks(type.locks.size());
  locks[0] = locks[2] = true;
  stored = device_->Chip(chip).locks;
  EXPECT_EQ(std::vector<bool>(stored.begin(), stored.end()), locks);
  for (QCheckBox* box : Form4->BitBoxes) box->setChecked(false);
  Choose(5);
  EXPECT_EQ(Form4->CheckedStates(), locks);

  // Erase all: both memories blank and the lock bits cleared.
  device_->ModifyChip(chip, [](emulator::ChipState& state) { state.flash[5] = state.eeprom[5] = 0; });
  Choose(7);
  const emulator::ChipState erased = device_->Chip(chip);
  EXPECT_TRUE(std::all_of(erased.flash.begin(), erased.flash.end(), [](auto b) { return b == 0xFF; }));
  EXPECT_TRUE(std::all_of(erased.eeprom.begin(), erased.eeprom.end(), [](auto b) { return b == 0xFF; }));
  Choose(5);
  EXPECT_EQ(Form4->CheckedStates(), std::vector<bool>(type.locks.size(), false));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(EndToEndTest, WriteWhoseWorkingFileCannotLoadLeavesTheChipAlone) {
  const std::size_t chip = Emulator::ChipNumber("ATmega8A");
  SelectChip(chip);
  device_->ModifyChip(chip, [](emulator::ChipState& state) { state.flash[0] = 0x42; });
  const emulator::ChipState before = device_->Chip(chip);
  S().DataBuffer = {1, 2, 3};
  S().WorkingFileName = (std::filesystem::path(ProgramEnvironment::config->Path()) / "missing.bin").string();
  for (int option : {1, 2, 3}) Form3->CheckBox(option)->setChecked(true);
  TakeReceived();
  Choose(10);
  EXPECT_EQ(boxes_, std::vector<std::string>{ReloadFailedText});
  EXPECT_EQ(TakeReceived(), std::vector<std::string>{"SelectChip"});
  EXPECT_EQ(device_->Chip(chip).flash, before.flash);
  EXPECT_NE(Status(), AllCorrectText);
  EXPECT_EQ(S().DataBuffer, (Bytes{1, 2, 3}));
}

}  // namespace
