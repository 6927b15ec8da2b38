#include "buffer/forms/FileBrowser.h"

#include <QComboBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTreeView>
#include <utility>

#include "buffer/forms/LocaleFileColumns.h"
#include "widgets/FileNames.h"

namespace kestrel {

namespace {

constexpr int TreeIndent = 19;
constexpr int FolderComboLines = 8;
constexpr int ChainIndent = 2;  // blanks per level in the folder combo box

}  // namespace

FileBrowser::FileBrowser(QComboBox* folders, QTreeView* tree, QTreeView* list, std::function<void()> choose)
    : QObject(list),
      folders_(folders),
      tree_(tree),
      list_(list),
      listViewport_(list->viewport()),
      treeViewport_(tree->viewport()),
      folderModel_(new QFileSystemModel(this)),
      fileModel_(new QFileSystemModel(this)),
      fileColumns_(new LocaleFileColumns(this)),
      choose_(std::move(choose)) {
  folderModel_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot | QDir::Hidden);
  folderModel_->setOption(QFileSystemModel::DontWatchForChanges);
  folderModel_->setRootPath(QDir::rootPath());
  tree_->setModel(folderModel_);
  for (int column = 1; column < folderModel_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(false);
  tree_->setIndentation(TreeIndent);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!movingTree_) Open(folderModel_->filePath(current));
          });
  // The folders load in the background, and their rows push the current one about as they come.
  reveal_.setSingleShot(true);
  reveal_.setInterval(0);
  connect(&reveal_, &QTimer::timeout, this, &FileBrowser::RevealCurrent);
  connect(folderModel_, &QAbstractItemModel::rowsInserted, &reveal_, qOverload<>(&QTimer::start));
  connect(folderModel_, &QAbstractItemModel::layoutChanged, &reveal_, qOverload<>(&QTimer::start));
  treeViewport_->installEventFilter(this);
  tree_->installEventFilter(this);
  for (QScrollBar* bar : {tree_->verticalScrollBar(), tree_->horizontalScrollBar()})
    connect(bar, &QScrollBar::actionTriggered, this, [this] { followCurrent_ = false; });

  fileModel_->setFilter(QDir::Files | QDir::NoDotAndDotDot);
  // The list only chooses: no renaming in place, no moving by drag and drop.
  fileModel_->setReadOnly(true);
  fileColumns_->setSourceModel(fileModel_);
  list_->setModel(fileColumns_);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setExpandsOnDoubleClick(false);
  list_->setSortingEnabled(true);
  list_->sortByColumn(0, Qt::AscendingOrder);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->header()->setSectionsMovable(false);
  listViewport_->installEventFilter(this);
  list_->installEventFilter(this);

  folders_->setMaxVisibleItems(FolderComboLines);
  connect(folders_, &QComboBox::activated, this,
          [this](int item) { SetFolder(folders_->itemData(item).toString()); });

  // Until a folder is chosen the list shows the home folder, which stands for the desktop and,
  // like it, gives no folder path.
  ShowFolder(QDir::homePath());
  ShowInTree(QDir::homePath());
}

QString FileBrowser::Folder() const { return folder_; }

void FileBrowser::SetFolder(const QString& path) {
  if (path.isEmpty() || !QDir(path).exists()) return;
  const QString folder = QDir(path).absolutePath();
  Open(folder);
  ShowInTree(folder);
}

void FileBrowser::Open(const QString& path) {
  folder_ = path;
  ShowFolder(path);
}

void FileBrowser::ShowInTree(const QString& path) {
  {
    const QScopedValueRollback moving(movingTree_, true);
    tree_->setCurrentIndex(folderModel_->index(path));
  }
  followCurrent_ = true;
  RevealCurrent();
}

void FileBrowser::RevealCurrent() {
  if (followCurrent_ && tree_->currentIndex().isValid())
    tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void FileBrowser::ShowFolder(const QString& path) {
  list_->setRootIndex(fileColumns_->mapFromSource(fileModel_->setRootPath(path)));
  list_->clearSelection();
  FillFolderChain(path);
}

// The combo box lists the way from the file system's root down to the folder shown.
void FileBrowser::FillFolderChain(const QString& path) {
  QStringList chain;
  for (QDir dir(path);;) {
    chain.prepend(dir.absolutePath());
    if (dir.isRoot() || !dir.cdUp()) break;
  }
  const QFileIconProvider icons;
  const QSignalBlocker quiet(folders_);
  folders_->clear();
  for (int depth = 0; depth < chain.size(); ++depth) {
    const QFileInfo info(chain[depth]);
    const QString name = depth == 0 ? QDir::toNativeSeparators(chain[depth]) : info.fileName();
    folders_->addItem(icons.icon(info), QString(depth * ChainIndent, QLatin1Char(' ')) + name, chain[depth]);
  }
  folders_->setCurrentIndex(static_cast<int>(chain.size()) - 1);
}

std::optional<std::string> FileBrowser::SelectedFile() const {
  for (const QModelIndex& index : list_->selectionModel()->selectedRows())
    return CoreFileName(fileModel_->filePath(fileColumns_->mapToSource(index)));
  return std::nullopt;
}

bool FileBrowser::eventFilter(QObject* watched, QEvent* event) {
  if (watched == treeViewport_ || watched == tree_) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::Wheel || type == QEvent::KeyPress)
      followCurrent_ = false;
    if (type == QEvent::Resize) reveal_.start();
  } else if (watched == listViewport_) {
    // A press on an empty part of the list leaves no file selected.
    if (event->type() == QEvent::MouseButtonPress &&
        !list_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).isValid())
      list_->clearSelection();
    if (event->type() == QEvent::MouseButtonRelease) choose_();
  } else if (watched == list_ && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
      // Only an Enter that went down in the list chooses when it comes up: the one that closed a
      // box the last choice showed must not choose again.
      const bool wentDownHere = std::exchange(enterDown_, event->type() == QEvent::KeyPress);
      if (event->type() == QEvent::KeyRelease && wentDownHere) choose_();
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kestrel
