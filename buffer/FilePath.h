#pragma once
// A file name as the core holds it (UTF-8 on Windows, the file system's own bytes elsewhere) as a
// path of the standard library and back. A narrow string would be read on Windows in the ANSI code
// page; a UTF-8 one is taken as it is everywhere.

#include <filesystem>
#include <string>

namespace kestrel {

std::filesystem::path FilePath(const std::string& name);
std::string FileName(const std::filesystem::path& path);

}  // namespace kestrel
