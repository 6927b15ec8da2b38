#pragma once
// The port field: an editable drop-down whose list offers the serial ports present now, each
// with what the system knows of it, read again each time the list opens. The field keeps any
// name typed into it as it is; choosing from the list only fills it in.

#include <QComboBox>

class QStandardItemModel;
class QTreeView;

namespace kestrel {

class PortComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit PortComboBox(QWidget* parent = nullptr);

  void showPopup() override;

 private:
  void FillList();

  QStandardItemModel* ports_;  // the port's name as the field takes it, then its detail
  QTreeView* list_;
};

}  // namespace kestrel
