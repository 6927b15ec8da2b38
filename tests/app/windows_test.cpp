#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

#include <QProgressBar>

#include "app/TForm5.h"
#include "operations/forms/TBitDialog.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/FakeLink.h"

using namespace kestrel;

namespace {

const auto* const qtApplication =
    ::testing::AddGlobalTestEnvironment(new test::ApplicationEnvironment<QApplication>);

void Key(QWidget* target, QEvent::Type type, int key) {
  QKeyEvent event(type, key, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void PressAndRelease(QWidget* target, int key) {
  Key(target, QEvent::KeyPress, key);
  Key(target, QEvent::KeyRelease, key);
}

void MouseUp(QWidget* target, Qt::MouseButton button) {
  const QPointF at(5, 5);
  QMouseEvent event(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), button, Qt::NoButton,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

using BitWrite = void (Session::*)(const std::vector<bool>&);

// One bit editor whose button writes to a fake session, as the program wires it.
class BitDialogHarness : public ::testing::Test {
 protected:
  BitDialogHarness(const BitDialogDesign& design, BitWrite write) : dialog(design) {
    dialog.OnWrite = [this, write](const std::vector<bool>& checked) { (link.session.*write)(checked); };
  }

  // The payloads the session sent for what the button wrote, each answered.
  std::vector<Bytes> Sent() {
    link.Serve([](const Bytes& command) { return Bytes{command.front()}; });
    return link.written.Payloads();
  }

  // Rebuilds the dialog for `count` bits with `checked` ticked, and opens it.
  void Prepare(int count, std::initializer_list<int> checked, bool writable) {
    dialog.CreateBitBoxes(count);
    for (int i : checked) dialog.BitBoxes[i]->setChecked(true);
    dialog.Open(writable);
  }

  FakeLink link;
  TBitDialog dialog;
};

// What both editors do.
class BitDialogTest : public BitDialogHarness, public ::testing::WithParamInterface<const BitDialogDesign*> {
 protected:
  BitDialogTest()
      : BitDialogHarness(*GetParam(),
                         GetParam() == &LockBitEditor ? &Session::WriteLockBits : &Session::WriteFuseBits) {}
};

INSTANTIATE_TEST_SUITE_P(BothEditors, BitDialogTest, ::testing::Values(&LockBitEditor, &FuseBitEditor),
                         [](const auto& info) { return std::string(info.param->objectName); });

TEST_P(BitDialogTest, BoxesStandInAColumnAndTheDialogFitsThem) {
  dialog.CreateBitBoxes(4);
  ASSERT_EQ(dialog.BitCount(), 4);
  for (int i = 0; i < 4; ++i) {
    const QCheckBox* box = dialog.BitBoxes[i];
    EXPECT_EQ(box->geometry().topLeft(), QPoint(20, 25 + 20 * i));
    EXPECT_EQ(box->width(), dialog.width());
    EXPECT_LE(box->height(), 20) << "boxes do not overlap";
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(box->text().isEmpty());
  }
  EXPECT_EQ(dialog.Button1->y(), 120);
  EXPECT_EQ(dialog.height(), 180);

  // A chip with fewer bits: the old boxes go and the dialog shrinks.
  dialog.CreateBitBoxes(2);
  EXPECT_EQ(dialog.findChildren<QCheckBox*>().size(), 2);
  EXPECT_EQ(dialog.height(), 140);
  EXPECT_EQ(dialog.Button1->y(), 80);

  dialog.CreateBitBoxes(0);
  EXPECT_TRUE(dialog.findChildren<QCheckBox*>().isEmpty());
  EXPECT_EQ(dialog.height(), 100);
  EXPECT_EQ(dialog.Button1->y(), 40);
}

TEST_P(BitDialogTest, NamesAndStatesReachOnlyTheBoxesThatExist) {
  dialog.CreateBitBoxes(3);
  dialog.SetBitName(0, "SPIEN");
  dialog.SetBitName(1, "R&D");
  dialog.SetBitName(3, "beyond");
  dialog.SetBitName(-1, "before");
  const std::uint8_t states[] = {0x00, 0x01, 0xFF, 0x01};
  dialog.ShowBitStates(states);
  EXPECT_EQ(dialog.BitBoxes[0]->text(), "SPIEN");
  EXPECT_EQ(dialog.BitBoxes[1]->text(), "R&&D") << "shown as sent, not as a mnemonic";
  EXPECT_TRUE(dialog.BitBoxes[2]->text().isEmpty());
  EXPECT_EQ(dialog.CheckedStates(), (std::vector<bool>{false, true, true}));

  // A shorter reply leaves the other boxes as they were.
  const std::uint8_t one[] = {0x01};
  dialog.ShowBitStates(one);
  EXPECT_EQ(dialog.CheckedStates(), (std::vector<bool>{true, true, true}));
}

TEST_P(BitDialogTest, OpenedForReadingTheButtonCannotWrite) {
  Prepare(3, {0, 1, 2}, false);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(dialog.Button1->isEnabled());
  MouseUp(dialog.Button1, Qt::LeftButton);
  PressAndRelease(dialog.Button1, Qt::Key_Return);
  EXPECT_FALSE(link.session.Busy());

  dialog.Open(true);
  EXPECT_TRUE(dialog.Button1->isEnabled());
}

TEST_P(BitDialogTest, EnterOnABoxOrTheDialogClosesWithoutWriting) {
  Prepare(2, {1}, true);
  PressAndRelease(dialog.BitBoxes[1], Qt::Key_Return);
  EXPECT_FALSE(dialog.isVisible());

  dialog.Open(true);
  PressAndRelease(&dialog, Qt::Key_Enter);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_FALSE(link.session.Busy());
  EXPECT_TRUE(dialog.BitBoxes[1]->isChecked()) << "closing keeps the boxes as they were left";
}

TEST_P(BitDialogTest, EnterReleasedWithoutGoingDownHereDoesNothing) {
  // The Enter that chose the row in the command list comes up in the freshly opened dialog.
  Prepare(2, {0}, true);
  Key(dialog.Button1, QEvent::KeyRelease, Qt::Key_Return);
  Key(dialog.BitBoxes[0], QEvent::KeyRelease, Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(link.session.Busy());
}

TEST_P(BitDialogTest, SpaceOnTheButtonDoesNothing) {
  Prepare(2, {0}, true);
  PressAndRelease(dialog.Button1, Qt::Key_Space);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(link.session.Busy());
}

class LockDialogTest : public BitDialogHarness {
 protected:
  LockDialogTest() : BitDialogHarness(LockBitEditor, &Session::WriteLockBits) {}
};

class FuseDialogTest : public BitDialogHarness {
 protected:
  FuseDialogTest() : BitDialogHarness(FuseBitEditor, &Session::WriteFuseBits) {}
};

TEST_F(LockDialogTest, ButtonWritesTheCheckedBitsInOrderAndHides) {
  Prepare(4, {2, 0}, true);
  MouseUp(dialog.Button1, Qt::RightButton);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x06, 0}, {0x06, 2}}));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.BitCount(), 4);
}

TEST_F(FuseDialogTest, ButtonWritesEveryBitWithItsStateOnEnter) {
  Prepare(3, {1}, true);
  PressAndRelease(dialog.Button1, Qt::Key_Return);
  EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x04, 0, 0}, {0x04, 1, 1}, {0x04, 2, 0}}));
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FuseDialogTest, NoBitsWriteNothingAndStillClose) {
  Prepare(0, {}, true);
  MouseUp(dialog.Button1, Qt::LeftButton);
  EXPECT_FALSE(link.session.Busy());
  EXPECT_FALSE(dialog.isVisible());
}

TEST(QueueWindow, BarFollowsTheQueueAndTheWindowNeverTakesTheKeyboard) {
  TForm5 window;
  window.SetQueueProgress(10, 10);
  EXPECT_EQ(window.ProgressBar1->maximum(), 10);
  EXPECT_EQ(window.ProgressBar1->value(), 10);
  window.SetQueueProgress(10, 3);
  EXPECT_EQ(window.ProgressBar1->value(), 3);
  window.SetQueueProgress(0, 0);
  EXPECT_GT(window.ProgressBar1->maximum(), 0) << "an empty range would turn the bar into a busy indicator";
  EXPECT_EQ(window.ProgressBar1->value(), 0);

  window.ShowQueueWindow();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
  window.CloseQueueWindow();
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
