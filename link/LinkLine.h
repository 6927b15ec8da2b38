#pragma once
// What the link needs of the serial component and of the clock. Its owner wires it up.

#include <cstdint>
#include <functional>

#include "link/LineTiming.h"

namespace kestrel {

class LinkTrace;

// The serial component's WriteData: copies the bytes and queues them for the writer thread.
using WriteDataFn = std::function<bool(const std::uint8_t* buffer, std::uint16_t length)>;

struct LinkLine {
  WriteDataFn WriteData;
  // The serial component's BaudRate; none (or 0) counts as a line that takes no time.
  std::function<std::uint32_t()> LineRate;
  // The link's clock; tests put their own.
  std::function<LinkTime()> Now = [] { return LinkClock::now(); };
  // Where frames and link events are traced; null for no trace.
  LinkTrace* Trace = nullptr;
};

}  // namespace kestrel
