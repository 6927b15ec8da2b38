// The integer edit: what typing takes and refuses, how text becomes Value and back, paste.

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

#include "app/IntegerEdit.h"
#include "tests/app/AppFixture.h"

namespace kestrel::test {
namespace {

void Type(IntegerEdit& edit, const QString& keys) {
  for (QChar c : keys) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(&edit, &press);
  }
}

void Press(IntegerEdit& edit, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QCoreApplication::sendEvent(&edit, &press);
}

TEST(IntegerEditTest, TypingTakesDigitsSignsAndControlKeysOnly) {
  IntegerEdit edit;
  edit.SetValue(56000);
  edit.end(false);
  Type(edit, "a.,x ");
  QKeyEvent emoji(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("😀"));
  QCoreApplication::sendEvent(&edit, &emoji);
  EXPECT_EQ(edit.text(), "56000");
  Type(edit, "1");
  EXPECT_EQ(edit.text(), "560001");
  EXPECT_EQ(edit.Value(), 560001);
  Press(edit, Qt::Key_Backspace);
  Press(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit.Value(), 5600);
  EXPECT_EQ(edit.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
}

TEST(IntegerEditTest, TextIsRewrittenOnlyWhenValueChanges) {
  IntegerEdit edit;
  EXPECT_EQ(edit.text(), "0");
  edit.end(false);
  // "00" still means 0, so it stays as typed; the 7 changes Value and the text becomes canonical.
  Type(edit, "0");
  EXPECT_EQ(edit.text(), "00");
  Type(edit, "7");
  EXPECT_EQ(edit.text(), "7");
  EXPECT_EQ(edit.Value(), 7);

  // A lone sign is no integer: Value drops to 0 and the text shows it.
  edit.selectAll();
  Type(edit, "-");
  EXPECT_EQ(edit.Value(), 0);
  EXPECT_EQ(edit.text(), "0");
  // From 0 a sign stays, and the number after it counts.
  edit.clear();
  Type(edit, "-42");
  EXPECT_EQ(edit.Value(), -42);
  EXPECT_EQ(edit.text(), "-42");
  Type(edit, "+");
  EXPECT_EQ(edit.Value(), 0);
}

TEST(IntegerEditTest, OutOfRangeAndForeignTextMeanZero) {
  IntegerEdit edit;
  edit.SetValue(9600);
  edit.setText("99999999999");
  EXPECT_EQ(edit.Value(), 0);
  EXPECT_EQ(edit.text(), "0");
  edit.setText("2147483647");
  EXPECT_EQ(edit.Value(), 2147483647);
  edit.setText("12ab");
  EXPECT_EQ(edit.Value(), 0);
}

TEST(IntegerEditTest, DigitsPadOnTheLeft) {
  IntegerEdit edit;
  edit.SetDigits(6);
  edit.SetValue(42);
  EXPECT_EQ(edit.text(), "000042");
  edit.SetValue(1234567);
  EXPECT_EQ(edit.text(), "1234567");
  EXPECT_EQ(IntegerEdit::Format(5, 0), "5");
}

TEST(IntegerEditTest, PasteTakesTheClipboardThroughTheConversion) {
  IntegerEdit edit;
  edit.SetValue(100);
  QApplication::clipboard()->setText("4096");
  Press(edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit.Value(), 4096);
  EXPECT_EQ(edit.text(), "4096");
  QApplication::clipboard()->setText("fast");
  Press(edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit.Value(), 0);
  EXPECT_EQ(edit.text(), "0");
}

}  // namespace
}  // namespace kestrel::test
