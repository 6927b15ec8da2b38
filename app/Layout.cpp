#include "app/Layout.h"

namespace kestrel {
namespace {

// A list that fills its group box below the caption, with a 5-pixel margin.
Box ListInGroup(const Box& group) {
  const int top = 15;
  return {5, top, group.width - 10, group.height - top - 5};
}

}  // namespace

MainWindowLayout ComputeMainWindowLayout(const MainWindowMetrics& m) {
  const int W = m.clientWidth;
  const int body = m.clientHeight - m.statusBarHeight - m.toolBarHeight;
  const int top = m.toolBarBottom + 5;
  MainWindowLayout l;

  l.GroupBox1 = {5, top, W / 3 - 5, body - 10};
  l.ShellComboBox1 = {5, 15, l.GroupBox1.width - 10, m.comboBoxHeight};
  const int treeTop = l.ShellComboBox1.bottom() + 5;
  l.ShellTreeView1 = {5, treeTop, l.GroupBox1.width - 10, ((l.GroupBox1.height - treeTop) / 5) * 2 - 10};
  const int fileTop = l.ShellTreeView1.bottom() + 5;
  l.ShellListView1 = {5, fileTop, l.GroupBox1.width - 10, l.GroupBox1.height - fileTop - 5};

  l.GroupBox2 = {l.GroupBox1.right() + 5, top, W / 5 - 5, (body / 3) * 2 - 10};
  l.ListBox1 = ListInGroup(l.GroupBox2);
  l.GroupBox3 = {l.GroupBox1.right() + 5, l.GroupBox2.bottom() + 5, W / 5 - 5, body / 3 - 5};
  l.ListBox2 = ListInGroup(l.GroupBox3);
  l.GroupBox4 = {l.GroupBox2.right() + 5, top, W - l.GroupBox2.right() - 10, body - 10};
  return l;
}

}  // namespace kestrel
