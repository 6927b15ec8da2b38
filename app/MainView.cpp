#include "app/MainView.h"

#include <QListWidget>
#include <QTimer>

#include "app/MessageBoxes.h"
#include "app/Startup.h"
#include "app/TForm1.h"
#include "app/TForm5.h"
#include "app/TForm7.h"
#include "buffer/forms/THexGrid.h"
#include "operations/forms/TBitDialog.h"

namespace kestrel {

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// Stands in for a bit editor that no longer exists.
class AbsentDialog : public BitDialogView {
 public:
  void CreateBitBoxes(int) override {}
  void ClearBitBoxes() override {}
  void SetBitName(int, const std::string&) override {}
  void ShowBitStates(std::span<const std::uint8_t>) override {}
  void Open(bool) override {}
};

BitDialogView& Dialog(TBitDialog* form) {
  static AbsentDialog absent;
  return form ? static_cast<BitDialogView&>(*form) : absent;
}

}  // namespace

void MainView::SetCaption(const std::string& text) {
  if (Form1) Form1->setWindowTitle(Text(text));
}

void MainView::SetStatusText(const std::string& text) {
  if (Form1) Form1->SetStatusText(Text(text));
}

void MainView::RestartWatchdog() {
  if (Form1) Form1->Timer2->start();
}

void MainView::ShowWarning(const std::string& text) { ShowWarningBox(Text(text)); }

Answer MainView::AskYesNo(const std::string& text) { return kestrel::AskYesNo(Text(text)); }

Answer MainView::AskYesNoCancel(const std::string& text) { return kestrel::AskYesNoCancel(Text(text)); }

void MainView::SetQueueProgress(int maximum, int position) {
  if (Form5) Form5->SetQueueProgress(maximum, position);
}

void MainView::ShowQueueWindow() {
  if (Form5) Form5->ShowQueueWindow();
}

void MainView::CloseQueueWindow() {
  if (Form5) Form5->CloseQueueWindow();
}

void MainView::ClearChipList() {
  if (Form1) Form1->ListBox1->clear();
}

void MainView::AddChip(const std::string& name) {
  if (Form1) Form1->ListBox1->addItem(Text(name));
}

void MainView::ClearCommandList() {
  if (Form1) Form1->ListBox2->clear();
}

void MainView::AddCommandRow(const std::string& caption) {
  if (Form1) Form1->ListBox2->addItem(Text(caption));
}

void MainView::CreateInfoLabels(int count) {
  if (Form7) Form7->CreateInfoLabels(count);
}

void MainView::SetInfoLine(int index, const std::string& text) {
  if (Form7) Form7->SetInfoLine(index, Text(text));
}

BitDialogView& MainView::LockDialog() { return Dialog(Form4); }

BitDialogView& MainView::FuseDialog() { return Dialog(Form6); }

void MainView::FormatGrid() {
  if (Form1) Form1->FormatGrid();
}

void MainView::BytesChanged(std::size_t first, std::size_t count) {
  if (Form1) Form1->StringGrid1->BytesChanged(first, count);
}

}  // namespace kestrel
