#include <gtest/gtest.h>

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <set>

#include "buffer/forms/HexGridModel.h"
#include "buffer/forms/THexGrid.h"
#include "tests/buffer/QtApp.h"
#include "tests/support/FakeView.h"

using namespace kestrel;

namespace {

class GridWidget : public ::testing::Test {
 protected:
  GridWidget() {
    box.resize(600, 400);
    box.show();
    WaitFor([&] { return box.isVisible(); });
  }

  void Load(Bytes bytes) {
    t.image.Assign(std::move(bytes));
    grid.FormatGrid();
  }

  QString Cell(int gridRow, int gridColumn) const {
    return grid.Model().CellText(gridRow - 1, gridColumn - 1);
  }
  QString Label(int gridRow) const {
    return grid.model()->headerData(gridRow - 1, Qt::Vertical, Qt::DisplayRole).toString();
  }
  QString Header(int gridColumn) const {
    return grid.model()->headerData(gridColumn - 1, Qt::Horizontal, Qt::DisplayRole).toString();
  }

  void Select(int gridRow, int gridColumn) {
    grid.setCurrentIndex(grid.model()->index(gridRow - 1, gridColumn - 1));
  }
  GridCell Current() const { return {grid.currentIndex().row() + 1, grid.currentIndex().column() + 1}; }

  static void Press(QWidget* target, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
  }
  // Types `text` the way a user would: the first key on the grid opens the editor.
  void Type(const QString& text) {
    for (QChar c : text) Press(Editor() ? static_cast<QWidget*>(Editor()) : &grid, c.toUpper().unicode(), c);
  }
  void Enter() { Press(Editor() ? static_cast<QWidget*>(Editor()) : &grid, Qt::Key_Return, "\r"); }
  QLineEdit* Editor() const {
    for (QLineEdit* editor : grid.viewport()->findChildren<QLineEdit*>())
      if (editor->isVisible()) return editor;
    return nullptr;
  }

  FakeImage t;
  QWidget box;
  THexGrid grid{t.image, &box};
};

}  // namespace

TEST_F(GridWidget, ShowsBytesRowsAndLabels) {
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(Header(1), "");  // the header row is written by the first FormatGrid
  EXPECT_EQ(Label(1), "0");

  Load({0x00, 0x0A, 0x10, 0xAB, 0xFF});
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(Header(1), "0");
  EXPECT_EQ(Header(11), "A");
  EXPECT_EQ(Header(16), "F");
  EXPECT_EQ((std::vector<QString>{Cell(1, 1), Cell(1, 2), Cell(1, 3), Cell(1, 4), Cell(1, 5), Cell(1, 6)}),
            (std::vector<QString>{"00", "0A", "10", "AB", "FF", ""}));
  EXPECT_EQ(Cell(2, 1), "");
  EXPECT_EQ(Label(2), "1");

  Load(Bytes(16, 1));
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(Cell(1, 16), "01");
  Load(Bytes(17, 2));
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(Cell(2, 1), "02");
  EXPECT_EQ(Cell(2, 2), "");

  Load(Bytes(4096, 3));
  EXPECT_EQ(grid.RowCount(), 257);
  EXPECT_EQ(Label(17), "10");
  EXPECT_EQ(Label(257), "100");
  Load({});
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(Cell(1, 1), "");
}

TEST_F(GridWidget, DeclaredLook) {
  Load(Bytes(5, 0));
  EXPECT_EQ(grid.objectName(), "StringGrid1");
  EXPECT_EQ(grid.geometry(), QRect(5, 15, 590, 380));
  EXPECT_EQ(grid.layoutDirection(), Qt::RightToLeft);
  EXPECT_EQ(grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(grid.model()->columnCount(), 16);
  // Column width (590 - 17 - 32) / 16 - 1 = 32, row height 15 and label column 32, each with its
  // grid line.
  EXPECT_EQ(grid.horizontalHeader()->sectionSize(0), 33);
  EXPECT_EQ(grid.verticalHeader()->sectionSize(0), 16);
  EXPECT_EQ(grid.verticalHeader()->width(), 33);
  EXPECT_EQ(grid.horizontalHeader()->height(), 16);
  // The label column stands at the right edge, the column headed 0 next to it.
  EXPECT_GT(grid.verticalHeader()->x(), grid.columnViewportPosition(0));
  EXPECT_GT(grid.columnViewportPosition(0), grid.columnViewportPosition(15));
  // Fixed cells are pale yellow.
  for (QHeaderView* header : {grid.horizontalHeader(), grid.verticalHeader()}) {
    const int along = header->sectionViewportPosition(0) + 4;
    const QPoint inside = header->orientation() == Qt::Horizontal ? QPoint(along, 4) : QPoint(4, along);
    EXPECT_EQ(header->grab().toImage().pixelColor(inside), QColor(255, 255, 166));
  }
}

TEST_F(GridWidget, TypedBytesCommitWithEnter) {
  Load(Bytes(17, 0xAA));
  Select(1, 1);
  Type("5");
  ASSERT_NE(Editor(), nullptr);
  EXPECT_EQ(Editor()->text(), "5");
  Enter();
  EXPECT_EQ(t.image.DataBuffer()[0], 0x05);
  EXPECT_TRUE(t.image.BufferModified());
  EXPECT_EQ(Current(), (GridCell{1, 2}));
  EXPECT_EQ(Cell(1, 1), "05");

  Type("ff");
  Enter();
  EXPECT_EQ(t.image.DataBuffer()[1], 0xFF);
  EXPECT_EQ(Cell(1, 2), "FF");

  // An emptied cell stores 0.
  Press(&grid, Qt::Key_F2);
  ASSERT_NE(Editor(), nullptr);
  Editor()->clear();
  Enter();
  EXPECT_EQ(t.image.DataBuffer()[2], 0x00);
  EXPECT_EQ(Current(), (GridCell{1, 4}));

  // Enter without editing commits the cell's own text.
  t.image.Edit(3, 0x3C);
  Enter();
  EXPECT_EQ(t.image.DataBuffer()[3], 0x3C);
  EXPECT_EQ(Current(), (GridCell{1, 5}));
}

TEST_F(GridWidget, CursorWrapsAtTheColumnHeadedF) {
  Load(Bytes(17, 0));
  Select(1, 16);
  Enter();
  EXPECT_EQ(Current(), (GridCell{2, 1}));
  Select(2, 16);
  Enter();
  EXPECT_EQ(Current(), (GridCell{2, 1}));
}

TEST_F(GridWidget, KeyFilterLetsOnlyHexDigitsIn) {
  Load(Bytes(4, 0));
  Select(1, 1);
  Type("g");
  EXPECT_EQ(Editor(), nullptr);
  Type(" ");
  EXPECT_EQ(Editor(), nullptr);
  Type("A");
  ASSERT_NE(Editor(), nullptr);
  Type("z.");
  EXPECT_EQ(Editor()->text(), "A");
  Editor()->clear();
  Type("a");
  Type("Q");
  EXPECT_EQ(Editor()->text(), "a");
  Enter();
  EXPECT_EQ(t.image.DataBuffer()[0], 0x0A);
}

TEST_F(GridWidget, UncommittedTextIsDroppedWhenTheCursorMoves) {
  Load(Bytes(4, 0x11));
  Select(1, 2);
  Type("7");
  ASSERT_NE(Editor(), nullptr);
  Select(1, 3);
  WaitFor([&] { return Editor() == nullptr; });
  EXPECT_EQ(t.image.DataBuffer(), Bytes(4, 0x11));
  EXPECT_FALSE(t.image.BufferModified());
  EXPECT_EQ(Cell(1, 2), "11");
}

TEST_F(GridWidget, CommitPastTheEndWritesNothing) {
  Load(Bytes(5, 0x11));
  Select(1, 6);
  Type("ff");
  Enter();
  EXPECT_EQ(t.image.DataBuffer(), Bytes(5, 0x11));
  EXPECT_FALSE(t.image.BufferModified());
  EXPECT_EQ(Current(), (GridCell{1, 7}));
  Select(2, 1);
  Enter();
  EXPECT_EQ(t.image.DataBuffer(), Bytes(5, 0x11));
}

TEST_F(GridWidget, RefreshTouchesOnlyTheRowsInViewAndOnlyWhenTheViewChanged) {
  std::vector<std::pair<int, int>> refreshed;
  QObject::connect(grid.model(), &QAbstractItemModel::dataChanged,
                   [&](const QModelIndex& first, const QModelIndex& last) {
                     refreshed.emplace_back(first.row(), last.row());
                   });
  Load(Bytes(524287, 0x5A));
  EXPECT_EQ(grid.RowCount(), 32769);
  ASSERT_EQ(refreshed.size(), 1u);
  const int visible = refreshed[0].second - refreshed[0].first + 1;
  EXPECT_EQ(refreshed[0].first, 0);
  // Every row in view, the partly visible last one too.
  EXPECT_EQ(visible, (grid.viewport()->height() + 15) / 16);

  grid.RefreshGridCells();
  EXPECT_EQ(refreshed.size(), 1u);

  grid.verticalScrollBar()->setValue(20000);
  grid.RefreshGridCells();
  ASSERT_EQ(refreshed.size(), 2u);
  EXPECT_EQ(refreshed[1].first, grid.rowAt(0));
  EXPECT_EQ(refreshed[1].second - refreshed[1].first + 1, visible);

  // FormatGrid refreshes the view even when nothing about it changed.
  grid.FormatGrid();
  EXPECT_EQ(refreshed.size(), 3u);
  // So does selecting a cell.
  Select(20001, 1);
  EXPECT_EQ(refreshed.size(), 4u);
}

TEST_F(GridWidget, ChangedBytesRedrawOnlyTheirRowsInViewThePartlyVisibleLastOneToo) {
  Load(Bytes(524287, 0x5A));
  std::vector<std::pair<int, int>> refreshed;
  QObject::connect(grid.model(), &QAbstractItemModel::dataChanged,
                   [&](const QModelIndex& first, const QModelIndex& last) {
                     refreshed.emplace_back(first.row(), last.row());
                   });
  const auto store = [&](std::size_t address, std::size_t count) {
    t.image.Store(static_cast<std::uint32_t>(address), Bytes(count, 0xA5));
    grid.BytesChanged(address, count);
  };
  const int inView = (grid.viewport()->height() + 15) / 16;
  store(20, 5);
  store(std::size_t(inView - 2) * 16 + 8, 224);  // from the last row but one far beyond the view
  store(0x40000, 224);                           // out of view
  EXPECT_EQ(refreshed, (std::vector<std::pair<int, int>>{{1, 1}, {inView - 2, inView - 1}}));
  EXPECT_EQ(Cell(0x40000 / 16 + 1, 1), "A5");
}

TEST_F(GridWidget, PaintsBytesBlanksAndTheSelection) {
  Load({0x12, 0x34, 0x56, 0x78, 0x9A});
  Select(1, 1);
  const QImage image = grid.viewport()->grab().toImage();
  const QColor base = grid.palette().color(QPalette::Base);
  const auto colours = [&](int gridRow, int gridColumn) {
    const QRect cell =
        grid.visualRect(grid.model()->index(gridRow - 1, gridColumn - 1)).adjusted(2, 2, -2, -2);
    std::set<QRgb> seen;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
      for (int x = cell.left(); x <= cell.right(); ++x) seen.insert(image.pixel(x, y));
    return seen;
  };
  EXPECT_GT(colours(1, 2).size(), 1u);                   // "34" drawn on the base colour
  EXPECT_EQ(colours(1, 6), std::set<QRgb>{base.rgb()});  // past the end: blank
  EXPECT_EQ(colours(2, 1), std::set<QRgb>{base.rgb()});  // the empty row
  EXPECT_TRUE(colours(1, 1).count(grid.palette().color(QPalette::Highlight).rgb()));  // selected
}
