#include "link/ComName.h"

#include <cctype>
#include <charconv>

namespace kestrel {

std::optional<unsigned> ComNumber(std::string_view name) {
  if (name.size() < 4 || name[3] == '0') return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  unsigned number = 0;
  const char* last = name.data() + name.size();
  const auto [end, error] = std::from_chars(name.data() + 3, last, number);
  if (error != std::errc() || end != last) return std::nullopt;
  return number;
}

}  // namespace kestrel
