// Start-up: the windows in their order and reachable by name, the main window's declared controls,
// the modal dialogs it opens, exceptions that leave event handlers, Qt's own Russian texts.

#include <QDateTime>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <stdexcept>

#include "app/Startup.h"
#include "app/TForm1.h"
#include "app/TForm3.h"
#include "app/TForm5.h"
#include "app/TForm7.h"
#include "buffer/Abort.h"
#include "operations/forms/TBitDialog.h"
#include "tests/app/AppFixture.h"
#include "tests/buffer/ScratchFiles.h"
#include "tests/buffer/WaitFor.h"

namespace kestrel::test {
namespace {

using StartupTest = ShellTest;

TEST_F(StartupTest, WindowsAreCreatedInOrderAndReachableByName) {
  StartProgram();
  const std::vector<std::pair<QWidget*, const char*>> forms{{Form1, "Form1"}, {Form3, "Form3"},
                                                            {Form4, "Form4"}, {Form5, "Form5"},
                                                            {Form6, "Form6"}, {Form7, "Form7"}};
  for (const auto& [form, name] : forms) {
    ASSERT_NE(form, nullptr) << name;
    EXPECT_EQ(form->objectName(), name);
    EXPECT_FALSE(form->isVisible()) << name;
  }
  // The dialogs are the main window's, in creation order; the settings dialog's creation already
  // used the main window (its watchdog runs and its port is open).
  std::vector<QString> dialogs;
  for (QObject* child : Form1->children())
    if (auto* dialog = qobject_cast<QDialog*>(child)) dialogs.push_back(dialog->objectName());
  EXPECT_EQ(dialogs, (std::vector<QString>{"Form3", "Form4", "Form5", "Form6", "Form7"}));
  EXPECT_TRUE(Form1->Timer2->isActive());
  EXPECT_EQ(serial_->opens, 1);

  DestroyForms();
  for (QWidget* form :
       {static_cast<QWidget*>(Form1), static_cast<QWidget*>(Form3), static_cast<QWidget*>(Form7)})
    EXPECT_EQ(form, nullptr);
}

TEST(MainWindowTest, DeclaredControlsAndSerialComponent) {
  TForm1 form(std::make_unique<FakeSerialDriver>(std::make_shared<FakeSerialState>()));
  EXPECT_EQ(Form1, &form);
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Программатор не подключен"));
  EXPECT_EQ(form.size(), QSize(800, 600));
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(230, 230, 210));
  EXPECT_EQ(form.StatusText(), QString::fromUtf8("Строка состояния"));
  EXPECT_EQ(form.StatusBar1->height(), 19);
  EXPECT_EQ(form.GroupBox1->title(), QString::fromUtf8("Файл"));
  EXPECT_EQ(form.GroupBox2->title(), QString::fromUtf8("Микросхема"));
  EXPECT_EQ(form.GroupBox3->title(), QString::fromUtf8("Команда"));
  EXPECT_EQ(form.GroupBox4->title(), QString::fromUtf8("Данные"));
  EXPECT_EQ(form.ListBox1->parent(), form.GroupBox2);
  EXPECT_EQ(form.ListBox2->parent(), form.GroupBox3);
  EXPECT_EQ(form.StringGrid1->parent(), form.GroupBox4);

  EXPECT_EQ(form.Timer1->interval(), 300);
  EXPECT_FALSE(form.Timer1->isActive());
  EXPECT_EQ(form.Timer2->interval(), 5000);
  EXPECT_FALSE(form.Timer2->isActive());

  EXPECT_EQ(form.Comm321.BaudRate(), 56000u);
  EXPECT_EQ(form.Comm321.Parity(), pOdd);
  EXPECT_EQ(form.Comm321.CommPort(), "COM2");
  EXPECT_EQ(form.Comm321.FlowControl(), fcNone);
  EXPECT_EQ(form.Comm321.EventChar(), 0);
}

TEST(MainWindowTest, ToolBarItemsLeftToRight) {
  TForm1 form(std::make_unique<FakeSerialDriver>(std::make_shared<FakeSerialState>()));
  form.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(form.ToolBar1->height(), 29);

  // Visible items, left to right, with the separators' declared widths.
  std::vector<std::pair<QString, int>> items;
  for (QAction* action : form.ToolBar1->actions()) {
    QWidget* item = form.ToolBar1->widgetForAction(action);
    if (action->isVisible()) items.emplace_back(item->objectName(), item->x());
  }
  std::vector<QString> order;
  for (const auto& item : items) order.push_back(item.first);
  EXPECT_EQ(order, (std::vector<QString>{"ToolButton3", "ToolButton4", "ToolButton5", "ToolButton1",
                                         "ToolButton6", "ToolButton7", "ToolButton8"}));
  EXPECT_EQ(form.ToolButton3->width(), 17);
  EXPECT_EQ(form.ToolButton4->width(), 8);
  EXPECT_EQ(form.ToolButton1->width(), 70);
  EXPECT_EQ(form.ToolButton7->width(), 77);
  EXPECT_EQ(form.ToolButton4->x(), form.ToolButton3->geometry().right() + 1);
  EXPECT_EQ(form.ToolButton6->x(), form.ToolButton1->geometry().right() + 1);

  // The load button is there but can never be reached.
  EXPECT_FALSE(form.ToolButton2->isVisible());
  EXPECT_EQ(form.ToolButton2->toolTip(), QString::fromUtf8("Загрузить файл в буфер"));
  EXPECT_EQ(form.ToolButton5->toolTip(), QString::fromUtf8("Сохранить буфер в файл"));
  EXPECT_EQ(form.ToolButton6->toolTip(), QString::fromUtf8("Настройки"));
  EXPECT_EQ(form.ToolButton8->toolTip(), QString::fromUtf8("О программаторе"));
  for (QToolButton* button : {form.ToolButton2, form.ToolButton5, form.ToolButton6, form.ToolButton8})
    EXPECT_FALSE(button->icon().pixmap(16, 16).isNull()) << button->objectName().toStdString();
}

TEST_F(StartupTest, SettingsAndAboutOpenModallyAndChangeNothing) {
  StartProgram();
  const QString caption = Form1->windowTitle();
  const std::size_t applied = serial_->applied.size();

  bool settingsModal = false;
  QTimer::singleShot(0, [&settingsModal] {
    settingsModal = Form3->isVisible() && Form3->isModal();
    Form3->Button1->click();
  });
  Form1->ToolButton6->click();
  EXPECT_TRUE(settingsModal);
  EXPECT_FALSE(Form3->isVisible());

  bool aboutModal = false;
  QTimer::singleShot(0, [&aboutModal] {
    aboutModal = Form7->isVisible() && Form7->isModal();
    Form7->Button1->click();
  });
  Form1->ToolButton8->click();
  EXPECT_TRUE(aboutModal);

  EXPECT_EQ(Form1->windowTitle(), caption);
  EXPECT_EQ(serial_->applied.size(), applied);
  EXPECT_EQ(serial_->opens, 1);
}

// An object whose event handler throws what it is given.
class Thrower : public QObject {
 public:
  explicit Thrower(std::function<void()> raise) : raise_(std::move(raise)) {}
  bool event(QEvent*) override {
    raise_();
    return true;
  }

 private:
  std::function<void()> raise_;
};

TEST_F(StartupTest, ExceptionsLeavingHandlersAreShownAndTheProgramGoesOn) {
  const auto deliver = [](std::function<void()> raise) {
    Thrower thrower(std::move(raise));
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
  };
  deliver([] { throw ECommsError("Невозможно создать Read thread"); });
  deliver([] { throw EAbort(); });
  deliver([] { throw std::runtime_error("Файл занят!"); });

  ASSERT_EQ(Asked().size(), 2u);
  EXPECT_EQ(Asked()[0].kind, ModalRequest::Error);
  EXPECT_EQ(Asked()[0].text, QString::fromUtf8("Невозможно создать Read thread."));
  EXPECT_EQ(Asked()[1].text, QString::fromUtf8("Файл занят!"));

  // Events thrown from inside the event loop end the same way.
  QTimer::singleShot(0, [] { throw ECommsError("Порт закрыт"); });
  QTimer::singleShot(10, [] { QCoreApplication::exit(); });
  QCoreApplication::exec();
  ASSERT_EQ(Asked().size(), 3u);
  EXPECT_EQ(Asked()[2].text, QString::fromUtf8("Порт закрыт."));
}

TEST(ApplicationTest, CarriesTheProjectsVersion) {
  EXPECT_EQ(QCoreApplication::applicationVersion(), QStringLiteral(KESTREL_VERSION));
}

TEST(ApplicationTest, QtTextsAreRussian) {
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("Отмена"));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString::fromUtf8("&Да"));
}

// The tests run under LANG=C.UTF-8; the main window's file list speaks Russian all the same.
TEST_F(StartupTest, FileListIsRussianWhateverTheMachinesLocale) {
  ScratchDir dir;
  WriteFile(dir.File("data.bin"), Bytes(480, 0));
  WriteFile(dir.File("notes.txt"), std::string(1230, 'a'));
  WriteFile(dir.File("blink.c"), std::string("int main(void) { return 0; }\n"));
  const QDateTime modified(QDate(2021, 3, 5), QTime(14, 7));
  for (const char* name : {"data.bin", "notes.txt", "blink.c"}) {
    QFile file(QString::fromStdString(dir.File(name)));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(modified, QFileDevice::FileModificationTime));
  }
  StartProgram();
  Form1->SetBrowserFolder(QString::fromStdString(dir.Path().string()));
  const QTreeView* list = Form1->ShellListView1;
  const auto row = [list](int number) {
    QStringList texts;
    for (int column = 0; column < 4; ++column)
      texts << list->model()->index(number, column, list->rootIndex()).data().toString();
    return texts;
  };
  const QString date = QString::fromUtf8("05.03.2021 14:07");
  const std::vector<QStringList> expected{
      {"blink.c", QString::fromUtf8("29 байт"), QString::fromUtf8("Исходный код C"), date},
      {"data.bin", QString::fromUtf8("480 байт"), QString::fromUtf8("Неизвестно"), date},
      {"notes.txt", QString::fromUtf8("1,2 КБ"), QString::fromUtf8("Текстовый документ"), date}};
  // The types come in the background.
  EXPECT_TRUE(WaitFor([&] {
    return row(0) == expected[0] && row(1) == expected[1] && row(2) == expected[2];
  })) << row(0).join('|').toStdString()
      << "\n"
      << row(1).join('|').toStdString() << "\n"
      << row(2).join('|').toStdString();
  QStringList headers;
  for (int column = 0; column < 4; ++column)
    headers << list->model()->headerData(column, Qt::Horizontal).toString();
  EXPECT_EQ(headers, QString::fromUtf8("Имя|Размер|Тип|Дата изменения").split('|'));
}

TEST(ApplicationTest, FullStopRule) {
  EXPECT_EQ(WithFullStop(QString::fromUtf8("Задан не COM-порт")), QString::fromUtf8("Задан не COM-порт."));
  EXPECT_EQ(WithFullStop(QString::fromUtf8("Невозможно открыть порт!")),
            QString::fromUtf8("Невозможно открыть порт!"));
  EXPECT_EQ(WithFullStop("Invalid data type for 'Bitrate'"), "Invalid data type for 'Bitrate'");
  EXPECT_EQ(WithFullStop(""), "");
}

}  // namespace
}  // namespace kestrel::test
