#include "buffer/FileFormat.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <utility>

namespace kestrel {

namespace {

constexpr std::array<std::pair<std::string_view, FileFormat>, 9> Extensions{{
    {"hex", FileFormat::IntelHex},
    {"ihx", FileFormat::IntelHex},
    {"ihex", FileFormat::IntelHex},
    {"srec", FileFormat::SRecord},
    {"s19", FileFormat::SRecord},
    {"s28", FileFormat::SRecord},
    {"s37", FileFormat::SRecord},
    {"mot", FileFormat::SRecord},
    {"elf", FileFormat::Elf},
}};

}  // namespace

FileFormat FileFormatOf(const std::string& path, bool understandFormats) {
  if (!understandFormats) return FileFormat::Binary;
  const std::string_view name = std::string_view(path).substr(path.find_last_of("/\\") + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos) return FileFormat::Binary;
  std::string extension(name.substr(dot + 1));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const auto& [known, format] : Extensions)
    if (extension == known) return format;
  return FileFormat::Binary;
}

std::size_t MaxFileSize(FileFormat format, std::size_t binaryLimit) {
  switch (format) {
    case FileFormat::IntelHex:
    case FileFormat::SRecord:
      return MaxRecordTextSize;
    case FileFormat::Elf:
      return MaxElfFileSize;
    case FileFormat::Binary:
      break;
  }
  return binaryLimit;
}

}  // namespace kestrel
