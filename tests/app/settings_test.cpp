// The settings dialog: what the first and later starts store and apply to the port, the option
// switches and the folder across a close, wrong-typed stored values, an unopenable port.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "app/IntegerEdit.h"
#include "app/PortComboBox.h"
#include "app/TForm1.h"
#include "app/TForm3.h"
#include "tests/app/AppFixture.h"

namespace kestrel::test {
namespace {

using SettingsTest = ShellTest;

LineSettings LastApplied(const FakeSerialState& serial) {
  return serial.applied.empty() ? LineSettings{} : serial.applied.back();
}

TEST_F(SettingsTest, FirstStartStoresTheFieldsAndOpensCom1AtOddParity) {
  StartProgram();

  EXPECT_EQ(Stored("ComPort").toString(), "COM1");
  EXPECT_EQ(Stored("Bitrate").toInt(), 56000);
  EXPECT_EQ(Stored("Parity").toInt(), -1);
  EXPECT_FALSE(Key().contains("Path"));
  EXPECT_FALSE(Key().contains("Check1"));

  EXPECT_EQ(serial_->openedName, "COM1");
  EXPECT_EQ(serial_->opens, 1);
  EXPECT_EQ(LastApplied(*serial_).BaudRate, 56000u);
  EXPECT_EQ(LastApplied(*serial_).Parity, pOdd);
  EXPECT_EQ(serial_->escapes, (std::vector<int>{SETRTS, CLRDTR}));
  EXPECT_TRUE(Form1->Timer2->isActive());

  EXPECT_EQ(Form3->ComboBox1->currentIndex(), -1);
  EXPECT_EQ(Form3->ComboBox1->currentText(), QString::fromUtf8("Чет"));
  EXPECT_TRUE(Asked().empty());

  // A later start with "Parity" -1 looks the same.
  StartProgram();
  EXPECT_EQ(Form3->ComboBox1->currentIndex(), -1);
  EXPECT_EQ(Form3->ComboBox1->currentText(), QString::fromUtf8("Чет"));
  EXPECT_EQ(LastApplied(*serial_).Parity, pOdd);
}

TEST_F(SettingsTest, SavedPortSettingsActOnlyFromTheNextStart) {
  StartProgram();
  Form3->ComboBox1->setCurrentIndex(4);  // "1"
  Form3->Edit1->setEditText("com7");
  Form3->SpeedEdit->SetValue(115200);
  Form3->Button1->click();

  EXPECT_EQ(Stored("Parity").toInt(), 4);
  EXPECT_EQ(Stored("ComPort").toString(), "COM7");
  EXPECT_EQ(Stored("Bitrate").toInt(), 115200);
  EXPECT_EQ(serial_->opens, 1);
  EXPECT_EQ(LastApplied(*serial_).Parity, pOdd);
  EXPECT_EQ(LastApplied(*serial_).BaudRate, 56000u);

  StartProgram();
  EXPECT_EQ(serial_->openedName, "COM7");
  EXPECT_EQ(LastApplied(*serial_).BaudRate, 115200u);
  EXPECT_EQ(LastApplied(*serial_).Parity, pMark);
  EXPECT_EQ(Form3->ComboBox1->currentText(), "1");
}

TEST_F(SettingsTest, NinthBitIndexMapsToParityOutOfEnumOrder) {
  const std::vector<std::pair<int, TParity>> table{
      {0, pNone}, {1, pOdd}, {2, pEven}, {3, pSpace}, {4, pMark}};
  for (const auto& [index, parity] : table) {
    Store("Parity", index);
    StartProgram();
    EXPECT_EQ(LastApplied(*serial_).Parity, parity) << "index " << index;
    EXPECT_EQ(Form3->ComboBox1->currentIndex(), index);
  }
  // An index outside the list is reported, selects nothing and leaves the component's odd
  // parity; -1 (none chosen) is no error.
  for (const int outside : {7, -2}) {
    Store("Parity", outside);
    StartProgram();
    ASSERT_EQ(Asked().size(), 1u) << outside;
    EXPECT_EQ(Asked()[0].text, "Invalid value for 'Parity'");
    EXPECT_EQ(Form3->ComboBox1->currentIndex(), -1);
    EXPECT_EQ(LastApplied(*serial_).Parity, pOdd);
    EXPECT_EQ(Stored("Parity").toInt(), outside);
  }
}

TEST_F(SettingsTest, CancelKeepsPortFieldsUnsavedButSwitchesTakeEffectAndAreSavedAtClose) {
  StartProgram();
  QTimer::singleShot(0, [] {
    Form3->CheckBox2->setChecked(false);
    Form3->Edit1->setEditText("COM9");
    Form3->Button2->click();
  });
  Form1->ToolButton6Click();

  EXPECT_FALSE(Form3->isVisible());
  EXPECT_FALSE(Form3->CheckBox2->isChecked());
  EXPECT_EQ(Form3->Edit1->currentText(), "COM9");
  EXPECT_EQ(Stored("ComPort").toString(), "COM1");
  EXPECT_EQ(serial_->opens, 1);
  EXPECT_EQ(serial_->applied.size(), 1u);

  DestroyForms();
  EXPECT_EQ(Stored("Check2").toInt(), 0);
  for (int n : {1, 3, 4, 5, 6, 7}) EXPECT_EQ(Stored(QString("Check%1").arg(n)).toInt(), 1) << n;
}

TEST_F(SettingsTest, SwitchesAndFolderRoundTripThroughAClose) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  StartProgram();
  Form3->CheckBox4->setChecked(false);
  Form3->CheckBox6->setChecked(false);
  Form1->SetBrowserFolder(folder.path());

  StartProgram();
  EXPECT_EQ(Stored("Path").toString(), folder.path());
  EXPECT_FALSE(Form3->CheckBox4->isChecked());
  EXPECT_FALSE(Form3->CheckBox6->isChecked());
  for (int n : {1, 2, 3, 5, 7}) EXPECT_TRUE(Form3->CheckBox(n)->isChecked()) << n;
  EXPECT_EQ(Form1->BrowserFolder(), folder.path());

  // Any non-zero number reads as checked; a folder that has gone is not shown, but stays stored
  // across a close until the user chooses another.
  DestroyForms();
  Store("Check4", 5);
  Store("Path", folder.path() + "/gone");
  StartProgram();
  EXPECT_TRUE(Form3->CheckBox4->isChecked());
  EXPECT_TRUE(Form1->BrowserFolder().isEmpty());
  StartProgram();
  EXPECT_EQ(Stored("Path").toString(), folder.path() + "/gone");
  Form1->SetBrowserFolder(folder.path());
  DestroyForms();
  EXPECT_EQ(Stored("Path").toString(), folder.path());
}

TEST_F(SettingsTest, WrongTypedValuesAreReportedAndNotReplacedByDefaultsAtClose) {
  Store("Bitrate", "fast");
  Store("Check3", "yes");
  Store("Check5", "no");
  Store("Check2", 0);
  Store("Path", QStringList{"a", "b"});
  StartProgram();

  std::vector<QString> errors;
  for (const ModalRequest& request : Asked()) {
    EXPECT_EQ(request.kind, ModalRequest::Error);
    errors.push_back(request.text);
  }
  EXPECT_EQ(errors,
            (std::vector<QString>{"Invalid data type for 'Bitrate'", "Invalid data type for 'Path'",
                                  "Invalid data type for 'Check3'", "Invalid data type for 'Check5'"}));
  // Set-up went on: the port opened with the field's speed, readable switches were restored.
  EXPECT_EQ(serial_->opens, 1);
  EXPECT_EQ(LastApplied(*serial_).BaudRate, 56000u);
  EXPECT_FALSE(Form3->CheckBox2->isChecked());

  // The user changes one of the unreadable switches; the other keeps what is stored.
  Form3->CheckBox5->setChecked(false);
  DestroyForms();
  EXPECT_EQ(Stored("Bitrate").toString(), "fast");
  EXPECT_EQ(Stored("Check3").toString(), "yes");
  EXPECT_EQ(Stored("Check5").toInt(), 0);
  EXPECT_EQ(Stored("Path").toStringList(), (QStringList{"a", "b"}));
  EXPECT_EQ(Stored("Check2").toInt(), 0);
}

TEST_F(SettingsTest, PortNameIsUpperCaseWhereverItComesFrom) {
  Store("ComPort", "ttyusb0");
  StartProgram();
  EXPECT_EQ(Form3->Edit1->currentText(), "TTYUSB0");
  EXPECT_EQ(serial_->openedName, "TTYUSB0");

  Form3->Edit1->clearEditText();
  Form3->Edit1->lineEdit()->insert("com2");
  EXPECT_EQ(Form3->Edit1->currentText(), "COM2");
  Form3->WriteRegistry();
  EXPECT_EQ(Stored("ComPort").toString(), "COM2");
}

TEST_F(SettingsTest, PortListIsReadAgainEachTimeItOpensAndOnlyFillsInTheField) {
  StartProgram();
  Pty emulatorLine;
  home_.AddAlias("COM7", emulatorLine.SlavePath());
  PortComboBox* field = Form3->Edit1;
  field->setEditText("TTYUSB9");
  field->showPopup();
  const int com7 = field->findText("COM7");
  ASSERT_GE(com7, 0);
  EXPECT_EQ(field->model()->index(com7, 1).data().toString().toStdString(), emulatorLine.SlavePath());
  EXPECT_EQ(field->currentText(), "TTYUSB9");
  field->hidePopup();

  // A port that comes later is offered the next time the list opens; choosing it fills the field.
  home_.AddAlias("COM8", emulatorLine.SlavePath());
  EXPECT_EQ(field->findText("COM8"), -1);
  field->showPopup();
  const int com8 = field->findText("COM8");
  ASSERT_GE(com8, 0);
  field->hidePopup();
  field->setCurrentIndex(com8);
  Form3->WriteRegistry();
  EXPECT_EQ(Stored("ComPort").toString(), "COM8");
}

TEST_F(SettingsTest, EmptySpeedFieldSavesZero) {
  StartProgram();
  Form3->SpeedEdit->clear();
  EXPECT_EQ(Form3->SpeedEdit->Value(), 0);
  Form3->Button1Click();
  EXPECT_EQ(Stored("Bitrate").toInt(), 0);
}

TEST_F(SettingsTest, UnopenablePortIsReportedOnceAndSetUpGoesOn) {
  QTemporaryDir folder;
  Store("Check1", 0);
  Store("Path", folder.path());
  StartProgram([](FakeSerialState& serial) { serial.openResult = SerialDriver::OpenResult::NotSerial; });

  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].kind, ModalRequest::Error);
  EXPECT_EQ(Asked()[0].text, QString::fromUtf8("Задан не COM-порт."));
  EXPECT_TRUE(serial_->escapes.empty());
  EXPECT_FALSE(Form3->CheckBox1->isChecked());
  EXPECT_EQ(Form1->BrowserFolder(), folder.path());
  EXPECT_TRUE(Form1->Timer2->isActive());

  StartProgram([](FakeSerialState& serial) { serial.openResult = SerialDriver::OpenResult::CannotOpen; });
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].text, QString::fromUtf8("Невозможно открыть порт!"));
}

TEST_F(SettingsTest, DialogKeysAndDeclaredControls) {
  StartProgram();
  EXPECT_EQ(Form3->windowTitle(), QString::fromUtf8("Настройки"));
  EXPECT_EQ(Form3->size(), QSize(400, 300));
  EXPECT_EQ(Form3->PageControl1->geometry(), QRect(0, 0, 400, 300));
  EXPECT_EQ(Form3->PageControl1->tabText(Form3->PageControl1->currentIndex()),
            QString::fromUtf8("Программирование"));
  EXPECT_EQ(Form3->Button1->geometry(), QRect(312, 264, 75, 25));
  EXPECT_EQ(Form3->Button2->geometry(), QRect(224, 264, 75, 25));
  EXPECT_TRUE(Form3->Button1->isDefault());
  EXPECT_EQ(Form3->SpeedEdit->Value(), 56000);
  for (int n = 1; n <= 7; ++n) EXPECT_TRUE(Form3->CheckBox(n)->isChecked()) << n;
  EXPECT_EQ(Form3->CheckBox(0), nullptr);
  EXPECT_EQ(Form3->CheckBox(8), nullptr);

  // Esc cancels without storing.
  Form3->Edit1->setEditText("COM4");
  QTimer::singleShot(0, [] {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(Form3, &escape);
  });
  EXPECT_EQ(Form3->exec(), QDialog::Rejected);
  EXPECT_EQ(Stored("ComPort").toString(), "COM1");

  // Enter saves.
  QTimer::singleShot(0, [] {
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(Form3, &enter);
  });
  EXPECT_EQ(Form3->exec(), QDialog::Accepted);
  EXPECT_EQ(Stored("ComPort").toString(), "COM4");
  EXPECT_EQ(serial_->opens, 1);
}

}  // namespace
}  // namespace kestrel::test
