#pragma once
// The settings' ninth-bit list ("Нет", "Чет", "Нечет", "0", "1") and the port parity each of its
// rows stands for; the stored Parity setting is a row of it.

#include <array>
#include <optional>

#include "link/TComm32.h"

namespace kestrel {

// The parity of row `index`; none for an index outside the list. "Чет" (even ninth bit) drives
// the port with odd parity, "Нечет" with even.
constexpr std::optional<TParity> ParityForListIndex(int index) {
  constexpr std::array<TParity, 5> parities{pNone, pOdd, pEven, pSpace, pMark};
  if (index < 0 || index >= static_cast<int>(parities.size())) return std::nullopt;
  return parities[static_cast<std::size_t>(index)];
}

}  // namespace kestrel
