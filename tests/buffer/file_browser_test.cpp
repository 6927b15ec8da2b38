#include "buffer/forms/FileBrowser.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTreeView>

#include "tests/buffer/QtApp.h"
#include "tests/buffer/ScratchFiles.h"

using namespace kestrel;

namespace {

class Browser : public ::testing::Test {
 protected:
  Browser() {
    std::filesystem::create_directory(dir.File("sub"));
    WriteFile(dir.File("b.bin"), Bytes{1});
    WriteFile(dir.File("a.hex"), Bytes{2});
    WriteFile(dir.File("sub/c.bin"), Bytes{3});
    window.resize(400, 600);
    tree->setGeometry(0, 30, 400, 200);
    list->setGeometry(0, 240, 400, 300);
    window.show();
    browser.SetFolder(Folder());
    // The list sorts once the folder is read.
    EXPECT_TRUE(WaitFor([&] { return Rows() == 2 && RowName(0) == "a.hex"; }));
  }

  QString Folder(const std::string& sub = {}) const {
    return QDir(QString::fromStdString(dir.Path().string() + sub)).absolutePath();
  }
  int Rows() const { return list->model()->rowCount(list->rootIndex()); }
  std::string RowName(int row) const {
    return list->model()->index(row, 0, list->rootIndex()).data().toString().toStdString();
  }
  void SelectRow(int row) { list->setCurrentIndex(list->model()->index(row, 0, list->rootIndex())); }

  void Click(QPoint at, Qt::MouseButton button) {
    QMouseEvent press(QEvent::MouseButtonPress, at, list->viewport()->mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, list->viewport()->mapToGlobal(at), button,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &release);
  }
  void Key(int key) {
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
      QKeyEvent event(type, key, Qt::NoModifier);
      QApplication::sendEvent(list, &event);
    }
  }

  ScratchDir dir;
  QWidget window;
  QComboBox* folders = new QComboBox(&window);
  QTreeView* tree = new QTreeView(&window);
  QTreeView* list = new QTreeView(&window);
  int choices = 0;
  FileBrowser browser{folders, tree, list, [this] { ++choices; }};
};

}  // namespace

TEST_F(Browser, ListsTheFolderSortedFilesOnly) {
  EXPECT_EQ(browser.Folder(), Folder());
  EXPECT_EQ(RowName(1), "b.bin");
  EXPECT_EQ(folders->currentData().toString(), Folder());
  EXPECT_LE(folders->count(), 1 + static_cast<int>(std::distance(dir.Path().begin(), dir.Path().end())));

  browser.SetFolder(Folder("/sub"));
  EXPECT_EQ(browser.Folder(), Folder("/sub"));
  ASSERT_TRUE(WaitFor([&] { return Rows() == 1 && RowName(0) == "c.bin"; }));
  // A folder that does not exist changes nothing.
  browser.SetFolder(Folder("/missing"));
  EXPECT_EQ(browser.Folder(), Folder("/sub"));
  // Choosing an ancestor in the combo box shows it.
  folders->activated(folders->count() - 2);
  EXPECT_EQ(browser.Folder(), Folder());
}

// The tree shows the list's folder selected, expanded down to it and in view, also once the folders
// on the way (the root's many among them) have loaded and pushed it about; and so again when the
// combo box changes the folder.
TEST_F(Browser, TreeShowsTheCurrentFolderInViewOnceTheFoldersHaveLoaded) {
  const auto* folderModel = qobject_cast<const QFileSystemModel*>(tree->model());
  ASSERT_NE(folderModel, nullptr);
  const auto shown = [&](const QString& path) {
    const QModelIndex current = tree->currentIndex();
    if (folderModel->filePath(current) != path || !tree->selectionModel()->isSelected(current)) return false;
    for (QModelIndex up = current.parent(); up.isValid(); up = up.parent())
      if (!tree->isExpanded(up)) return false;
    return tree->viewport()->rect().contains(tree->visualRect(current));
  };
  // Every folder on the way holds in the tree the folders it holds on disk.
  const auto loaded = [&](const QString& path) {
    for (QDir up(path); !up.isRoot() && up.cdUp();) {
      const auto subfolders = up.entryList(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden).size();
      if (folderModel->rowCount(folderModel->index(up.absolutePath())) != subfolders) return false;
    }
    return true;
  };

  ASSERT_TRUE(WaitFor([&] { return loaded(Folder()); }));
  EXPECT_TRUE(WaitFor([&] { return shown(Folder()); }));

  // From the top of the tree, a folder chosen in the combo box comes into view again.
  tree->scrollToTop();
  folders->activated(folders->count() - 2);
  const QString parent = QFileInfo(Folder()).absolutePath();
  EXPECT_EQ(browser.Folder(), parent);
  EXPECT_TRUE(WaitFor([&] { return loaded(parent) && shown(parent); }));
}

TEST_F(Browser, MouseUpAndEnterChooseArrowsDoNot) {
  EXPECT_FALSE(browser.SelectedFile());
  SelectRow(1);
  EXPECT_EQ(browser.SelectedFile(), dir.File("b.bin"));
  EXPECT_EQ(choices, 0);

  Key(Qt::Key_Down);
  EXPECT_EQ(choices, 0);
  Key(Qt::Key_Return);
  EXPECT_EQ(choices, 1);

  // Any button makes a choice; a press on the first row selects it.
  const QPoint firstRow = list->visualRect(list->model()->index(0, 0, list->rootIndex())).center();
  Click(firstRow, Qt::RightButton);
  EXPECT_EQ(choices, 2);
  EXPECT_EQ(browser.SelectedFile(), dir.File("a.hex"));
  // A press on an empty part of the list leaves nothing selected, and still chooses.
  Click(QPoint(10, list->viewport()->height() - 5), Qt::LeftButton);
  EXPECT_EQ(choices, 3);
  EXPECT_FALSE(browser.SelectedFile());
}
