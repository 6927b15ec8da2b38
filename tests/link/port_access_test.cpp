// A serial device the user has no rights to: the open failure's text says, on its second line,
// how to get them.

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "link/NotifyQueue.h"
#include "link/TComm32.h"
#include "tests/support/OpenPortError.h"
#include "tests/support/Pty.h"

namespace kestrel {
namespace {

TEST(PortAccess, DeniedDeviceNamesTheGroupThatGivesTheRights) {
  if (::geteuid() == 0) GTEST_SKIP() << "running as root: device permissions do not stop opening";
  test::Pty pty;
  const std::string path = pty.SlavePath();
  TComm32 comm(std::make_unique<NotifyQueue>());
  comm.SetCommPort(path);
  const std::string user = getpwuid(geteuid())->pw_name;
  const std::string group = getgrgid(getegid())->gr_name;

  // The device's group may read and write it, its owner (this user) may not. Through a COM alias
  // the text names the device itself.
  ASSERT_EQ(::chown(path.c_str(), static_cast<uid_t>(-1), getegid()), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0060), 0);
  const std::string joinGroup = "Невозможно открыть порт!\n\rНет доступа к " + path +
                                ": добавьте пользователя " + user + " в группу " + group +
                                " (sudo usermod -aG " + group + " " + user + ") и войдите в систему заново.";
  EXPECT_EQ(test::OpenPortError(comm), joinGroup);
  test::TempConfigHome config;
  config.AddAlias("COM5", path);
  TComm32 alias(std::make_unique<NotifyQueue>());
  alias.SetCommPort("COM5");
  EXPECT_EQ(test::OpenPortError(alias), joinGroup);

  // No group may: only an administrator can help.
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  EXPECT_EQ(test::OpenPortError(comm), "Невозможно открыть порт!\n\rНет доступа к " + path +
                                           ": права на чтение и запись этого устройства даёт "
                                           "администратор системы.");

  // With the rights back, it opens.
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(test::OpenPortError(comm), "");
}

}  // namespace
}  // namespace kestrel
