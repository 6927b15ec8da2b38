#include "app/PortComboBox.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTreeView>

#include "link/PortList.h"

namespace kestrel {

PortComboBox::PortComboBox(QWidget* parent)
    : QComboBox(parent), ports_(new QStandardItemModel(0, 2, this)), list_(new QTreeView) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // A name being typed is not completed from the list.
  setCompleter(nullptr);
  setModel(ports_);
  list_->setHeaderHidden(true);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setAllColumnsShowFocus(true);
  setView(list_);
}

void PortComboBox::showPopup() {
  FillList();
  QComboBox::showPopup();
}

void PortComboBox::FillList() {
  const QString typed = currentText();
  ports_->removeRows(0, ports_->rowCount());
  for (const PortEntry& port : PresentPorts())
    ports_->appendRow({new QStandardItem(QString::fromStdString(port.name).toUpper()),
                       new QStandardItem(QString::fromStdString(port.detail))});
  // Emptying the list empties the field; what the user had there stays.
  setCurrentIndex(findText(typed));
  setEditText(typed);
  // The list is as wide as its names and details, with a gap between them, not just as the field.
  const QAbstractItemView* view = list_;
  const int gap = 2 * list_->fontMetrics().averageCharWidth();
  list_->header()->resizeSection(0, view->sizeHintForColumn(0) + gap);
  list_->setMinimumWidth(list_->header()->sectionSize(0) + view->sizeHintForColumn(1) +
                         2 * list_->frameWidth());
}

}  // namespace kestrel
