#pragma once
// The main window's layout: where its group boxes and their lists go for a given client size.

namespace kestrel {

struct Box {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool operator==(const Box&) const = default;
};

struct MainWindowMetrics {
  int clientWidth = 0;
  int clientHeight = 0;
  int statusBarHeight = 0;
  int toolBarHeight = 0;
  int toolBarBottom = 0;
  int comboBoxHeight = 0;  // the folder combo box keeps its own height
};

// Controls inside a group box are relative to it. Sizes can come out negative for a window
// smaller than the margins.
struct MainWindowLayout {
  Box GroupBox1, ShellComboBox1, ShellTreeView1, ShellListView1;
  Box GroupBox2, ListBox1;
  Box GroupBox3, ListBox2;
  Box GroupBox4;
};

MainWindowLayout ComputeMainWindowLayout(const MainWindowMetrics& m);

}  // namespace kestrel
