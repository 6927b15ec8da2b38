#include "link/PosixDeviceAccess.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace kestrel {
namespace {

std::optional<std::string> GroupName(gid_t gid) {
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return std::nullopt;
  return std::string(found->gr_name);
}

std::string UserName() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return "$USER";
  return found->pw_name;
}

// The group that may read and write the node, when it is an ordinary one a user can join.
std::optional<std::string> GrantingGroup(const std::string& path) {
  struct stat node {};
  if (stat(path.c_str(), &node) != 0 || node.st_gid == 0) return std::nullopt;
  if ((node.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return std::nullopt;
  return GroupName(node.st_gid);
}

}  // namespace

std::string AccessDeniedHint(const std::string& path) {
  // A COM alias or a /dev/serial link is named by the device it leads to.
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(path, error);
  const std::string device = error ? path : resolved.string();
  if (const auto group = GrantingGroup(device)) {
    const std::string user = UserName();
    return "Нет доступа к " + device + ": добавьте пользователя " + user + " в группу " + *group +
           " (sudo usermod -aG " + *group + " " + user + ") и войдите в систему заново.";
  }
  return "Нет доступа к " + device +
         ": права на чтение и запись этого устройства даёт администратор системы.";
}

}  // namespace kestrel
