#pragma once
// Paths of every kind for tests of code that reads and writes what a user names: device nodes
// that cannot harm the system's, sockets, and what a node is, to show it is still that after.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kestrel::test {

// Makes `path` a character device that acts as /dev/<name> ("null", "full"): a node of its own
// where the system lets the test make one (as root), so that code that wrongly replaced it could
// never harm the system's; else a link to the system's. Throws std::runtime_error when neither
// can be made.
void MakeDeviceLike(const std::string& path, const std::string& name);

// A Unix socket bound at a path, listening while the object lives.
class BoundSocket {
 public:
  explicit BoundSocket(const std::string& path);  // throws std::runtime_error
  ~BoundSocket();
  BoundSocket(const BoundSocket&) = delete;
  BoundSocket& operator=(const BoundSocket&) = delete;

 private:
  int fd_ = -1;
};

// A pipe whose two ends the test holds.
class Pipe {
 public:
  Pipe();  // throws std::runtime_error
  ~Pipe();
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  int Reader() const { return fds_[0]; }
  int Writer() const { return fds_[1]; }
  void CloseReader();
  void CloseWriter();

 private:
  int fds_[2] = {-1, -1};
};

// What `fd` has to read within a second, up to 64 KiB in one read.
std::vector<std::uint8_t> ReadAvailable(int fd);

// What a path names: the node itself (its type, a device's numbers, a link's target) and, through
// links, the node it leads to.
struct NodeIdentity {
  unsigned type = 0;  // the S_IFMT bits of the node itself; 0 when nothing is there
  unsigned long device = 0;
  std::string linkTarget;
  unsigned finalType = 0;  // of the node the links lead to; 0 when they lead nowhere
  unsigned long finalDevice = 0;
  bool operator==(const NodeIdentity&) const = default;
};

NodeIdentity Identify(const std::string& path);
std::ostream& operator<<(std::ostream& out, const NodeIdentity& node);

}  // namespace kestrel::test
