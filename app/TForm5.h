#pragma once
// The command queue's progress window: small, borderless, shown while commands wait.

#include <QDialog>

class QLabel;
class QProgressBar;

namespace kestrel {

class TForm5 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm5(QWidget* parent = nullptr);
  ~TForm5() override;

  // The bar shows `position` of `maximum` commands still waiting.
  void SetQueueProgress(int maximum, int position);
  // Shown modelessly in front of the other windows, without taking the keyboard from them.
  void ShowQueueWindow();
  void CloseQueueWindow();

  QLabel* Label1;              // "Очередь команд"
  QProgressBar* ProgressBar1;  // the number of commands still waiting
};

// The one queue window of the program; set as soon as its construction begins.
extern TForm5* Form5;

}  // namespace kestrel
