#include "link/ComName.h"

#include <charconv>

#include "link/AsciiCase.h"

namespace kestrel {

std::optional<unsigned> ComNumber(std::string_view name) {
  if (name.size() < 4 || name[3] == '0' || !EqualsIgnoringCase(name.substr(0, 3), "COM")) return std::nullopt;
  unsigned number = 0;
  const char* last = name.data() + name.size();
  const auto [end, error] = std::from_chars(name.data() + 3, last, number);
  if (error != std::errc() || end != last) return std::nullopt;
  return number;
}

}  // namespace kestrel
