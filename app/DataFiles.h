#pragma once
// Finds the files the program ships beside itself (the help pages), wherever it was started from.

#include <QString>
#include <QStringList>

namespace kestrel {

// The folders searched, in order: beside the program, the installed data folder relative to the
// program, the data folder it was installed to, and the source tree it was built from.
QStringList DataFolders();

// The full path of a shipped file given relative to a data folder; empty when none holds it.
QString FindDataFile(const QString& relativePath);

}  // namespace kestrel
