// The main window's layout: the computation for several sizes, to the pixel, and the real window.

#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

#include "app/Layout.h"
#include "app/TForm1.h"
#include "tests/app/AppFixture.h"

namespace kestrel::test {
namespace {

MainWindowMetrics Metrics(int width, int height) {
  return {.clientWidth = width,
          .clientHeight = height,
          .statusBarHeight = 19,
          .toolBarHeight = 29,
          .toolBarBottom = 29,
          .comboBoxHeight = 22};
}

TEST(LayoutTest, DeclaredSize800x600) {
  const MainWindowLayout l = ComputeMainWindowLayout(Metrics(800, 600));
  EXPECT_EQ(l.GroupBox1, (Box{5, 34, 261, 542}));
  EXPECT_EQ(l.ShellComboBox1, (Box{5, 15, 251, 22}));
  EXPECT_EQ(l.ShellTreeView1, (Box{5, 42, 251, 190}));
  EXPECT_EQ(l.ShellListView1, (Box{5, 237, 251, 300}));
  EXPECT_EQ(l.GroupBox2, (Box{271, 34, 155, 358}));
  EXPECT_EQ(l.ListBox1, (Box{5, 15, 145, 338}));
  EXPECT_EQ(l.GroupBox3, (Box{271, 397, 155, 179}));
  EXPECT_EQ(l.ListBox2, (Box{5, 15, 145, 159}));
  EXPECT_EQ(l.GroupBox4, (Box{431, 34, 364, 542}));
}

TEST(LayoutTest, Size1024x768RoundsEveryDivisionDown) {
  const MainWindowLayout l = ComputeMainWindowLayout(Metrics(1024, 768));
  EXPECT_EQ(l.GroupBox1, (Box{5, 34, 336, 710}));
  EXPECT_EQ(l.ShellTreeView1, (Box{5, 42, 326, 256}));
  EXPECT_EQ(l.ShellListView1, (Box{5, 303, 326, 402}));
  EXPECT_EQ(l.GroupBox2, (Box{346, 34, 199, 470}));
  EXPECT_EQ(l.ListBox1, (Box{5, 15, 189, 450}));
  EXPECT_EQ(l.GroupBox3, (Box{346, 509, 199, 235}));
  EXPECT_EQ(l.ListBox2, (Box{5, 15, 189, 215}));
  EXPECT_EQ(l.GroupBox4, (Box{550, 34, 469, 710}));
}

TEST(LayoutTest, MarginsHoldForOddSizes) {
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1279, 799}, {1921, 1053}, {641, 481}}) {
    const MainWindowLayout l = ComputeMainWindowLayout(Metrics(w, h));
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    EXPECT_EQ(l.GroupBox4.right(), w - 5);
    EXPECT_EQ(l.GroupBox1.bottom(), h - 19 - 5);
    EXPECT_EQ(l.GroupBox4.bottom(), l.GroupBox1.bottom());
    EXPECT_EQ(l.GroupBox2.left, l.GroupBox1.right() + 5);
    EXPECT_EQ(l.GroupBox3.top, l.GroupBox2.bottom() + 5);
    EXPECT_EQ(l.ShellListView1.bottom(), l.GroupBox1.height - 5);
  }
}

TEST(LayoutTest, TinyWindowGivesNegativeSizes) {
  const MainWindowLayout l = ComputeMainWindowLayout(Metrics(40, 60));
  EXPECT_EQ(l.GroupBox1, (Box{5, 34, 8, 2}));
  EXPECT_LT(l.ShellTreeView1.height, 0);
  EXPECT_LT(l.ListBox1.height, 0);
}

using MainWindowLayoutTest = ShellTest;

TEST_F(MainWindowLayoutTest, RealWindowFollowsItsSizeToThePixel) {
  StartProgram();
  Form1->show();
  Form1->resize(1024, 768);
  QCoreApplication::processEvents();
  ASSERT_EQ(Form1->size(), QSize(1024, 768));
  EXPECT_EQ(Form1->ToolBar1->geometry(), QRect(0, 0, 1024, 29));
  EXPECT_EQ(Form1->StatusBar1->geometry(), QRect(0, 749, 1024, 19));
  EXPECT_EQ(Form1->GroupBox1->geometry(), QRect(5, 34, 336, 710));
  EXPECT_EQ(Form1->ShellComboBox1->geometry(), QRect(5, 15, 326, 22));
  EXPECT_EQ(Form1->ShellTreeView1->geometry(), QRect(5, 42, 326, 256));
  EXPECT_EQ(Form1->ShellListView1->geometry(), QRect(5, 303, 326, 402));
  EXPECT_EQ(Form1->GroupBox2->geometry(), QRect(346, 34, 199, 470));
  EXPECT_EQ(Form1->ListBox1->geometry(), QRect(5, 15, 189, 450));
  EXPECT_EQ(Form1->GroupBox3->geometry(), QRect(346, 509, 199, 235));
  EXPECT_EQ(Form1->ListBox2->geometry(), QRect(5, 15, 189, 215));
  EXPECT_EQ(Form1->GroupBox4->geometry(), QRect(550, 34, 469, 710));

  Form1->resize(800, 600);
  QCoreApplication::processEvents();
  EXPECT_EQ(Form1->GroupBox3->geometry(), QRect(271, 397, 155, 179));
  EXPECT_EQ(Form1->GroupBox4->geometry(), QRect(431, 34, 364, 542));

  // Once the window is closing, a resize lays nothing out.
  Form1->LayoutReady = false;
  Form1->resize(1024, 768);
  QCoreApplication::processEvents();
  EXPECT_EQ(Form1->GroupBox4->geometry(), QRect(431, 34, 364, 542));
}

}  // namespace
}  // namespace kestrel::test
