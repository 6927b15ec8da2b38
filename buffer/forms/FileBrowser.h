#pragma once
// The file browser of the "Файл" group box over the file system: a folder combo box and a folder
// tree that both drive a file list. Releasing any mouse button over the list, or Enter in it,
// makes a choice; moving the selection with the arrow keys does not. The list never renames or
// moves files.

#include <QObject>
#include <QString>
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
  // Lists the files of `path` and its way down from the root in the combo box.
  void ShowFolder(const QString& path);
  void FillFolderChain(const QString& path);

  QComboBox* folders_;
  QTreeView* tree_;
  QTreeView* list_;
  // Compared by address only: the filter also sees the list's last events while it is destroyed.
  QWidget* listViewport_;
  QFileSystemModel* folderModel_;
  QFileSystemModel* fileModel_;
  LocaleFileColumns* fileColumns_;  // what the list shows of fileModel_
  std::function<void()> choose_;
  QString folder_;
  bool enterDown_ = false;  // an Enter key went down in the list and has not come up yet
};

}  // namespace kestrel
