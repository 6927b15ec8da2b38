// The about window's information lines and layout, and the hyperlink label TUrl.

#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "app/TForm7.h"
#include "app/TUrl.h"
#include "tests/app/AppFixture.h"

namespace kestrel::test {
namespace {

// Stands in for the desktop: takes the file URLs the program asks it to open.
class DesktopStandIn : public QObject {
  Q_OBJECT

 public:
  DesktopStandIn() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
  ~DesktopStandIn() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

  std::vector<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.push_back(url); }
};

// Counts OpenUrl instead of asking the desktop.
class CountingUrl : public TUrl {
 public:
  int opens = 0;
  bool OpenUrl() override {
    ++opens;
    return true;
  }
};

std::vector<QLabel*> Lines(const TForm7& form) {
  std::vector<QLabel*> lines;
  for (QLabel* label : form.findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
    if (label != form.Url1) lines.push_back(label);
  return lines;
}

TEST(AboutWindowTest, DesignedLayoutWithoutLines) {
  TForm7 form;
  EXPECT_EQ(Form7, &form);
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("О программаторе"));
  EXPECT_EQ(form.size(), QSize(415, 250));
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(0xFF, 0xFB, 0xF0));
  EXPECT_EQ(form.Button1->geometry(), QRect(208, 216, 75, 25));
  EXPECT_EQ(form.Button1->text(), "Ok");
  EXPECT_EQ(form.Url1->pos(), QPoint(128, 224));
  EXPECT_EQ(form.Url1->text(), QString::fromUtf8("Помощь"));
  EXPECT_EQ(form.Url1->URL(), "help/ruka.htm");
  EXPECT_EQ(form.Url1->toolTip(), "help/ruka.htm");
  EXPECT_EQ(form.Url1->FontColor(), QColor(0, 0, 0xFF));
  EXPECT_EQ(form.Url1->FontStyle(), TFontStyles(fsUnderline));
  EXPECT_EQ(form.InfoLabelCount, 0);
  EXPECT_TRUE(Lines(form).empty());
}

TEST(AboutWindowTest, LinesStandInAColumnAndTheWindowFitsThem) {
  TForm7 form;
  form.CreateInfoLabels(3);
  ASSERT_EQ(form.InfoLabelCount, 3);
  ASSERT_EQ(form.InfoLabels.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(form.InfoLabels[i]->pos(), QPoint(30, 40 + 30 * i));
    EXPECT_EQ(form.InfoLabels[i]->text(), QString::fromUtf8("Пока это неизвестная надпись!"));
  }
  EXPECT_EQ(form.Button1->y(), 150);
  EXPECT_EQ(form.Url1->y(), 150);
  EXPECT_EQ(form.frameGeometry().height(), 220);

  // Two lines, one of which arrives; lines past the count touch nothing.
  form.CreateInfoLabels(2);
  EXPECT_EQ(Lines(form).size(), 2u);
  form.SetInfoLine(0, QString::fromUtf8("Версия 2.1"));
  form.SetInfoLine(2, "beyond");
  form.SetInfoLine(-1, "before");
  EXPECT_EQ(form.InfoLabels[0]->text(), QString::fromUtf8("Версия 2.1"));
  EXPECT_EQ(form.InfoLabels[1]->text(), QString::fromUtf8("Пока это неизвестная надпись!"));
  EXPECT_EQ(form.Button1->y(), 120);
  EXPECT_EQ(form.frameGeometry().height(), 190);

  // None: the labels go, the button, link and height stay.
  form.CreateInfoLabels(0);
  EXPECT_TRUE(Lines(form).empty());
  EXPECT_EQ(form.InfoLabelCount, 0);
  EXPECT_EQ(form.Button1->y(), 120);
  EXPECT_EQ(form.frameGeometry().height(), 190);
  form.SetInfoLine(0, "late");
  EXPECT_TRUE(Lines(form).empty());
}

TEST(AboutWindowTest, OkClosesWithTheOkResult) {
  TForm7 form;
  QTimer::singleShot(0, &form, [&form] { form.Button1->click(); });
  EXPECT_EQ(form.exec(), QDialog::Accepted);
}

TEST(UrlTest, CaptionAndHintFollowTheUrlUntilSetToSomethingElse) {
  TUrl url;
  url.SetURL("a.htm");
  EXPECT_EQ(url.text(), "a.htm");
  EXPECT_EQ(url.toolTip(), "a.htm");
  url.SetURL("b.htm");
  EXPECT_EQ(url.text(), "b.htm");
  EXPECT_EQ(url.toolTip(), "b.htm");

  url.setText("Help");
  url.setToolTip("Open the help");
  url.SetURL("c.htm");
  EXPECT_EQ(url.URL(), "c.htm");
  EXPECT_EQ(url.text(), "Help");
  EXPECT_EQ(url.toolTip(), "Open the help");

  // Hints not shown: the hint is left alone.
  TUrl quiet;
  quiet.ShowHint = false;
  quiet.SetURL("d.htm");
  EXPECT_EQ(quiet.text(), "d.htm");
  EXPECT_TRUE(quiet.toolTip().isEmpty());

  // Setting the same URL again changes nothing.
  url.setText("c.htm");
  url.setText("kept");
  url.SetURL("c.htm");
  EXPECT_EQ(url.text(), "kept");
}

TEST(UrlTest, ClickOpensTheLinkOnlyWithoutAClickHandler) {
  CountingUrl url;
  url.SetURL("help/ruka.htm");
  url.resize(50, 17);
  const QPointF inside(3, 3);
  QMouseEvent release(QEvent::MouseButtonRelease, inside, url.mapToGlobal(inside), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&url, &release);
  EXPECT_EQ(url.opens, 1);

  int handled = 0;
  url.OnClick = [&handled](TUrl*) { ++handled; };
  url.Click();
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(url.opens, 1);
}

TEST(UrlTest, OpenUrlFindsTheHelpPageAndReportsFailures) {
  DesktopStandIn desktop;
  TUrl url;
  std::vector<std::pair<QString, int>> failures;
  url.OnUrlFailed = [&failures](TUrl*, const QString& target, int code) {
    failures.emplace_back(target, code);
  };

  // Empty: nothing happens and nothing is raised.
  EXPECT_FALSE(url.OpenUrl());
  url.Click();
  EXPECT_TRUE(desktop.opened.empty());
  EXPECT_TRUE(failures.empty());

  url.SetURL("help/ruka.htm");
  EXPECT_TRUE(url.OpenUrl());
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_TRUE(desktop.opened[0].isLocalFile());
  EXPECT_TRUE(desktop.opened[0].toLocalFile().endsWith("help/ruka.htm"));
  EXPECT_TRUE(QFileInfo(desktop.opened[0].toLocalFile()).isFile());

  url.SetURL("help/missing.htm");
  EXPECT_FALSE(url.OpenUrl());
  EXPECT_EQ(failures, (std::vector<std::pair<QString, int>>{{"help/missing.htm", TUrl::ErrorFileNotFound}}));
  EXPECT_EQ(desktop.opened.size(), 1u);
}

TEST(UrlTest, ActiveLookWhileTheMouseIsOver) {
  QWidget form;
  QFont formFont("DejaVu Serif");
  form.setFont(formFont);
  TUrl url(&form);
  EXPECT_EQ(url.font().family(), form.font().family());
  EXPECT_EQ(url.FontColor(), QColor(0, 0, 0x80));
  EXPECT_EQ(url.FontStyle(), 0u);
  EXPECT_EQ(url.cursor().shape(), Qt::PointingHandCursor);

  std::vector<std::string> events;
  url.OnMouseEnter = [&events](TUrl*) { events.push_back("enter"); };
  url.OnMouseLeave = [&events](TUrl*) { events.push_back("leave"); };
  url.ActiveLinkColor = QColor(0xFF, 0, 0);
  url.ActiveLinkStyle = fsBold | fsUnderline;
  url.SetFontStyle(fsItalic);

  url.MouseEnter();
  EXPECT_EQ(url.FontColor(), QColor(0xFF, 0, 0));
  EXPECT_EQ(url.FontStyle(), TFontStyles(fsBold | fsUnderline));
  url.MouseLeave();
  EXPECT_EQ(url.FontColor(), QColor(0, 0, 0x80));
  EXPECT_EQ(url.FontStyle(), TFontStyles(fsItalic));
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave"}));
}

}  // namespace
}  // namespace kestrel::test

#include "about_test.moc"
