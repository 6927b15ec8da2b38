#include "buffer/FilePath.h"

namespace kestrel {

std::filesystem::path FilePath(const std::string& name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string FileName(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

}  // namespace kestrel
