#pragma once
// The main window: tool bar, status bar, the file browser, the chip and command lists and the
// data grid, laid out anew on every change of its size.

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <memory>

#include "app/MainView.h"
#include "app/TSaveDialog.h"
#include "buffer/forms/THexGrid.h"
#include "link/LinkTrace.h"
#include "link/TComm32.h"
#include "operations/Session.h"

class QCloseEvent;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;

namespace kestrel {

class FileBrowser;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `serialDriver` is the device behind Comm321; null means the system's serial ports.
  explicit TForm1(std::unique_ptr<SerialDriver> serialDriver = nullptr);
  ~TForm1() override;

  // Declared controls, in declaration order.
  QStatusBar* StatusBar1;
  QGroupBox* GroupBox1;  // "Файл"
  QComboBox* ShellComboBox1;
  QTreeView* ShellTreeView1;
  QTreeView* ShellListView1;
  QToolBar* ToolBar1;
  QFrame* ToolButton3;
  QToolButton* ToolButton2;  // "Загрузить файл в буфер", kept hidden
  QFrame* ToolButton4;
  QToolButton* ToolButton5;  // "Сохранить буфер в файл"
  QFrame* ToolButton1;
  QToolButton* ToolButton6;  // "Настройки"
  QFrame* ToolButton7;
  QToolButton* ToolButton8;  // "О программаторе"
  QGroupBox* GroupBox2;      // "Микросхема"
  QListWidget* ListBox1;
  QGroupBox* GroupBox3;  // "Команда"
  QListWidget* ListBox2;
  QGroupBox* GroupBox4;  // "Данные"
  THexGrid* StringGrid1;
  TSaveDialog SaveDialog1;
  QTimer* Timer1;                        // 300 ms, disabled
  QTimer* Timer2;                        // 5000 ms, disabled: the link watchdog
  std::unique_ptr<LinkTrace> LineTrace;  // the file KESTREL_TRACE names; null without one
  TComm32 Comm321;

  // The session with the programmer and the memory image, shown in the program's windows.
  MainView MainView1;
  Session Session1;

  // While false (from the close on), resizing lays nothing out.
  bool LayoutReady = true;

  // The one panel of StatusBar1.
  void SetStatusText(const QString& text);
  QString StatusText() const;

  // The folder the file browser shows; empty for one that has no path.
  void SetBrowserFolder(const QString& path);
  QString BrowserFolder() const;

  // Handlers of this window.
  void FormCreate();
  void FormResize();
  void ToolButton6Click();
  void ToolButton8Click();

  // Places StringGrid1 inside GroupBox4 (run by FormResize after the group boxes).
  void LayoutGrid();

  // Redraws the grid for the buffer's length and content.
  void FormatGrid();

  // Handlers of the link and the lists.
  void FormShow();
  void FormActivate();
  void FormClose(QCloseEvent* event);
  void Comm321ReceiveData(const void* buffer, std::uint16_t length);
  void Comm321PortReopened();
  void Timer1Timer();
  void Timer2Timer();
  void ToolButton2Click();
  // Saves the buffer through SaveDialog1; false when the dialog was cancelled or overwriting declined.
  bool ToolButton5Click();
  // The file browser's choice: the save prompt, then Timer1Timer.
  void ShellListView1Click();
  // The chip list's choice selects the chip; the command list's runs the row's operation.
  void ListBox1Click();
  void ListBox2Click();
  void ListBox1MouseUp();
  void ListBox1KeyUp(int key);
  void ListBox2MouseUp();
  void ListBox2KeyDown(int key);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateToolBar();
  void CreateGroupBoxes();
  void ConnectHandlers();

  QLabel* statusPanel_;
  FileBrowser* browser_;
};

// The program's main window; set as soon as its construction begins.
extern TForm1* Form1;

}  // namespace kestrel
