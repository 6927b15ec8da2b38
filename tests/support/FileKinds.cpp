#include "tests/support/FileKinds.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace kestrel::test {

void MakeDeviceLike(const std::string& path, const std::string& name) {
  const std::string system = "/dev/" + name;
  struct stat real {};
  if (::stat(system.c_str(), &real) != 0 || !S_ISCHR(real.st_mode))
    throw std::runtime_error(system + " is no character device");
  if (::mknod(path.c_str(), S_IFCHR | 0666, real.st_rdev) == 0) return;
  std::error_code error;
  std::filesystem::create_symlink(system, path, error);
  if (error) throw std::runtime_error("cannot make " + path + ": " + error.message());
}

BoundSocket::BoundSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long: " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd_, 1) != 0)
    throw std::runtime_error("cannot bind a socket at " + path + ": " + std::strerror(errno));
}

BoundSocket::~BoundSocket() {
  if (fd_ >= 0) ::close(fd_);
}

Pipe::Pipe() {
  if (::pipe2(fds_, O_CLOEXEC) != 0)
    throw std::runtime_error(std::string("no pipe: ") + std::strerror(errno));
}

Pipe::~Pipe() {
  CloseReader();
  CloseWriter();
}

void Pipe::CloseReader() {
  if (fds_[0] >= 0) ::close(fds_[0]);
  fds_[0] = -1;
}

void Pipe::CloseWriter() {
  if (fds_[1] >= 0) ::close(fds_[1]);
  fds_[1] = -1;
}

std::vector<std::uint8_t> ReadAvailable(int fd) {
  std::vector<std::uint8_t> bytes(65536);
  pollfd data{fd, POLLIN, 0};
  const ssize_t got = ::poll(&data, 1, 1000) == 1 ? ::read(fd, bytes.data(), bytes.size()) : 0;
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

NodeIdentity Identify(const std::string& path) {
  NodeIdentity node;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return node;
  node.type = info.st_mode & S_IFMT;
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) node.device = info.st_rdev;
  if (S_ISLNK(info.st_mode)) node.linkTarget = std::filesystem::read_symlink(path).string();
  if (::stat(path.c_str(), &info) != 0) return node;
  node.finalType = info.st_mode & S_IFMT;
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) node.finalDevice = info.st_rdev;
  return node;
}

std::ostream& operator<<(std::ostream& out, const NodeIdentity& node) {
  out << "type " << std::oct << node.type << std::dec;
  if (node.device != 0) out << " device " << major(node.device) << "," << minor(node.device);
  if (!node.linkTarget.empty()) out << " -> " << node.linkTarget;
  out << ", leading to type " << std::oct << node.finalType << std::dec;
  if (node.finalDevice != 0) out << " device " << major(node.finalDevice) << "," << minor(node.finalDevice);
  return out;
}

}  // namespace kestrel::test
