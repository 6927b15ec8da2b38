#pragma once
// The file browser of the "Файл" group box over the file system: a folder combo box and a folder
// tree that both drive a file list. The tree shows the folder the list shows, expanded down to it,
// selected and in view, and keeps it in view while the folders load until the user turns to the
// tree. Releasing any mouse button over the list, or Enter in it, makes a choice; moving the
// selection with the arrow keys does not. The list never renames or moves files.

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

class QComboBox;
class QFileSystemModel;
class QTreeView;

namespace kestrel {

class LocaleFileColumns;

class FileBrowser : public QObject {
  Q_OBJECT

 public:
  // Configures the three controls; `choose` runs for each choice made in the list.
  FileBrowser(QComboBox* folders, QTreeView* tree, QTreeView* list, std::function<void()> choose);

  // The tree's current folder; empty until one is chosen.
  QString Folder() const;
  // Shows `path` when it names an existing folder.
  void SetFolder(const QString& path);

  // The full path of the list's selected file, if one is selected.
  std::optional<std::string> SelectedFile() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Makes `path` the folder shown and the one Folder() gives.
  void Open(const QString& path);
  // Lists the files of `path` and its way down from the root in the combo box.
  void ShowFolder(const QString& path);
  void FillFolderChain(const QString& path);
  // Makes `path` the tree's current folder without opening it again, and brings it into view.
  void ShowInTree(const QString& path);
  // Expands the tree down to its current folder and scrolls it to the middle, while following.
  void RevealCurrent();

  QComboBox* folders_;
  QTreeView* tree_;
  QTreeView* list_;
  // Compared by address only: the filter also sees the views' last events while they are destroyed.
  QWidget* listViewport_;
  QWidget* treeViewport_;
  QFileSystemModel* folderModel_;
  QFileSystemModel* fileModel_;
  LocaleFileColumns* fileColumns_;  // what the list shows of fileModel_
  std::function<void()> choose_;
  QString folder_;
  bool enterDown_ = false;     // an Enter key went down in the list and has not come up yet
  bool movingTree_ = false;    // the tree's current folder is being set to match the list
  bool followCurrent_ = true;  // keep the tree's current folder in view until the user turns to the tree
  QTimer reveal_;              // brings the current folder into view once the tree has taken in a change
};

}  // namespace kestrel
