#pragma once
// Finds the files the program ships beside itself (the help pages), wherever it was started from.

#include <QString>
#include <QStringList>

namespace kestrel {

// The folders searched, in order: the program's own folder (the build tree, a folder copied
// whole) and the installed data folder relative to the program (<prefix>/share/kestrel).
QStringList DataFolders();

// The full path of a shipped file given relative to a data folder; empty when none holds it.
QString FindDataFile(const QString& relativePath);

}  // namespace kestrel
