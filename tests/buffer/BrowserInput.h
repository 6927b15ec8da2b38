#pragma once
// Choices in the main window's file browser, made as the user makes them.

#include <QApplication>
#include <QMouseEvent>
#include <QTreeView>
#include <string>

namespace kestrel::test {

// The row of the file `name` in the list; invalid while the list does not show it.
inline QModelIndex BrowserRow(const QTreeView* list, const std::string& name) {
  for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
    const QModelIndex index = list->model()->index(row, 0, list->rootIndex());
    if (index.data().toString().toStdString() == name) return index;
  }
  return {};
}

// A press and a release of the left button at `at` in the list.
inline void ClickBrowser(QTreeView* list, QPoint at) {
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &event);
  }
}

// Clicks the file `name`.
inline void ChooseInBrowser(QTreeView* list, const std::string& name) {
  ClickBrowser(list, list->visualRect(BrowserRow(list, name)).center());
}

// Clicks below the last file.
inline void ClickEmptyPartOfBrowser(QTreeView* list) {
  ClickBrowser(list, {10, list->viewport()->height() - 5});
}

}  // namespace kestrel::test
