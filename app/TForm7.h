#pragma once
// The about window: one label per information line the programmer sends, an "Ok" button and a
// link to the help page.

#include <QDialog>
#include <QString>
#include <vector>

class QLabel;
class QPushButton;

namespace kestrel {

class TUrl;

class TForm7 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm7(QWidget* parent = nullptr);
  ~TForm7() override;

  QPushButton* Button1;  // "Ok"
  TUrl* Url1;            // "Помощь"

  // Slot i shows information line i.
  std::vector<QLabel*> InfoLabels;
  int InfoLabelCount = 0;

  static inline const char* const UnknownLine = "Пока это неизвестная надпись!";

  // Replaces the labels with `count` placeholders and fits the window to them; with a count of
  // 0 (or less) only the old labels go.
  void CreateInfoLabels(int count);
  // A line for a slot that holds no label is ignored.
  void SetInfoLine(int index, const QString& text);
  void FormCreate();
};

// The program's about window; set as soon as its construction begins.
extern TForm7* Form7;

}  // namespace kestrel
