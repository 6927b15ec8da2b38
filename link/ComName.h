#pragma once

#include <optional>
#include <string_view>

namespace kestrel {

// The number n of a port name "COMn" (any case, n from 1 without leading zeros), if the name is one.
std::optional<unsigned> ComNumber(std::string_view name);

}  // namespace kestrel
