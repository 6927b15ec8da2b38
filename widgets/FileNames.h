#pragma once
// File names between the windows and the core, which takes a name as bytes: UTF-8 on Windows
// (its file calls hand the name to the wide-character API, so any folder name works whatever the
// system's code page), the file system's own bytes elsewhere.

#include <QString>
#include <string>

namespace kestrel {

std::string CoreFileName(const QString& name);
QString FromCoreFileName(const std::string& name);

}  // namespace kestrel
