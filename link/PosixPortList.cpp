#include "link/PosixPortList.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>
#include <utility>

#include "link/PosixPortNames.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

// The entries of `folder` named `prefix` followed by a number from `first` on, written without
// leading zeros, in the order of their numbers.
std::vector<std::string> NumberedEntries(const fs::path& folder, const std::string& prefix,
                                         unsigned first = 0) {
  std::map<unsigned, std::string> found;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(prefix)) continue;
    unsigned number = 0;
    const char* last = name.data() + name.size();
    const auto [stop, failure] = std::from_chars(name.data() + prefix.size(), last, number);
    if (failure == std::errc() && stop == last && number >= first && name == prefix + std::to_string(number))
      found.emplace(number, name);
  }
  std::vector<std::string> names;
  for (auto& [number, name] : found) names.push_back(std::move(name));
  return names;
}

// The first line of a small attribute file, as sysfs has them.
std::optional<std::string> ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error);
}

// An alias counts while its device is there; its detail is where it points.
std::vector<PortEntry> AliasPorts(const fs::path& folder) {
  std::vector<PortEntry> ports;
  for (const std::string& name : NumberedEntries(folder, "COM", 1)) {
    std::error_code error;
    if (!fs::exists(folder / name, error)) continue;
    const fs::path target = fs::read_symlink(folder / name, error);
    ports.push_back({name, error ? std::string() : target.string()});
  }
  return ports;
}

// A USB adapter's detail: its /dev/serial/by-id name, or else the maker and product its USB
// device gives in sysfs.
std::string UsbDetail(const PortRoots& roots, const std::string& name) {
  const fs::path node = roots.dev / name;
  std::error_code error;
  for (fs::directory_iterator it(roots.dev / "serial" / "by-id", error), end; !error && it != end;
       it.increment(error))
    if (SameFile(it->path(), node)) return it->path().filename().string();

  std::error_code sysError;
  const fs::path sysRoot = fs::canonical(roots.sys, sysError);
  fs::path device = fs::canonical(roots.sys / "class" / "tty" / name / "device", error);
  for (; !error && !sysError && device != sysRoot && device.has_relative_path();
       device = device.parent_path()) {
    if (const auto product = ReadAttribute(device / "product")) {
      const auto maker = ReadAttribute(device / "manufacturer");
      return maker && !maker->empty() ? *maker + " " + *product : *product;
    }
  }
  return {};
}

// The UART type of an on-board port, by the serial driver's port-type number; none when the
// port has no device behind it or its type is unknown (0), as for the placeholder ttyS nodes.
std::optional<std::string> UartType(const fs::path& ttyClassEntry) {
  std::error_code error;
  if (!fs::exists(ttyClassEntry / "device", error)) return std::nullopt;
  const auto text = ReadAttribute(ttyClassEntry / "type");
  int type = 0;
  if (!text || std::from_chars(text->data(), text->data() + text->size(), type).ec != std::errc() ||
      type <= 0)
    return std::nullopt;
  static const std::map<int, std::string> names{{1, "8250"},   {2, "16450"},   {3, "16550"}, {4, "16550A"},
                                                {6, "16650"},  {7, "16650V2"}, {8, "16750"}, {10, "16C950"},
                                                {11, "16654"}, {12, "16850"}};
  const auto known = names.find(type);
  return known == names.end() ? std::string("UART") : "UART " + known->second;
}

}  // namespace

PortRoots SystemPortRoots() { return {"/dev", "/sys", PortAliasFolder()}; }

std::vector<PortEntry> ListPorts(const PortRoots& roots) {
  std::vector<PortEntry> ports = AliasPorts(roots.aliases);
  for (const char* prefix : {"ttyUSB", "ttyACM"})
    for (const std::string& name : NumberedEntries(roots.dev, prefix))
      ports.push_back({name, UsbDetail(roots, name)});
  for (const std::string& name : NumberedEntries(roots.dev, "ttyS"))
    if (auto uart = UartType(roots.sys / "class" / "tty" / name)) ports.push_back({name, std::move(*uart)});
  return ports;
}

std::vector<PortEntry> PresentPorts() { return ListPorts(SystemPortRoots()); }

}  // namespace kestrel
