#pragma once
// The settings dialog. Its controls hold the port, speed and ninth-bit settings and the seven
// option switches for the whole run; its creation reads the stored settings and opens the port,
// its destruction stores the switches and the browser's folder.

#include <QDialog>
#include <QMap>
#include <QString>
#include <optional>

#include "link/ProgrammerPort.h"
#include "link/TComm32.h"
#include "operations/WriteOptions.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QTabWidget;

namespace kestrel {

class IntegerEdit;
class PortComboBox;

class TForm3 : public QDialog {
  Q_OBJECT

 public:
  // Form1 must exist: the creation configures and opens its serial component.
  explicit TForm3(QWidget* parent = nullptr);
  ~TForm3() override;

  QTabWidget* PageControl1;
  PortComboBox* Edit1;     // port name, upper case; its list offers the ports present now
  IntegerEdit* SpeedEdit;  // bits per second
  QComboBox* ComboBox1;    // ninth bit: "Нет", "Чет", "Нечет", "0", "1"
  QCheckBox* CheckBox1;    // program memory: update the buffer before writing
  QCheckBox* CheckBox2;    // program memory: erase everything before writing
  QCheckBox* CheckBox3;    // program memory: verify after writing
  QCheckBox* CheckBox4;    // understand HEX files
  QCheckBox* CheckBox5;    // EEPROM: update the buffer before writing
  QCheckBox* CheckBox6;    // EEPROM: erase before writing
  QCheckBox* CheckBox7;    // EEPROM: verify after writing
  QPushButton* Button1;    // "Сохранить"
  QPushButton* Button2;    // "Отменить"

  // CheckBox1 to CheckBox7 by number; null for any other number.
  QCheckBox* CheckBox(int number) const;
  // The write options the switches show now.
  WriteOptions ChosenWriteOptions() const;
  // The port, speed and ninth bit the controls show now, as the port is opened with them.
  ProgrammerLine ChosenLineSettings() const;

  void FormCreate();
  void ReadRegistry();
  void WriteRegistry();
  void Button1Click();
  void FormDestroy();

 private:
  void CreateLinkPage();
  void CreateProgrammingPage();
  void CreateFilesPage();
  void CreateButtons();
  // Runs `read` on the settings key; a value of the wrong type is reported, and gives false.
  template <class Read>
  bool ReadReported(Read read);
  void RestoreBrowserFolder();
  void RestoreSwitches();
  // True when a value that could not be applied would be overwritten with what its control still
  // shows from set-up, i.e. with a default rather than a choice of the user's.
  bool KeepsUnappliedValue(const QString& name, const QString& current) const;

  // Stored values set-up could not apply (of the wrong type, or a missing folder), with what their
  // control showed after it.
  QMap<QString, QString> unappliedAtStart_;
};

// The program's settings dialog; set as soon as its construction begins.
extern TForm3* Form3;

}  // namespace kestrel
