#include "app/TForm3.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <array>

#include "app/IntegerEdit.h"
#include "app/MessageBoxes.h"
#include "app/PortComboBox.h"
#include "app/SettingsKey.h"
#include "app/TForm1.h"
#include "operations/ParityList.h"
#include "widgets/FormDesign.h"

namespace kestrel {

TForm3* Form3 = nullptr;

namespace {

const QString kComPort = QStringLiteral("ComPort");
const QString kBitrate = QStringLiteral("Bitrate");
const QString kParity = QStringLiteral("Parity");
const QString kPath = QStringLiteral("Path");

QString CheckName(int number) { return QStringLiteral("Check%1").arg(number); }

QString SwitchText(bool checked) { return checked ? QStringLiteral("1") : QStringLiteral("0"); }

// The edit shows and holds its text in upper case, however it got there.
void ForceUpperCase(QLineEdit* edit) {
  QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
    const QString upper = text.toUpper();
    if (upper == text) return;
    const int cursor = edit->cursorPosition();
    edit->setText(upper);
    edit->setCursorPosition(std::min(cursor, static_cast<int>(upper.size())));
  });
}

QLabel* Caption(QWidget* parent, const char* text, QPoint at) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->move(at);
  label->adjustSize();
  return label;
}

QGroupBox* Group(QWidget* page, const char* name, const char* title, const QRect& geometry) {
  auto* group = Place<QGroupBox>(page, name, geometry);
  group->setTitle(QString::fromUtf8(title));
  return group;
}

QCheckBox* Switch(QWidget* group, const char* name, const char* text, int top) {
  auto* box = Place<QCheckBox>(group, name, QRect(24, top, 150, 17));
  box->setText(QString::fromUtf8(text));
  box->setChecked(true);
  return box;
}

}  // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
  Form3 = this;
  setObjectName(QStringLiteral("Form3"));
  DeclareFixedDialog(this, QString::fromUtf8("Настройки"), QSize(400, 300), QColor(192, 210, 192));
  PageControl1 = Place<QTabWidget>(this, "PageControl1", QRect(0, 0, 400, 300));
  CreateLinkPage();
  CreateProgrammingPage();
  CreateFilesPage();
  PageControl1->setCurrentIndex(1);
  CreateButtons();
  FormCreate();
}

TForm3::~TForm3() {
  FormDestroy();
  if (Form3 == this) Form3 = nullptr;
}

void TForm3::CreateLinkPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet1"));
  PageControl1->addTab(page, QString::fromUtf8("Связь"));
  QGroupBox* group = Group(page, "GroupBox1", "Настройки порта", QRect(8, 8, 377, 113));
  Caption(group, "Порт", QPoint(16, 27));
  Edit1 = Place<PortComboBox>(group, "Edit1", QRect(120, 24, 121, 21));
  ForceUpperCase(Edit1->lineEdit());
  Edit1->setEditText(QStringLiteral("COM1"));
  Caption(group, "Скорость", QPoint(16, 55));
  SpeedEdit = Place<IntegerEdit>(group, "SpeedEdit", QRect(120, 52, 121, 21));
  SpeedEdit->SetValue(56000);
  Caption(group, "Девятый бит", QPoint(16, 83));
  ComboBox1 = Place<QComboBox>(group, "ComboBox1", QRect(120, 80, 121, 21));
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  ComboBox1->addItems({QString::fromUtf8("Нет"), QString::fromUtf8("Чет"), QString::fromUtf8("Нечет"),
                       QStringLiteral("0"), QStringLiteral("1")});
  ComboBox1->setCurrentIndex(-1);
  ComboBox1->setEditText(QString::fromUtf8("Чет"));
}

void TForm3::CreateProgrammingPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet2"));
  PageControl1->addTab(page, QString::fromUtf8("Программирование"));
  QGroupBox* program = Group(page, "GroupBox2", "Запись программ", QRect(8, 8, 184, 129));
  Caption(program, "перед записью", QPoint(12, 22));
  CheckBox1 = Switch(program, "CheckBox1", "обновлять буфер", 40);
  CheckBox2 = Switch(program, "CheckBox2", "стирать все", 60);
  Caption(program, "после записи", QPoint(12, 86));
  CheckBox3 = Switch(program, "CheckBox3", "верифицировать", 104);
  QGroupBox* eeprom = Group(page, "GroupBox3", "Запись EEPROM", QRect(201, 8, 184, 129));
  Caption(eeprom, "перед записью", QPoint(12, 22));
  CheckBox5 = Switch(eeprom, "CheckBox5", "обновлять буфер", 40);
  CheckBox6 = Switch(eeprom, "CheckBox6", "стирать EEPROM", 60);
  Caption(eeprom, "после записи", QPoint(12, 86));
  CheckBox7 = Switch(eeprom, "CheckBox7", "верифицировать", 104);
}

void TForm3::CreateFilesPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet3"));
  PageControl1->addTab(page, QString::fromUtf8("Файлы"));
  QGroupBox* group = Group(page, "GroupBox4", "Форматы файлов", QRect(8, 8, 377, 57));
  CheckBox4 = Switch(group, "CheckBox4", "понимать HEX-файлы", 24);
}

void TForm3::CreateButtons() {
  Button2 = Place<QPushButton>(this, "Button2", QRect(224, 264, 75, 25));
  Button2->setText(QString::fromUtf8("Отменить"));
  Button2->setAutoDefault(false);
  Button1 = Place<QPushButton>(this, "Button1", QRect(312, 264, 75, 25));
  Button1->setText(QString::fromUtf8("Сохранить"));
  Button1->setDefault(true);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button1, &QPushButton::clicked, this, [this] {
    Button1Click();
    accept();
  });
}

QCheckBox* TForm3::CheckBox(int number) const {
  const std::array<QCheckBox*, 7> boxes{CheckBox1, CheckBox2, CheckBox3, CheckBox4,
                                        CheckBox5, CheckBox6, CheckBox7};
  if (number < 1 || number > 7) return nullptr;
  return boxes[number - 1];
}

WriteOptions TForm3::ChosenWriteOptions() const {
  return {.programMemory = {CheckBox1->isChecked(), CheckBox2->isChecked(), CheckBox3->isChecked()},
          .eeprom = {CheckBox5->isChecked(), CheckBox6->isChecked(), CheckBox7->isChecked()},
          .understandHex = CheckBox4->isChecked()};
}

template <class Read>
bool TForm3::ReadReported(Read read) {
  try {
    SettingsKey key;
    read(key);
    return true;
  } catch (const ERegistryException& error) {
    ShowExceptionBox(QString::fromStdString(error.what()));
    return false;
  }
}

void TForm3::FormCreate() {
  Form1->Timer2->start();
  ReadRegistry();
  PageControl1->setGeometry(rect());
  try {
    OpenProgrammerPort(Form1->Comm321, ChosenLineSettings());
  } catch (const ECommsError& error) {
    ShowExceptionBox(QString::fromUtf8(error.what()));
  }
  RestoreBrowserFolder();
  RestoreSwitches();
}

ProgrammerLine TForm3::ChosenLineSettings() const {
  // A ninth-bit row the list does not have leaves the port's parity as it is.
  const TParity parity = ParityForListIndex(ComboBox1->currentIndex()).value_or(Form1->Comm321.Parity());
  return {.port = Edit1->currentText().toStdString(),
          .baud = static_cast<std::uint32_t>(SpeedEdit->Value()),
          .parity = parity};
}

void TForm3::ReadRegistry() {
  ReadReported([this](SettingsKey& key) {
    if (const auto stored = key.ReadString(kComPort))
      Edit1->setEditText(*stored);
    else
      key.WriteString(kComPort, Edit1->currentText());
  });

  ReadReported([this](SettingsKey& key) {
    if (const auto stored = key.ReadInteger(kBitrate))
      SpeedEdit->SetValue(*stored);
    else
      key.WriteInteger(kBitrate, SpeedEdit->Value());
  });

  ReadReported([this](SettingsKey& key) {
    const auto stored = key.ReadInteger(kParity);
    if (!stored) {
      key.WriteInteger(kParity, ComboBox1->currentIndex());
    } else if (*stored != -1) {
      // A row outside the list is told like a value of the wrong type; no row gets selected.
      if (!ParityForListIndex(*stored)) throw ERegistryException("Invalid value for 'Parity'");
      ComboBox1->setCurrentIndex(*stored);
    }
  });
}

void TForm3::RestoreBrowserFolder() {
  std::optional<QString> path;
  if (!ReadReported([&path](SettingsKey& key) { path = key.ReadString(kPath); }))
    unappliedAtStart_[kPath] = Form1->BrowserFolder();
  if (!path || path->isEmpty()) return;
  // A folder missing now (an unplugged drive, say) stays stored until the user chooses another.
  if (QDir(*path).exists())
    Form1->SetBrowserFolder(*path);
  else
    unappliedAtStart_[kPath] = Form1->BrowserFolder();
}

void TForm3::RestoreSwitches() {
  for (int number = 1; number <= 7; ++number) {
    const QString name = CheckName(number);
    std::optional<bool> checked;
    if (!ReadReported([&](SettingsKey& key) { checked = key.ReadBool(name); }))
      unappliedAtStart_[name] = SwitchText(CheckBox(number)->isChecked());
    if (checked) CheckBox(number)->setChecked(*checked);
  }
}

void TForm3::WriteRegistry() {
  SettingsKey key;
  key.WriteString(kComPort, Edit1->currentText());
  key.WriteInteger(kBitrate, SpeedEdit->Value());
  key.WriteInteger(kParity, ComboBox1->currentIndex());
}

void TForm3::Button1Click() { WriteRegistry(); }

bool TForm3::KeepsUnappliedValue(const QString& name, const QString& current) const {
  const auto start = unappliedAtStart_.find(name);
  return start != unappliedAtStart_.end() && *start == current;
}

void TForm3::FormDestroy() {
  SettingsKey key;
  if (Form1 && !KeepsUnappliedValue(kPath, Form1->BrowserFolder()))
    key.WriteString(kPath, QDir::toNativeSeparators(Form1->BrowserFolder()));  // C:\... on Windows
  for (int number = 1; number <= 7; ++number) {
    const bool checked = CheckBox(number)->isChecked();
    if (!KeepsUnappliedValue(CheckName(number), SwitchText(checked)))
      key.WriteBool(CheckName(number), checked);
  }
}

}  // namespace kestrel
