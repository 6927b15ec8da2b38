// The memory image in the real main window: choosing files in the browser, the save prompt with
// the boxes answered by the test, saving, and the close with its shutdown.
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <deque>

#include "app/TForm1.h"
#include "app/TForm3.h"
#include "buffer/BinaryFile.h"
#include "buffer/forms/HexGridModel.h"
#include "tests/app/AppFixture.h"
#include "tests/buffer/BrowserInput.h"
#include "tests/buffer/ScratchFiles.h"
#include "tests/buffer/WaitFor.h"

namespace kestrel::test {
namespace {

const char* const Question = "Данные в буфере изменены!\n\rХотите сохранить изменения?";

class MainWindowFiles : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    WriteFile(dir.File("five.bin"), Bytes{1, 2, 3, 4, 5});
    WriteFile(dir.File("firmware.hex"), std::string(":03001000010203E7\r\n:00000001FF\r\n"));
    WriteFile(dir.File("cut.hex"), std::string(":03001000010203E7\r\n"));
    responder_ = [this](const ModalRequest& request) -> std::pair<Answer, QString> {
      if (request.kind == ModalRequest::SaveFile) return {Answer::Yes, savePath_};
      if (answers.empty()) return {Answer::Cancel, {}};
      const Answer answer = answers.front();
      answers.pop_front();
      return {answer, {}};
    };
    StartProgram();
    Form1->resize(800, 600);
    Form1->show();
    Form1->SetBrowserFolder(QString::fromStdString(dir.Path().string()));
    ASSERT_TRUE(WaitFor([&] { return Row("five.bin").isValid() && Row("firmware.hex").isValid(); }));
  }

  QModelIndex Row(const std::string& name) const { return BrowserRow(Form1->ShellListView1, name); }
  void Choose(const std::string& name) { ChooseInBrowser(Form1->ShellListView1, name); }

  // A click that goes through the application's event delivery, as the user's does.
  static void ClickSave() {
    QWidget* button = Form1->ToolButton5;
    const QPointF at = QRectF(button->rect()).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, at, button->mapToGlobal(at), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(button, &event);
    }
  }

  void Edit() {
    Session1().Image().Edit(0, 0xEE);
    Session1().Image().SetBufferModified(true);
  }
  static Session& Session1() { return Form1->Session1; }
  std::vector<ModalRequest::Kind> AskedKinds() const {
    std::vector<ModalRequest::Kind> kinds;
    for (const ModalRequest& request : Asked()) kinds.push_back(request.kind);
    return kinds;
  }

  ScratchDir dir;
  std::deque<Answer> answers;
};

TEST_F(MainWindowFiles, ChoosingAFileLoadsItAndNamesIt) {
  Choose("five.bin");
  EXPECT_EQ(Session1().Image().DataBuffer(), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(Session1().Image().WorkingFileName(), dir.File("five.bin"));
  EXPECT_EQ(Form1->StatusText().toStdString(), "Рабочий файл: " + dir.File("five.bin"));
  EXPECT_EQ(Form1->StringGrid1->RowCount(), 3);
  EXPECT_EQ(Form1->StringGrid1->Model().CellText(0, 4), "05");
  EXPECT_FALSE(Form1->Timer1->isActive());

  Choose("firmware.hex");
  EXPECT_EQ(Session1().Image().DataBuffer().size(), 19u);
  EXPECT_EQ(Form1->StringGrid1->RowCount(), 3);
  EXPECT_TRUE(Asked().empty());

  // A malformed HEX file ends the choice with an empty buffer; the status panel says why, no box.
  Choose("cut.hex");
  EXPECT_TRUE(Session1().Image().DataBuffer().empty());
  EXPECT_EQ(Session1().Image().WorkingFileName(), dir.File("cut.hex"));
  EXPECT_EQ(Form1->StatusText().toStdString(),
            "Ошибка в HEX-файле cut.hex, строка 1: нет записи конца файла");
  EXPECT_TRUE(Asked().empty());
  EXPECT_EQ(Form1->StringGrid1->RowCount(), 2);
}

TEST_F(MainWindowFiles, SavePromptBeforeAnotherFileIsLoaded) {
  Choose("five.bin");
  Edit();
  answers = {Answer::Cancel};
  Choose("firmware.hex");
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].text.toStdString(), Question);
  EXPECT_EQ(Session1().Image().DataBuffer()[0], 0xEE);
  EXPECT_EQ(Session1().Image().WorkingFileName(), dir.File("five.bin"));

  // Yes with the save dialog cancelled keeps the edits too.
  answers = {Answer::Yes};
  savePath_.clear();
  Choose("firmware.hex");
  EXPECT_EQ(AskedKinds(),
            (std::vector{ModalRequest::YesNoCancel, ModalRequest::YesNoCancel, ModalRequest::SaveFile}));
  EXPECT_EQ(Asked().back().text.toStdString(), dir.File("five.bin"));  // the proposed name
  EXPECT_EQ(Session1().Image().DataBuffer()[0], 0xEE);
  EXPECT_TRUE(Session1().Image().BufferModified());

  // Yes and a name: the edits are saved, then the new file is loaded.
  answers = {Answer::Yes};
  savePath_ = QString::fromStdString(dir.File("saved.bin"));
  Choose("firmware.hex");
  EXPECT_EQ(ReadFile(dir.File("saved.bin")), (Bytes{0xEE, 2, 3, 4, 5}));
  EXPECT_EQ(Session1().Image().DataBuffer().size(), 19u);
  EXPECT_FALSE(Session1().Image().BufferModified());

  // No drops the edits.
  Edit();
  answers = {Answer::No};
  Choose("five.bin");
  EXPECT_EQ(Session1().Image().DataBuffer(), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_FALSE(Session1().Image().BufferModified());
  EXPECT_EQ(ReadFile(dir.File("five.bin")), (Bytes{1, 2, 3, 4, 5}));
}

TEST_F(MainWindowFiles, SaveButtonAsksBeforeOverwritingAndReportsFailures) {
  Choose("five.bin");
  Edit();
  savePath_ = QString::fromStdString(dir.File("five.bin"));
  answers = {Answer::No};
  ClickSave();
  EXPECT_EQ(ReadFile(dir.File("five.bin")), (Bytes{1, 2, 3, 4, 5}));
  answers = {Answer::Yes};
  ClickSave();
  EXPECT_EQ(ReadFile(dir.File("five.bin")), (Bytes{0xEE, 2, 3, 4, 5}));
  EXPECT_EQ(Asked().back().text.toStdString(), "Перезаписать существующий файл?");

  savePath_ = QString::fromStdString(dir.File("no-such-folder/out.bin"));
  ClickSave();
  ASSERT_EQ(Asked().back().kind, ModalRequest::Error);
  EXPECT_TRUE(Asked().back().text.contains(savePath_)) << Asked().back().text.toStdString();
  EXPECT_TRUE(Session1().Image().BufferModified());
}

TEST_F(MainWindowFiles, CloseKeepsTheWindowForUnsavedEditsUnlessTheUserLetsThemGo) {
  Choose("five.bin");
  Edit();
  answers = {Answer::Cancel};
  EXPECT_FALSE(Form1->close());
  answers = {Answer::Yes};
  savePath_.clear();
  EXPECT_FALSE(Form1->close());
  // A save that fails is reported and keeps the window too.
  answers = {Answer::Yes};
  savePath_ = QString::fromStdString(dir.File("no-such-folder/out.bin"));
  EXPECT_FALSE(Form1->close());
  EXPECT_EQ(Asked().back().kind, ModalRequest::Error);
  EXPECT_NE(Form3, nullptr);
  EXPECT_TRUE(Form1->LayoutReady);
  EXPECT_EQ(Session1().Image().DataBuffer()[0], 0xEE);

  Form1->Timer2->start();
  const std::size_t escapesBefore = serial_->escapes.size();
  answers = {Answer::No};
  EXPECT_TRUE(Form1->close());
  // Settings stored by the settings dialog's end, RTS then DTR dropped, timers stopped, layout
  // ended, buffer released; the working file is not loaded again.
  EXPECT_EQ(Form3, nullptr);
  EXPECT_EQ(Stored("Path").toString().toStdString(), dir.Path().string());
  EXPECT_EQ(
      std::vector<int>(serial_->escapes.begin() + static_cast<long>(escapesBefore), serial_->escapes.end()),
      (std::vector<int>{CLRRTS, CLRDTR}));
  EXPECT_FALSE(Form1->Timer2->isActive());
  EXPECT_FALSE(Form1->Timer1->isActive());
  EXPECT_FALSE(Form1->LayoutReady);
  EXPECT_TRUE(Session1().Image().DataBuffer().empty());
  EXPECT_FALSE(Session1().Image().BufferModified());
}

TEST_F(MainWindowFiles, CloseWithoutEditsAsksNothing) {
  Choose("five.bin");
  EXPECT_TRUE(Form1->close());
  EXPECT_TRUE(Asked().empty());
  EXPECT_EQ(Form3, nullptr);
}

TEST_F(MainWindowFiles, TheEnterThatClosesABoxDoesNotChooseAgain) {
  WriteFile(dir.File("big.bin"), Bytes(MaxImageSize, 0));
  QTreeView* list = Form1->ShellListView1;
  ASSERT_TRUE(WaitFor([&] { return Row("big.bin").isValid(); }));
  list->setCurrentIndex(Row("big.bin"));
  const auto key = [list](QEvent::Type type) {
    QKeyEvent event(type, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(list, &event);
  };
  key(QEvent::KeyPress);
  key(QEvent::KeyRelease);
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].text.toStdString(), SizeWarningText);
  // The Enter that closed the warning went down in the box and comes up in the list.
  key(QEvent::KeyRelease);
  EXPECT_EQ(Asked().size(), 1u);
  // A new Enter in the list chooses again.
  key(QEvent::KeyPress);
  key(QEvent::KeyRelease);
  EXPECT_EQ(Asked().size(), 2u);
}

TEST_F(MainWindowFiles, TheListNeverRenamesAFile) {
  QTreeView* list = Form1->ShellListView1;
  // A second, slow click on the chosen file (an editor would open a double-click time after it),
  // then the rename key.
  const auto letEventsRun = [] { WaitFor([] { return false; }, QApplication::doubleClickInterval() + 50); };
  Choose("five.bin");
  letEventsRun();
  Choose("five.bin");
  letEventsRun();
  QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
  QApplication::sendEvent(list, &f2);
  list->edit(Row("five.bin"));
  EXPECT_TRUE(list->viewport()->findChildren<QLineEdit*>().isEmpty());
  EXPECT_FALSE(list->model()->setData(Row("five.bin"), QStringLiteral("renamed.bin")));
  EXPECT_EQ(ReadFile(dir.File("five.bin")), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("renamed.bin")));
  EXPECT_EQ(Session1().Image().DataBuffer(), (Bytes{1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace kestrel::test
