#include "app/TForm1.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "app/Layout.h"
#include "app/QtNotifyTarget.h"
#include "app/Shutdown.h"
#include "app/Startup.h"
#include "app/TForm3.h"
#include "app/TForm7.h"
#include "app/UserAction.h"
#include "buffer/BinaryFile.h"
#include "buffer/SaveBuffer.h"
#include "buffer/WorkingFile.h"
#include "buffer/forms/FileBrowser.h"
#include "buffer/forms/THexGrid.h"
#include "link/ProgrammerPort.h"
#include "operations/StatusTexts.h"
#include "operations/forms/TBitDialog.h"
#include "widgets/FileNames.h"
#include "widgets/FormDesign.h"

namespace kestrel {

TForm1* Form1 = nullptr;

namespace {

// A negative size (a window smaller than the margins) shows as an empty control.
void PlaceBox(QWidget* control, const Box& box) {
  control->setGeometry(box.left, box.top, box.width, box.height);
}

QFrame* ToolBarSeparator(QToolBar* toolBar, const char* name, int width) {
  auto* separator = new QFrame(toolBar);
  separator->setObjectName(QString::fromLatin1(name));
  separator->setFrameShape(QFrame::VLine);
  separator->setFrameShadow(QFrame::Sunken);
  separator->setFixedWidth(width);
  toolBar->addWidget(separator);
  return separator;
}

QToolButton* ToolBarButton(QToolBar* toolBar, const char* name, const char* icon, const char* hint) {
  auto* button = new QToolButton(toolBar);
  button->setObjectName(QString::fromLatin1(name));
  button->setIcon(QIcon(QString::fromLatin1(icon)));
  button->setIconSize(QSize(16, 16));
  button->setFixedSize(23, 22);
  button->setAutoRaise(true);
  button->setToolTip(QString::fromUtf8(hint));
  toolBar->addWidget(button);
  return button;
}

// The row that is selected, or -1: a current row without a selection is no choice.
int SelectedRow(const QListWidget* list) {
  const QListWidgetItem* item = list->currentItem();
  return item && item->isSelected() ? list->currentRow() : -1;
}

// The settings dialog's switches as they stand now; all off while there is no dialog.
WriteOptions ChosenWriteOptions() { return Form3 ? Form3->ChosenWriteOptions() : WriteOptions{}; }

template <class Control>
Control* PlaceInGroup(QGroupBox* group, const char* name) {
  return Place<Control>(group, name, QRect(5, 15, 100, 100));
}

// The steps of the window's close that other parts of the program own.
class WindowShutdown : public ShutdownSteps {
 public:
  explicit WindowShutdown(TForm1& form) : form_(form) {}
  // Destroying the settings dialog stores the settings.
  void StoreSettings() override { delete Form3; }
  void DropModemLines() override { kestrel::DropModemLines(form_.Comm321); }
  void Pause(std::chrono::milliseconds duration) override { QThread::msleep(duration.count()); }
  void StopWatchdog() override { form_.Timer2->stop(); }
  void ClearLayoutReady() override { form_.LayoutReady = false; }
  void StopBrowserTimer() override { form_.Timer1->stop(); }

 private:
  TForm1& form_;
};

QGroupBox* GroupBox(QWidget* parent, const char* name, const char* title) {
  auto* group = Place<QGroupBox>(parent, name, QRect(0, 0, 100, 100));
  group->setTitle(QString::fromUtf8(title));
  return group;
}

}  // namespace

TForm1::TForm1(std::unique_ptr<SerialDriver> serialDriver)
    : LineTrace(LinkTrace::FromEnvironment()),
      Comm321(MakeQtNotifyTarget(), std::move(serialDriver)),
      Session1(MainView1, LineThrough(Comm321, LineTrace.get())) {
  Form1 = this;
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(NotConnectedCaption));
  setWindowIcon(QIcon(QStringLiteral(":/icons/kestrel.png")));
  setFont(DesignFont());
  SetBackground(this, QColor(230, 230, 210));
  setContextMenuPolicy(Qt::NoContextMenu);
  resize(800, 600);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(19);
  StatusBar1->setSizeGripEnabled(false);
  statusPanel_ = new QLabel(QString::fromUtf8("Строка состояния"), StatusBar1);
  StatusBar1->addWidget(statusPanel_, 1);
  setStatusBar(StatusBar1);

  CreateToolBar();
  CreateGroupBoxes();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(300);
  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setInterval(5000);

  Comm321.SetBaudRate(56000);
  Comm321.SetParity(pOdd);
  Comm321.SetCommPort("COM2");
  Comm321.SetFlowControl(fcNone);
  Comm321.SetEventChar(0);

  ConnectHandlers();
  FormCreate();
}

TForm1::~TForm1() {
  Comm321.OnReceiveData = nullptr;
  Comm321.OnPortReopened = nullptr;
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateToolBar() {
  ToolBar1 = new QToolBar(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->toggleViewAction()->setEnabled(false);
  ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
  ToolBar1->setFixedHeight(29);
  ToolBar1->setStyleSheet(
      QStringLiteral("QToolBar { spacing: 0px; padding: 0px; border-top: 1px solid palette(mid);"
                     " border-bottom: 1px solid palette(light); }"));
  addToolBar(Qt::TopToolBarArea, ToolBar1);

  ToolButton3 = ToolBarSeparator(ToolBar1, "ToolButton3", 17);
  ToolButton2 = ToolBarButton(ToolBar1, "ToolButton2", ":/icons/load.png", "Загрузить файл в буфер");
  ToolBar1->actions().last()->setVisible(false);
  ToolButton4 = ToolBarSeparator(ToolBar1, "ToolButton4", 8);
  ToolButton5 = ToolBarButton(ToolBar1, "ToolButton5", ":/icons/save.png", "Сохранить буфер в файл");
  ToolButton1 = ToolBarSeparator(ToolBar1, "ToolButton1", 70);
  ToolButton6 = ToolBarButton(ToolBar1, "ToolButton6", ":/icons/settings.png", "Настройки");
  ToolButton7 = ToolBarSeparator(ToolBar1, "ToolButton7", 77);
  ToolButton8 = ToolBarButton(ToolBar1, "ToolButton8", ":/icons/about.png", "О программаторе");
}

void TForm1::CreateGroupBoxes() {
  GroupBox1 = GroupBox(this, "GroupBox1", "Файл");
  ShellComboBox1 = Place<QComboBox>(GroupBox1, "ShellComboBox1", QRect(5, 15, 100, 22));
  ShellTreeView1 = PlaceInGroup<QTreeView>(GroupBox1, "ShellTreeView1");
  ShellListView1 = PlaceInGroup<QTreeView>(GroupBox1, "ShellListView1");
  browser_ = new FileBrowser(ShellComboBox1, ShellTreeView1, ShellListView1,
                             [this] { RunUserAction([this] { ShellListView1Click(); }); });
  GroupBox2 = GroupBox(this, "GroupBox2", "Микросхема");
  ListBox1 = PlaceInGroup<QListWidget>(GroupBox2, "ListBox1");
  GroupBox3 = GroupBox(this, "GroupBox3", "Команда");
  ListBox2 = PlaceInGroup<QListWidget>(GroupBox3, "ListBox2");
  GroupBox4 = GroupBox(this, "GroupBox4", "Данные");
  StringGrid1 = new THexGrid(Session1.Image(), GroupBox4);
}

void TForm1::ConnectHandlers() {
  connect(ToolButton2, &QToolButton::clicked, this,
          [this] { RunUserAction([this] { ToolButton2Click(); }); });
  connect(ToolButton5, &QToolButton::clicked, this,
          [this] { RunUserAction([this] { ToolButton5Click(); }); });
  connect(ToolButton6, &QToolButton::clicked, this, &TForm1::ToolButton6Click);
  connect(ToolButton8, &QToolButton::clicked, this, &TForm1::ToolButton8Click);
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
  connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
  Comm321.OnReceiveData = [this](const void* buffer, std::uint16_t length) {
    Comm321ReceiveData(buffer, length);
  };
  Comm321.OnPortReopened = [this](TComm32&) { Comm321PortReopened(); };
  ListBox1->viewport()->installEventFilter(this);
  ListBox1->installEventFilter(this);
  ListBox2->viewport()->installEventFilter(this);
  ListBox2->installEventFilter(this);
}

void TForm1::SetStatusText(const QString& text) { statusPanel_->setText(text); }

QString TForm1::StatusText() const { return statusPanel_->text(); }

void TForm1::SetBrowserFolder(const QString& path) { browser_->SetFolder(path); }

QString TForm1::BrowserFolder() const { return browser_->Folder(); }

void TForm1::FormCreate() { FormResize(); }

void TForm1::FormResize() {
  if (!LayoutReady) return;
  MainWindowMetrics metrics;
  metrics.clientWidth = width();
  metrics.clientHeight = height();
  metrics.statusBarHeight = StatusBar1->height();
  metrics.toolBarHeight = ToolBar1->height();
  metrics.toolBarBottom = ToolBar1->y() + ToolBar1->height();
  metrics.comboBoxHeight = ShellComboBox1->height();
  const MainWindowLayout layout = ComputeMainWindowLayout(metrics);

  PlaceBox(GroupBox1, layout.GroupBox1);
  PlaceBox(ShellComboBox1, layout.ShellComboBox1);
  PlaceBox(ShellTreeView1, layout.ShellTreeView1);
  PlaceBox(ShellListView1, layout.ShellListView1);
  PlaceBox(GroupBox2, layout.GroupBox2);
  PlaceBox(ListBox1, layout.ListBox1);
  PlaceBox(GroupBox3, layout.GroupBox3);
  PlaceBox(ListBox2, layout.ListBox2);
  PlaceBox(GroupBox4, layout.GroupBox4);
  LayoutGrid();
}

void TForm1::LayoutGrid() {
  StringGrid1->ApplyGeometry();
  StringGrid1->RefreshGridCells();
}

void TForm1::FormatGrid() { StringGrid1->FormatGrid(); }

void TForm1::ToolButton6Click() {
  if (Form3) Form3->exec();
}

void TForm1::ToolButton8Click() {
  if (Form7) Form7->exec();
}

// Runs once, when the event loop first shows the window: every other window exists by then.
void TForm1::FormShow() {
  if (Form4) Form4->OnWrite = [this](const std::vector<bool>& checked) { Session1.WriteLockBits(checked); };
  if (Form6) Form6->OnWrite = [this](const std::vector<bool>& checked) { Session1.WriteFuseBits(checked); };
  Session1.Start();
}

void TForm1::FormActivate() {}

// The window stays open when the user keeps the unsaved edits, or when saving them fails.
void TForm1::FormClose(QCloseEvent* event) {
  event->ignore();
  WindowShutdown steps(*this);
  RunUserAction([&] {
    if (kestrel::FormClose(
            Session1.Image(), [this] { return ToolButton5Click(); }, steps))
      event->accept();
  });
}

void TForm1::Comm321ReceiveData(const void* buffer, std::uint16_t length) {
  Session1.Receive({static_cast<const std::uint8_t*>(buffer), length}, Comm321.ReceivedAt());
}

// A device found again by its port may be another one: learn everything anew, as after silence.
void TForm1::Comm321PortReopened() { Session1.Rediscover(); }

void TForm1::ShellListView1Click() {
  if (!OfferToSaveEdits(Session1.Image(), [this] { return ToolButton5Click(); })) return;
  Timer1->stop();
  Timer1->start();
  Timer1Timer();
}

void TForm1::Timer1Timer() {
  Timer1->stop();
  ChooseWorkingFile(Session1.Image(), browser_->SelectedFile(), ChosenWriteOptions().understandHex);
}

void TForm1::Timer2Timer() { Session1.WatchdogExpired(); }

void TForm1::ToolButton2Click() {
  LoadWorkingFileIntoBuffer(Session1.Image(), ChosenWriteOptions().understandHex);
}

bool TForm1::ToolButton5Click() {
  const bool understandHex = ChosenWriteOptions().understandHex;
  return SaveBufferAs(Session1.Image(), understandHex,
                      [this](const std::string& proposed) -> std::optional<std::string> {
                        SaveDialog1.FileName = FromCoreFileName(proposed);
                        if (!SaveDialog1.Execute(this)) return std::nullopt;
                        return CoreFileName(SaveDialog1.FileName);
                      });
}

void TForm1::ListBox1Click() { Session1.SelectChip(SelectedRow(ListBox1)); }

// The selected row's operation goes to the session; with no row, only the chip is selected anew.
void TForm1::ListBox2Click() {
  const auto& rows = Session1.Chip().RowCommands;
  const int row = SelectedRow(ListBox2);
  std::optional<ChipCommand> operation;
  if (row >= 0 && static_cast<std::size_t>(row) < rows.size())
    operation = rows[static_cast<std::size_t>(row)];
  Session1.Run(SelectedRow(ListBox1), operation, ChosenWriteOptions());
}

void TForm1::ListBox1MouseUp() { ListBox1Click(); }

void TForm1::ListBox1KeyUp(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) ListBox1MouseUp();
}

// A write that reloads the working file can end in the silent abort or a file error.
void TForm1::ListBox2MouseUp() {
  RunUserAction([this] { ListBox2Click(); });
}

// Enter acts as it goes down, so a held key repeats the operation.
void TForm1::ListBox2KeyDown(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) ListBox2MouseUp();
}

bool TForm1::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QMainWindow::event(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  const bool mouseUp = event->type() == QEvent::MouseButtonRelease;
  if (mouseUp && watched == ListBox1->viewport()) ListBox1MouseUp();
  if (mouseUp && watched == ListBox2->viewport()) ListBox2MouseUp();
  if (event->type() == QEvent::KeyRelease && watched == ListBox1) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!key->isAutoRepeat()) ListBox1KeyUp(key->key());
  }
  if (event->type() == QEvent::KeyPress && watched == ListBox2)
    ListBox2KeyDown(static_cast<QKeyEvent*>(event)->key());
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose(event);
  if (event->isAccepted()) QCoreApplication::quit();
}

}  // namespace kestrel
