// The memory image after a chip read, in the real windows against the emulated programmer: what
// the grid shows on the screen, and the save question before a read can be lost.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QTreeView>
#include <deque>

#include "app/MessageBoxes.h"
#include "app/TForm1.h"
#include "link/Commands.h"
#include "tests/app/ProgramHarness.h"
#include "tests/buffer/BrowserInput.h"
#include "tests/buffer/ScratchFiles.h"

namespace kestrel::test {
namespace {

const char* const Question = "Данные в буфере изменены!\n\rХотите сохранить изменения?";

class ChipRead : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (HasFatalFailure()) return;
    chip_ = emulator::Emulator::ChipNumber("ATmega328P");
    const Bytes flash = Pattern(device_->Chip(chip_).flash.size(), 5);
    device_->ModifyChip(chip_, [&](emulator::ChipState& state) { state.flash = flash; });
    SelectChip(chip_);
  }

  // Answers the boxes from `answers_` (Cancel when none is left) and records their texts.
  void AnswerBoxes(std::deque<Answer> answers) {
    answers_ = std::move(answers);
    SetModalResponder([this](const ModalRequest& request) {
      boxes_.push_back(request.text.toStdString());
      if (request.kind == ModalRequest::SaveFile || answers_.empty())
        return std::pair{Answer::Cancel, QString()};
      const Answer answer = answers_.front();
      answers_.pop_front();
      return std::pair{answer, QString()};
    });
    boxes_.clear();
  }

  // The grid's viewport as the screen holds it now.
  static QImage OnScreen() {
    QWidget* viewport = Form1->StringGrid1->viewport();
    const QPoint at = viewport->mapTo(Form1, QPoint(0, 0));
    return Form1->screen()
        ->grabWindow(Form1->winId(), at.x(), at.y(), viewport->width(), viewport->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }
  // The grid's viewport drawn afresh from the buffer.
  static QImage FromBuffer() {
    return Form1->StringGrid1->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
  }

  std::size_t chip_ = 0;
  std::deque<Answer> answers_;
};

TEST_F(ChipRead, EveryVisibleRowShowsTheBytesReadTheLastOneInPartAndAfterScrollingToo) {
  QWidget* viewport = Form1->StringGrid1->viewport();
  const int pitch = Form1->StringGrid1->rowHeight(0);
  for (int height = 600; viewport->height() % pitch < pitch / 3 && height < 600 + pitch; ++height) {
    Form1->resize(800, height);
    Settle();
  }
  ASSERT_GE(viewport->height() % pitch, pitch / 3) << "no partly visible last row";
  // Other bytes of the same length before the read, so that any row left undrawn shows.
  S().Image().Assign(Pattern(device_->Chip(chip_).flash.size(), 9));
  Settle();
  Choose(OpReadProgramMemory);
  Settle();
  EXPECT_EQ(S().Image().DataBuffer(), device_->Chip(chip_).flash);
  EXPECT_TRUE(OnScreen() == FromBuffer()) << "the screen shows other bytes than the buffer holds";
  // Rows that were out of view during the read show its bytes when scrolled into view.
  QScrollBar* scroll = Form1->StringGrid1->verticalScrollBar();
  for (const int value : {scroll->maximum() / 2, scroll->maximum()}) {
    scroll->setValue(value);
    Settle();
    EXPECT_TRUE(OnScreen() == FromBuffer()) << "stale bytes after scrolling to " << value;
  }
}

TEST_F(ChipRead, FileChoiceEmptyClickAndCloseAskBeforeAReadIsLost) {
  ScratchDir dir;
  WriteFile(dir.File("five.bin"), Bytes{1, 2, 3, 4, 5});
  Form1->SetBrowserFolder(QString::fromStdString(dir.Path().string()));
  QTreeView* list = Form1->ShellListView1;
  ASSERT_TRUE(WaitFor([&] { return BrowserRow(list, "five.bin").isValid(); }));
  ChooseInBrowser(list, "five.bin");
  ASSERT_EQ(S().Image().DataBuffer(), (Bytes{1, 2, 3, 4, 5}));

  Choose(OpReadProgramMemory);
  const Bytes read = device_->Chip(chip_).flash;
  ASSERT_EQ(S().Image().DataBuffer(), read);

  // Cancel keeps the read, whether a file or an empty part of the list was clicked.
  AnswerBoxes({Answer::Cancel, Answer::Cancel});
  ChooseInBrowser(list, "five.bin");
  ClickEmptyPartOfBrowser(list);
  EXPECT_EQ(boxes_, (std::vector<std::string>{Question, Question}));
  EXPECT_EQ(S().Image().DataBuffer(), read);

  // The close asks too; Cancel keeps the window and the read.
  AnswerBoxes({Answer::Cancel});
  EXPECT_FALSE(Form1->close());
  EXPECT_EQ(boxes_, std::vector<std::string>{Question});
  EXPECT_EQ(S().Image().DataBuffer(), read);

  // No lets the empty click load the working file again; nothing is unsaved after it.
  AnswerBoxes({Answer::No});
  ClickEmptyPartOfBrowser(list);
  EXPECT_EQ(boxes_, std::vector<std::string>{Question});
  EXPECT_EQ(S().Image().DataBuffer(), (Bytes{1, 2, 3, 4, 5}));
  ClickEmptyPartOfBrowser(list);
  EXPECT_EQ(boxes_.size(), 1u);
}

}  // namespace
}  // namespace kestrel::test
