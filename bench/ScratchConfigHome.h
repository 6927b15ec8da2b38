#pragma once
// Settings and COM aliases of a benchmark in a scratch folder that XDG_CONFIG_HOME names for the
// benchmark and the programs it starts; removed at the end.

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace kestrel {

class ScratchConfigHome {
 public:
  ScratchConfigHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    path_ = pattern;
    setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
  }
  ~ScratchConfigHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchConfigHome(const ScratchConfigHome&) = delete;
  ScratchConfigHome& operator=(const ScratchConfigHome&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kestrel
